#!/usr/bin/env bash
# A long run of the real program without a display: millions of short
# transfers (a 100-byte file, two log entries each) from the lock-step load
# client, in a private network namespace on port 69. It samples ferry's
# resident memory as it goes and prints, for the first and the second half
# of the run (the first and second million by default), the memory at the
# half's end and the most it reached, and their ratios; then ferry's CPU
# time per transfer, and whether standard output carried every entry.
#
#   sudo bench/soak.sh [BUILD_DIR] [TRANSFERS] [MAX_LINES]
#
# TRANSFERS defaults to 2,000,000. MAX_LINES, when given, goes into
# ferry.ini as [LogView] MaxLines (0 keeps every line); without it ferry
# keeps its default. ferry runs on CPU 0 and the client on CPU 1 where there
# is one. The exit status is 0 when every transfer and every entry arrived.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
transfers=${2:-2000000}
max_lines=${3:-}
# Memory is sampled every 10,000 transfers (a twentieth of a shorter run)
# and a row printed every 100,000 (a tenth): memory now, and the least and
# most of the samples since the last row.
sample=$((transfers >= 200000 ? 10000 : (transfers + 19) / 20))
row=$((sample * 10))
ferry=$build/src/app/ferry
load=$build/bench/tftp_load

if [ -z "${FERRY_SOAK_IN_NAMESPACE:-}" ]; then
    [ "$(id -u)" -eq 0 ] || { echo "soak.sh needs root for its network namespace" >&2; exit 1; }
    [ -x "$ferry" ] && [ -x "$load" ] || { echo "build ferry and tftp_load first" >&2; exit 1; }
    FERRY_SOAK_IN_NAMESPACE=1 exec unshare -n "$BASH" "$0" "$build" "$transfers" "$max_lines"
fi
ip link set lo up
client_cpu=0
[ "$(nproc)" -gt 1 ] && client_cpu=1

work=$(mktemp -d)
ferry_pid=
cleanup() {
    [ -n "$ferry_pid" ] && kill "$ferry_pid" 2> /dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -m 700 "$work/runtime"
cd "$work"
head -c 100 /dev/urandom > s100
if [ -n "$max_lines" ]; then
    printf '[FERRY]\r\n[LogView]\r\nMaxLines=%s\r\n' "$max_lines" > ferry.ini
fi

# Standard output is counted as it streams, line by line and by kind.
mkfifo out
awk '/ requested to read file s100 in format octet$/ { r++ } / Sent 100 bytes in / { s++ }
     END { printf "lines=%d requests=%d sent=%d\n", NR, r, s > "out.count" }' < out &
counter_pid=$!
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$work/runtime" \
    XDG_CONFIG_HOME="$work" taskset -c 0 "$ferry" > out 2> ferry.err &
ferry_pid=$!
for _ in $(seq 100); do ss -uln | grep -q ':69 ' && break; sleep 0.1; done

rss() { awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$ferry_pid/status"; }
cpu_seconds() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' \
    "/proc/$ferry_pid/stat"; }

echo "ferry $(rss) MiB at start; ${max_lines:+MaxLines=$max_lines, }$transfers transfers"
echo "transfers  resident MiB  (least  most)  transfers/s  failed"
done_count=0 failed=0 start=$(date +%s.%N)
half=$((transfers / 2 / row * row))
declare -A at_end most
most[1]=0 most[2]=0
row_least=1e9 row_most=0 rate_sum=0 rate_n=0
while [ "$done_count" -lt "$transfers" ]; do
    n=$((transfers - done_count < sample ? transfers - done_count : sample))
    result=$(taskset -c "$client_cpu" "$load" --port 69 --file s100 --expect s100 \
        --transfers "$n" --concurrency 4)
    done_count=$((done_count + n))
    failed=$((failed + $(sed -n 's/.*failed=\([0-9]*\).*/\1/p' <<< "$result")))
    rate_sum=$(awk -v a="$rate_sum" -v b="$(sed -n 's/.*transfers_per_s=\([0-9.]*\).*/\1/p' \
        <<< "$result")" 'BEGIN { print a + b }')
    rate_n=$((rate_n + 1))
    now=$(rss)
    part=$((done_count <= half ? 1 : 2))
    most[$part]=$(awk -v a="${most[$part]}" -v b="$now" 'BEGIN { print (b > a ? b : a) }')
    row_least=$(awk -v a="$row_least" -v b="$now" 'BEGIN { print (b < a ? b : a) }')
    row_most=$(awk -v a="$row_most" -v b="$now" 'BEGIN { print (b > a ? b : a) }')
    [ "$done_count" -eq "$half" ] && at_end[1]=$now
    at_end[2]=$now
    if [ $((done_count % row)) -eq 0 ] || [ "$done_count" -eq "$transfers" ]; then
        printf '%9d  %12s  (%5s  %5s)  %11.0f  %6d\n' "$done_count" "$now" "$row_least" \
            "$row_most" "$(awk -v s="$rate_sum" -v n="$rate_n" 'BEGIN { print s / n }')" "$failed"
        row_least=1e9 row_most=0 rate_sum=0 rate_n=0
    fi
done
seconds=$(awk -v a="$start" -v z="$(date +%s.%N)" 'BEGIN { printf "%.0f", z - a }')
cpu=$(cpu_seconds)
kill -TERM "$ferry_pid"
wait "$ferry_pid" || true
ferry_pid=
wait "$counter_pid"

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b / a }'; }
echo "---"
echo "resident MiB     first $half   last $((transfers - half))   ratio"
printf 'at the end       %10s   %10s   %s\n' "${at_end[1]}" "${at_end[2]}" \
    "$(ratio "${at_end[1]}" "${at_end[2]}")"
printf 'most             %10s   %10s   %s\n' "${most[1]}" "${most[2]}" \
    "$(ratio "${most[1]}" "${most[2]}")"
echo "ferry CPU: ${cpu} s for $transfers transfers ($(awk -v c="$cpu" -v t="$transfers" \
    'BEGIN { printf "%.1f", c * 1e6 / t }') us each), $seconds s in all; failed transfers: $failed"
# The start-up line and its empty line, then two lines a transfer.
read -r lines requests sent < <(tr '=' ' ' < out.count | awk '{ print $2, $4, $6 }')
echo "standard output: $lines lines, $requests requests, $sent completions" \
    "(expected $((2 * transfers + 2)) lines, $transfers of each)"
[ "$requests" -eq "$transfers" ] && [ "$sent" -eq "$transfers" ] && [ "$failed" -eq 0 ]
