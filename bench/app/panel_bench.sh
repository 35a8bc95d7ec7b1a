#!/usr/bin/env bash
# What the Transfers panel costs, with a display (Xvfb):
#  1. one look of the panel at 1,000 transfers under way
#     (transfers_refresh_bench, in-process, ephemeral port);
#  2. scenario C of bench/run_bench.sh, 500 sequential reads of 1 KiB (or
#     TRANSFERS of them, for a run long enough for many looks), with
#     the real ferry binary on port 69 and its panel shown against hidden,
#     alternating in the same run, each repetition on a fresh ferry.
# Runs in a private network namespace; needs root. ferry and the load client
# are pinned to CPU 0 as in run_bench.sh, the X server to CPU 1, where a
# desktop's would run beside the program.
#
#   sudo bench/app/panel_bench.sh [BUILD_DIR] [REPETITIONS] [TRANSFERS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../../build}" && pwd)
reps=${2:-5}
transfers=${3:-500}
if [ -z "${FERRY_BENCH_IN_NAMESPACE:-}" ]; then
    [ "$(id -u)" -eq 0 ] || { echo "panel_bench.sh needs root for unshare -n" >&2; exit 1; }
    FERRY_BENCH_IN_NAMESPACE=1 exec unshare -n "$BASH" "$0" "$build" "$reps" "$transfers"
fi
ip link set lo up
pin="taskset -c 0"
work=$(mktemp -d)
xvfb=
ferry=
cleanup() {
    [ -z "$ferry" ] || kill "$ferry" 2> /dev/null || true
    [ -z "$xvfb" ] || kill "$xvfb" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/runtime"
head -c 1024 /dev/urandom > "$work/c1"
chmod 644 "$work/c1"

display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
taskset -c 1 Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work"

echo "== one look of the panel at 1,000 transfers under way"
$pin "$build/bench/app/transfers_refresh_bench" 1000 200 2> /dev/null

echo "== scenario C ($transfers x 1 KiB reads), panel shown against hidden, $reps repetitions"
# CPU time of ferry's main thread, the one that serves and paints, in ns.
cpu_ns() { awk '{print $1}' "/proc/$1/schedstat"; }
# run MODE: one fresh ferry with the panel in MODE; prints "transfers/s cpu-ns"
run() {
    printf '[FERRY]\r\nAccessMode=ReadOnly\r\n\r\n[Window]\r\nLeft=0\r\nTop=0\r\nWidth=800\r\nHeight=500\r\nTransfers=%s\r\n' \
        "$1" > "$work/ferry.ini"
    (cd "$work" && exec $pin "$build/src/app/ferry" > /dev/null 2>&1) &
    ferry=$!
    for _ in $(seq 100); do ss -uln | grep -q ':69 ' && break; sleep 0.05; done
    sleep 0.5 # the window is up and the panel, when shown, looks four times a second
    local c0 rate
    c0=$(cpu_ns "$ferry")
    rate=$(cd "$work" && $pin "$build/bench/tftp_load" --port 69 --file c1 --expect c1 \
        --transfers "$transfers" | sed -n 's/.*transfers_per_s=\([0-9.]*\).*/\1/p')
    echo "$rate $(($(cpu_ns "$ferry") - c0))"
    kill "$ferry"
    wait "$ferry" 2> /dev/null || true
    ferry=
}
: > "$work/results"
for i in $(seq "$reps"); do
    # Alternate which goes first, so a drift of the machine hits both alike.
    if [ $((i % 2)) -eq 1 ]; then order="Hidden Shown"; else order="Shown Hidden"; fi
    for mode in $order; do
        echo "$mode $(run "$mode")" | tee -a "$work/results"
    done
done
awk -v transfers="$transfers" '
function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
}
{ v[$1] = v[$1] " " $2; c[$1] = c[$1] " " ($3 / 1000 / transfers) }
END {
    h = median(v["Hidden"]); s = median(v["Shown"])
    ch = median(c["Hidden"]); cs = median(c["Shown"])
    printf "panel hidden: %.0f transfers/s, ferry main thread %.1f us CPU per transfer (medians)\n", h, ch
    printf "panel shown : %.0f transfers/s, ferry main thread %.1f us CPU per transfer (medians)\n", s, cs
    printf "shown / hidden: transfers/s %.3f, CPU per transfer %.3f\n", s / h, cs / ch
}' "$work/results"
