#!/usr/bin/env bash
# Benchmarks ferry, exactly as a user runs it (headless, log and all, port
# 69), against the TFTP servers that are installed here, each in a private
# network namespace, and prints one table.
#
#   bench/run_bench.sh [BUILD_DIR] [REPETITIONS] [SERVERS...]
#
# Every process is pinned to CPU 0: on small virtual machines an unpinned
# round trip pays for waking the other CPU and runs vary severalfold. Before
# each repetition the script measures this machine's limit for the
# protocol's shape (udp_pingpong: 516-byte DATA, 4-byte ACK, lock step) and
# reports each figure as a ratio to the limit of the same repetition.
# bench/install_peers.sh installs the peers.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
reps=${2:-3}
shift $(($# > 2 ? 2 : $#))
servers=("$@")
[ ${#servers[@]} -gt 0 ] || servers=(ferry tftpd-hpa atftpd dnsmasq dnsmasq-one-socket)
pin="taskset -c 0"
load="$build/bench/tftp_load"
pingpong="$build/bench/udp_pingpong"
atftpd_bin=/opt/ferry-peers/atftpd/usr/sbin/atftpd

if [ "$(id -u)" -ne 0 ]; then
    echo "run_bench.sh needs root for its network namespaces" >&2
    exit 1
fi

# ---- inside one namespace: one server, every scenario ----
if [ "${FERRY_BENCH_INSIDE:-}" = 1 ]; then
    server=$1 dir=$2 out=$3
    ip link set lo up
    cd "$dir"
    case $server in
    ferry)
        printf '[FERRY]\r\nAccessMode=ReadWrite\r\n' > ferry.ini
        XDG_RUNTIME_DIR=$dir/run $pin "$build/src/app/ferry" > "$dir/ferry.log" 2>&1 &
        ;;
    tftpd-hpa) $pin /usr/sbin/in.tftpd -L -c -u root -s "$dir" & ;;
    atftpd) $pin "$atftpd_bin" --daemon --no-fork --user root.root --logfile /dev/null \
        --port 69 "$dir" & ;;
    dnsmasq) $pin dnsmasq --no-daemon --conf-file=/dev/null --port=0 --enable-tftp \
        --tftp-root="$dir" --user=root --pid-file= --log-facility=/dev/null 2> /dev/null & ;;
    dnsmasq-one-socket) $pin dnsmasq --no-daemon --conf-file=/dev/null --port=0 \
        --enable-tftp --tftp-single-port --tftp-root="$dir" --user=root --pid-file= \
        --log-facility=/dev/null 2> /dev/null & ;;
    esac
    pid=$!
    for _ in $(seq 50); do ss -uln | grep -q ':69 ' && break; sleep 0.1; done

    field() { sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
    cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    drops() { awk '/^Udp:/ {n++} /^Udp:/ && n==2 {print $6}' /proc/net/snmp; }
    limit() { $pin "$pingpong" --pairs "$1" --round-trips "$2" | field "$3"; }
    # result SCENARIO VALUE LIMIT CPU_TICKS BLOCKS DROPS
    run() {
        local name=$1 lim=$2; shift 2
        local c0 d0 start value
        c0=$(cpu); d0=$(drops)
        value=$("$@") || value=0
        echo "$name $value $lim $(($(cpu) - c0)) $(($(drops) - d0))" >> "$out"
    }
    loadrate() { $pin "$load" --port 69 "$@" | field mb_per_s; }
    loadtps() { $pin "$load" --port 69 "$@" | field transfers_per_s; }
    timed() { # MB/s of a whole client command moving $1 bytes
        local bytes=$1; shift
        local t0 t1
        t0=$(date +%s.%N); "$@" > /dev/null 2>&1 || { echo 0; return; }; t1=$(date +%s.%N)
        awk -v b="$bytes" -v a="$t0" -v z="$t1" 'BEGIN {printf "%.2f", b / (z - a) / 1e6}'
    }
    for _ in $(seq "$reps"); do
        l1=$(limit 1 100000 mb_per_s)
        run A "$l1" loadrate --file a64 --expect a64
        l16=$(limit 16 100000 mb_per_s)
        run B "$l16" loadrate --file b4 --expect b4 --transfers 16 --concurrency 16
        lc=$(limit 1 100000 rtt_per_s | awk '{printf "%.1f", $1 / 3.5}')
        run C "$lc" loadtps --file c1 --expect c1 --transfers 500
        if [ "${server#dnsmasq}" = "$server" ]; then
            run D "$l16" loadrate --file "up%d" --expect b4 --write --transfers 16 --concurrency 16
        fi
        l200=$(limit 200 100000 mb_per_s)
        run E "$l200" loadrate --file e256 --expect e256 --transfers 200 --concurrency 200
        run F "$l1" loadrate --file f16.txt --expect f16.txt --mode netascii
        run G "$l1" timed $((64 << 20)) $pin tftp 127.0.0.1 -m binary -c get a64 "$dir/got-g"
        run H "$l1" timed $((64 << 20)) $pin curl -s --tftp-no-options -o "$dir/got-h" \
            tftp://127.0.0.1/a64
        rm -f "$dir"/got-* "$dir"/up*
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    exit 0
fi

# ---- outside: files, one namespace per server, the table ----
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
data=$work/data
mkdir -p "$data" "$data/run"
chmod 777 "$data"
chmod 700 "$data/run"
head -c $((64 << 20)) /dev/urandom > "$data/a64"
head -c $((4 << 20)) /dev/urandom > "$data/b4"
head -c 1024 /dev/urandom > "$data/c1"
head -c $((256 << 10)) /dev/urandom > "$data/e256"
# A text file of 16 MiB: lines of varying length, so netascii has work to do.
awk 'BEGIN { srand(7); while (n < 16777216) { l = int(rand() * 70) + 1; s = "";
     for (i = 0; i < l; i++) s = s sprintf("%c", 32 + int(rand() * 90)); print s; n += l + 1 } }' \
    > "$data/f16.txt"
truncate -s $((16 << 20)) "$data/f16.txt"
chmod 666 "$data"/*

available() {
    case $1 in
    ferry) [ -x "$build/src/app/ferry" ] ;;
    tftpd-hpa) [ -x /usr/sbin/in.tftpd ] ;;
    atftpd) [ -x "$atftpd_bin" ] ;;
    dnsmasq | dnsmasq-one-socket) command -v dnsmasq > /dev/null ;;
    esac
}

ran=()
for server in "${servers[@]}"; do
    if ! available "$server"; then
        echo "skipping $server: not installed (bench/install_peers.sh)" >&2
        continue
    fi
    echo "measuring $server ($reps repetitions)..." >&2
    : > "$work/$server.results"
    FERRY_BENCH_INSIDE=1 unshare -n "$0" "$build" "$reps" "$server" "$data" \
        "$work/$server.results"
    ran+=("$server")
done

# Medians per server and scenario: value, ratio to the limit, server CPU per
# 512-byte block (microseconds; only the listening process is counted, so a
# server that forks a child per transfer shows next to nothing), and
# receive-buffer drops.
awk -v servers="${ran[*]}" -v work="$work" -v tick="$(getconf CLK_TCK)" '
function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n == 0 ? "" : (n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2)
}
BEGIN {
    split("A B C D E F G H", order, " ")
    label["A"] = "A 64 MiB read"; label["B"] = "B 16 x 4 MiB"; label["C"] = "C 500 x 1 KiB, transfers/s"
    label["D"] = "D 16 x 4 MiB write"; label["E"] = "E 200 x 256 KiB"; label["F"] = "F 16 MiB netascii"
    label["G"] = "G tftp-hpa tftp, 64 MiB"; label["H"] = "H curl, 64 MiB"
    blocks["A"] = 131072; blocks["B"] = 131072; blocks["C"] = 1500; blocks["D"] = 131072
    blocks["E"] = 102400; blocks["F"] = 34000; blocks["G"] = 131072; blocks["H"] = 131072
    ns = split(servers, names, " ")
    for (s = 1; s <= ns; s++) {
        file = work "/" names[s] ".results"
        while ((getline line < file) > 0) {
            split(line, f, " ")
            k = names[s] SUBSEP f[1]
            v[k] = v[k] " " f[2]
            r[k] = r[k] " " (f[3] > 0 ? f[2] / f[3] : 0)
            c[k] = c[k] " " (f[4] / tick * 1e6 / blocks[f[1]])
            d[k] = d[k] " " f[5]
        }
    }
    printf "| scenario |"
    for (s = 1; s <= ns; s++) printf " %s |", names[s]
    printf "\n|---|"
    for (s = 1; s <= ns; s++) printf "---:|"
    printf "\n"
    for (o = 1; o <= 8; o++) {
        sc = order[o]
        printf "| %s |", label[sc]
        for (s = 1; s <= ns; s++) {
            k = names[s] SUBSEP sc
            if (v[k] == "") { printf " n/a |"; continue }
            printf " %s [%.2f]", median(v[k]), median(r[k])
            if (median(d[k]) > 0) printf ", %d drops", median(d[k])
            printf " |"
        }
        printf "\n"
    }
    printf "\nServer CPU per block (us, medians):\n\n| scenario |"
    for (s = 1; s <= ns; s++) printf " %s |", names[s]
    printf "\n|---|"
    for (s = 1; s <= ns; s++) printf "---:|"
    printf "\n"
    for (o = 1; o <= 8; o++) {
        sc = order[o]
        printf "| %s |", label[sc]
        for (s = 1; s <= ns; s++) {
            k = names[s] SUBSEP sc
            if (c[k] == "") printf " n/a |"; else printf " %.1f |", median(c[k])
        }
        printf "\n"
    }
}'
