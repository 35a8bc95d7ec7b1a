#!/usr/bin/env bash
# Time from starting ferry (without a display) to its first log entry on
# standard output, the median of several starts. Runs in a private network
# namespace so that ferry has port 69; needs root.
#
#   bench/app/startup_bench.sh build/src/app/ferry [runs]
set -euo pipefail
ferry=$(realpath "$1")
runs=${2:-9}
if [ -z "${FERRY_BENCH_IN_NAMESPACE:-}" ]; then
    [ "$(id -u)" -eq 0 ] || { echo "needs root for unshare -n" >&2; exit 1; }
    FERRY_BENCH_IN_NAMESPACE=1 exec unshare -n "$BASH" "$0" "$@"
fi
ip link set lo up
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
times=()
for i in $(seq 1 "$runs"); do
    : > "$work/out"
    start=$(date +%s%N)
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$work/runtime" \
        XDG_CONFIG_HOME="$work" "$ferry" > "$work/out" 2> /dev/null &
    pid=$!
    until [ -s "$work/out" ]; do sleep 0.002; done
    end=$(date +%s%N)
    kill -TERM "$pid"
    wait "$pid" || true
    times+=($(((end - start) / 1000000)))
done
sorted=($(printf '%s\n' "${times[@]}" | sort -n))
echo "start to first log entry: median ${sorted[$((runs / 2))]} ms" \
    "(min ${sorted[0]}, max ${sorted[$((runs - 1))]}, $runs starts)"
