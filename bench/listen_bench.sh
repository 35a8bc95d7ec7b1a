#!/usr/bin/env bash
# What listening on IPv6 costs. In one run, in a private network namespace,
# the real ferry binary (headless, log and all, port 69) is measured with its
# default socket (every IPv4 address) and with ListenAddress=:: (one
# dual-stack socket, the IPv4 client arriving IPv4-mapped): scenario A (one
# 64 MiB read) and C (500 reads of 1 KiB) of bench/run_bench.sh each, and A
# over ::1 as well. The two settings take turns within each repetition, in
# alternating order, and every process is pinned to CPU 0.
#
#   sudo bench/listen_bench.sh [BUILD_DIR] [REPETITIONS]
#
# Prints medians with the ratio to this machine's limit of the same
# repetition (udp_pingpong, IPv4 loopback) in brackets, and the median of the
# per-repetition ratios of each figure to the default's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
reps=${2:-5}
pin="taskset -c 0"
load="$build/bench/tftp_load"
pingpong="$build/bench/udp_pingpong"

if [ "$(id -u)" -ne 0 ]; then
    echo "listen_bench.sh needs root for its network namespace" >&2
    exit 1
fi

# ---- inside the namespace: both settings, every repetition ----
if [ "${FERRY_BENCH_INSIDE:-}" = 1 ]; then
    dir=$3 out=$4
    ip link set lo up
    cd "$dir"
    field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
    start_ferry() {
        printf '[FERRY]\r\nListenAddress=%s\r\n' "$1" > ferry.ini
        XDG_RUNTIME_DIR=$dir/run $pin "$build/src/app/ferry" > "$dir/ferry.log" 2>&1 &
        pid=$!
        for _ in $(seq 50); do ss -uln | grep -q ':69 ' && break; sleep 0.1; done
    }
    stop_ferry() {
        kill "$pid"
        wait "$pid" 2> /dev/null || true
    }
    # run CONFIG SCENARIO REPETITION LIMIT command...
    run() {
        local config=$1 scenario=$2 rep=$3 limit=$4 value
        shift 4
        value=$($pin "$load" --port 69 "$@" | field "$field_name") || value=0
        echo "$config $scenario $rep $value $limit" >> "$out"
    }
    for rep in $(seq "$reps"); do
        l1=$($pin "$pingpong" --pairs 1 --round-trips 100000 | field mb_per_s)
        lc=$($pin "$pingpong" --pairs 1 --round-trips 100000 | field rtt_per_s |
            awk '{printf "%.1f", $1 / 3.5}')
        configs=(default dual)
        [ $((rep % 2)) -eq 0 ] && configs=(dual default)
        for config in "${configs[@]}"; do
            start_ferry "$([ "$config" = dual ] && echo '::')"
            field_name=mb_per_s run "$config" A "$rep" "$l1" --file a64 --expect a64
            field_name=transfers_per_s run "$config" C "$rep" "$lc" --file c1 --expect c1 \
                --transfers 500
            if [ "$config" = dual ]; then
                field_name=mb_per_s run "$config" A6 "$rep" "$l1" --host ::1 --file a64 \
                    --expect a64
            fi
            stop_ferry
        done
    done
    exit 0
fi

# ---- outside: files, the namespace, the table ----
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data=$work/data
mkdir -p "$data" "$data/run"
chmod 700 "$data/run"
head -c $((64 << 20)) /dev/urandom > "$data/a64"
head -c 1024 /dev/urandom > "$data/c1"
echo "measuring ferry with both settings ($reps repetitions)..." >&2
FERRY_BENCH_INSIDE=1 unshare -n "$0" "$build" "$reps" "$data" "$work/results"

awk '
function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n == 0 ? "" : (n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2)
}
{
    value[$1, $2, $3] = $4
    v[$1, $2] = v[$1, $2] " " $4
    r[$1, $2] = r[$1, $2] " " ($5 > 0 ? $4 / $5 : 0)
    reps[$3] = 1
}
END {
    # The figure of each repetition against the default of the same one.
    for (rep in reps) {
        if (value["default", "A", rep] > 0) {
            versus["A"] = versus["A"] " " value["dual", "A", rep] / value["default", "A", rep]
            versus["A6"] = versus["A6"] " " value["dual", "A6", rep] / value["default", "A", rep]
        }
        if (value["default", "C", rep] > 0)
            versus["C"] = versus["C"] " " value["dual", "C", rep] / value["default", "C", rep]
    }
    print "| scenario | default (IPv4 socket) | ListenAddress=:: | :: / default |"
    print "|---|---:|---:|---:|"
    printf "| A 64 MiB read, MB/s | %s [%.2f] | %s [%.2f] | %.3f |\n", median(v["default", "A"]), \
        median(r["default", "A"]), median(v["dual", "A"]), median(r["dual", "A"]), median(versus["A"])
    printf "| C 500 x 1 KiB, transfers/s | %s [%.2f] | %s [%.2f] | %.3f |\n", \
        median(v["default", "C"]), median(r["default", "C"]), median(v["dual", "C"]), \
        median(r["dual", "C"]), median(versus["C"])
    printf "| A over ::1, MB/s | n/a | %s [%.2f] | %.3f |\n", median(v["dual", "A6"]), \
        median(r["dual", "A6"]), median(versus["A6"])
}' "$work/results"
