#!/usr/bin/env bash
# Throughput of the TFTP service on a plain poll loop, against this machine's
# limit for the protocol's shape (a 516-byte/4-byte UDP ping-pong between two
# processes), measured in the same run before each repetition.
#
#   bench/core_bench.sh [BUILD_DIR] [REPETITIONS]
#
# Scenario A: one 64 MiB octet read. Scenario B: 16 concurrent 4 MiB reads.
# Everything runs pinned to CPU 0: unpinned, each round trip pays for waking
# the other CPU and runs vary severalfold.
set -euo pipefail
build=${1:-build}
reps=${2:-5}
pin="taskset -c 0"
work=$(mktemp -d)
trap 'kill "$driver" 2>/dev/null || true; rm -rf "$work"' EXIT

head -c $((64 << 20)) /dev/urandom > "$work/a64"
head -c $((4 << 20)) /dev/urandom > "$work/b4"

$pin "$build/bench/service_driver" 0 "$work" > "$work/driver.out" &
driver=$!
for _ in $(seq 50); do grep -q port= "$work/driver.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^port=//p' "$work/driver.out")

field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

: > "$work/a" ; : > "$work/b"
for r in $(seq "$reps"); do
    limit=$($pin "$build/bench/udp_pingpong" --round-trips 100000 | field mb_per_s)
    a=$($pin "$build/bench/tftp_load" --port "$port" --file a64 --expect "$work/a64" | field mb_per_s)
    b=$($pin "$build/bench/tftp_load" --port "$port" --file b4 --expect "$work/b4" \
        --transfers 16 --concurrency 16 | field mb_per_s)
    echo "$limit $a" >> "$work/a"
    echo "$limit $b" >> "$work/b"
    echo "run $r: limit $limit MB/s, A $a MB/s, B $b MB/s"
done

report() {
    local name=$1 file=$2
    local med ratio lim
    lim=$(cut -d' ' -f1 "$file" | median)
    med=$(cut -d' ' -f2 "$file" | median)
    ratio=$(awk '{print $2/$1}' "$file" | median)
    printf "%-28s %8.1f MB/s  ratio to limit %.2f  (limit median %.1f MB/s)\n" \
        "$name" "$med" "$ratio" "$lim"
}
echo "medians of $reps runs:"
report "A one 64 MiB octet read" "$work/a"
report "B 16 x 4 MiB concurrent" "$work/b"
