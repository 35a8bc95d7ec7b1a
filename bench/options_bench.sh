#!/usr/bin/env bash
# Transfer options on real links: ferry with TransferOptions=Negotiate, ferry
# as it ships (options off) and the installed peers, each in a private
# network namespace, all pinned to CPU 0, in one sitting. The load client
# waits 0.25 ms before each datagram it sends, standing for the round trip
# of a real link: lock step pays it once per block, a window once per
# window.
#
#   bench/options_bench.sh [BUILD_DIR] [REPETITIONS] [SERVERS...]
#
#   L0  64 MiB read, no options (lock step, 512-byte blocks)
#   L1  64 MiB read, blksize 1428
#   L2  64 MiB read, blksize 1428, windowsize 16
#   L3  64 MiB read, blksize 8192, windowsize 16, no wait (loopback bulk)
#   L4  16 x 4 MiB reads at once, blksize 1428, windowsize 16
#   M   resident memory per live session: 1000 reads at blksize 65464 that
#       stop after their first block (ferry only, on its first repetition,
#       while the process is fresh)
#
# L0-L2 are reported as a ratio to the ideal, the client's datagrams times
# 0.25 ms; L3 as a ratio to the 516-byte ping-pong limit of the same
# repetition, L4 to the 16-pair limit. "beyond" is the time of an exchange
# beyond the client's wait, in microseconds: it isolates the server.
#
# The pseudo-server "ac" measures what negotiation costs clients that ask
# for nothing: scenario A (64 MiB read) and C (500 x 1 KiB reads) of
# bench/run_bench.sh, no wait, against a fresh ferry with negotiation on
# and off in turn, the order alternating between repetitions, with the
# median of the per-repetition ratios on / off.
#
# Medians of the repetitions; figures, never assertions.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build}" && pwd)
reps=${2:-3}
shift $(($# > 2 ? 2 : $#))
servers=("$@")
[ ${#servers[@]} -gt 0 ] || servers=(ferry ferry-off tftpd-hpa atftpd dnsmasq ac)
pin="taskset -c 0"
load="$build/bench/tftp_load"
pingpong="$build/bench/udp_pingpong"
atftpd_bin=/opt/ferry-peers/atftpd/usr/sbin/atftpd
delay=250

if [ "$(id -u)" -ne 0 ]; then
    echo "options_bench.sh needs root for its network namespaces" >&2
    exit 1
fi

# ---- inside one namespace: one server, every scenario ----
if [ "${FERRY_BENCH_INSIDE:-}" = 1 ]; then
    server=$1 dir=$2 out=$3
    ip link set lo up
    cd "$dir"
    field() { sed -n "s/.*[ ^]$1=\([0-9.]*\).*/\1/p" | head -n 1; }
    limit() { $pin "$pingpong" --pairs "$1" --round-trips "$2" | field "$3"; }
    if [ "$server" = ac ]; then
        start_ferry() {
            printf '[FERRY]\r\nAccessMode=ReadWrite\r\nTransferOptions=%s\r\n' "$1" > ferry.ini
            XDG_RUNTIME_DIR=$dir/run $pin "$build/src/app/ferry" > "$dir/ferry.log" 2>&1 &
            pid=$!
            for _ in $(seq 50); do ss -uln | grep -q ':69 ' && break; sleep 0.1; done
        }
        for rep in $(seq "$reps"); do
            l1=$(limit 1 100000 mb_per_s)
            lc=$(limit 1 100000 rtt_per_s | awk '{printf "%.1f", $1 / 3.5}')
            configs=(Off Negotiate)
            [ $((rep % 2)) -eq 0 ] && configs=(Negotiate Off)
            for config in "${configs[@]}"; do
                start_ferry "$config"
                a=$($pin "$load" --port 69 --file a64 --expect a64 | field mb_per_s)
                c=$($pin "$load" --port 69 --file c1 --expect c1 --transfers 500 |
                    field transfers_per_s)
                echo "$config $rep ${a:-0} $l1 ${c:-0} $lc" >> "$out"
                kill "$pid"
                wait "$pid" 2> /dev/null || true
            done
        done
        exit 0
    fi
    case $server in
    ferry | ferry-off)
        printf '[FERRY]\r\nAccessMode=ReadWrite\r\n' > ferry.ini
        [ "$server" = ferry ] && printf 'TransferOptions=Negotiate\r\n' >> ferry.ini
        XDG_RUNTIME_DIR=$dir/run $pin "$build/src/app/ferry" > "$dir/ferry.log" 2>&1 &
        ;;
    tftpd-hpa) $pin /usr/sbin/in.tftpd -L -c -u root -s "$dir" & ;;
    atftpd) $pin "$atftpd_bin" --daemon --no-fork --user root.root --logfile /dev/null \
        --port 69 "$dir" & ;;
    dnsmasq) $pin dnsmasq --no-daemon --conf-file=/dev/null --port=0 --enable-tftp \
        --tftp-root="$dir" --user=root --pid-file= --log-facility=/dev/null 2> /dev/null & ;;
    esac
    pid=$!
    for _ in $(seq 50); do ss -uln | grep -q ':69 ' && break; sleep 0.1; done

    # One load run; records: scenario mb_per_s ideal limit beyond_us blksize windowsize
    run() {
        local name=$1 lim=$2 wait_us=$3; shift 3
        # Sessions at once wait at once: the ideal counts one session's share.
        local sessions=1 arg
        for arg in "$@"; do [ "${prev:-}" = --concurrency ] && sessions=$arg; prev=$arg; done
        prev=
        local line mb sent waits waited seconds ideal beyond
        line=$($pin "$load" --port 69 "$@") || line="mb_per_s=0"
        mb=$(field mb_per_s <<< " $line")
        sent=$(field sent <<< " $line")
        waits=$(field waits <<< " $line")
        waited=$(field wait_seconds <<< " $line")
        seconds=$(field seconds <<< " $line")
        ideal=$(awk -v b="$(field bytes <<< " $line")" -v n="${sent:-0}" -v d="$wait_us" \
            -v k="$sessions" 'BEGIN {print ((n > 0 && d > 0) ? b / (n / k * d / 1e6) / 1e6 : 0)}')
        beyond=$(awk -v s="${seconds:-0}" -v w="${waited:-0}" -v n="${waits:-0}" -v k="$sessions" \
            'BEGIN {print (n > 0 && k == 1 ? (s - w) / n * 1e6 : 0)}')
        echo "$name $mb $ideal $lim $beyond $(field blksize <<< " $line") $(field windowsize <<< " $line")" >> "$out"
    }
    for rep in $(seq "$reps"); do
        l1=$(limit 1 100000 mb_per_s)
        l16=$(limit 16 100000 mb_per_s)
        run L0 "$l1" $delay --file a64 --expect a64 --delay-us $delay
        run L1 "$l1" $delay --file a64 --expect a64 --delay-us $delay --blksize 1428
        run L2 "$l1" $delay --file a64 --expect a64 --delay-us $delay --blksize 1428 --windowsize 16
        run L3 "$l1" 0 --file a64 --expect a64 --blksize 8192 --windowsize 16
        run L4 "$l16" $delay --file b4 --expect b4 --transfers 16 --concurrency 16 \
            --delay-us $delay --blksize 1428 --windowsize 16
        if [ "$server" = ferry ] && [ "$rep" = 1 ]; then
            # The log as it stood before, so that only the sessions' share counts.
            rss() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status"; }
            before=$(rss)
            $pin "$load" --port 69 --file a64 --expect a64 --transfers 1000 --concurrency 1000 \
                --blksize 65464 --stall-ms 3000 > "$dir/stall.out" &
            stalling=$!
            for _ in $(seq 100); do grep -q '^stalled=' "$dir/stall.out" && break; sleep 0.05; done
            during=$(rss)
            echo "M $(( (during - before) * 1024 / 1000 )) 0 0 0 65464 0" >> "$out"
            wait "$stalling" || true
            sleep 16 # the stalled sessions are abandoned
        fi
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
chmod 666 "$data"/*

available() {
    case $1 in
    ferry | ferry-off | ac) [ -x "$build/src/app/ferry" ] ;;
    tftpd-hpa) [ -x /usr/sbin/in.tftpd ] ;;
    atftpd) [ -x "$atftpd_bin" ] ;;
    dnsmasq) command -v dnsmasq > /dev/null ;;
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

main=()
for server in "${ran[@]}"; do [ "$server" = ac ] || main+=("$server"); done
[ ${#main[@]} -eq 0 ] || awk -v servers="${main[*]}" -v work="$work" '
function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n == 0 ? "" : (n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2)
}
BEGIN {
    split("L0 L1 L2 L3 L4 M", order, " ")
    label["L0"] = "L0 no options, MB/s [of ideal]"; label["L1"] = "L1 blksize 1428"
    label["L2"] = "L2 blksize 1428, windowsize 16"; label["L3"] = "L3 blksize 8192, windowsize 16, no wait [of ping-pong]"
    label["L4"] = "L4 16 x 4 MiB, blksize 1428, windowsize 16 [of 16-pair ping-pong]"
    label["M"] = "M bytes per live session at blksize 65464"
    ns = split(servers, names, " ")
    for (s = 1; s <= ns; s++) {
        file = work "/" names[s] ".results"
        while ((getline line < file) > 0) {
            split(line, f, " ")
            k = names[s] SUBSEP f[1]
            v[k] = v[k] " " f[2]
            ri[k] = ri[k] " " (f[3] > 0 ? f[2] / f[3] : 0)
            rl[k] = rl[k] " " (f[4] > 0 ? f[2] / f[4] : 0)
            b[k] = b[k] " " f[5]
            got[k] = f[6] (f[7] > 1 ? "/" f[7] : "")
        }
    }
    printf "| scenario |"
    for (s = 1; s <= ns; s++) printf " %s |", names[s]
    printf "\n|---|"
    for (s = 1; s <= ns; s++) printf "---:|"
    printf "\n"
    for (o = 1; o <= 6; o++) {
        sc = order[o]
        printf "| %s |", label[sc]
        for (s = 1; s <= ns; s++) {
            k = names[s] SUBSEP sc
            if (v[k] == "") { printf " - |"; continue }
            printf " %s", median(v[k])
            if (sc ~ /^L[012]$/) printf " [%.2f]", median(ri[k])
            if (sc ~ /^L[34]$/) printf " [%.2f]", median(rl[k])
            if (sc ~ /^L/) printf " (%s)", got[k]
            printf " |"
        }
        printf "\n"
    }
    printf "\nTime per exchange beyond the client wait (us, medians):\n\n| scenario |"
    for (s = 1; s <= ns; s++) printf " %s |", names[s]
    printf "\n|---|"
    for (s = 1; s <= ns; s++) printf "---:|"
    printf "\n"
    split("L0 L1 L2", waited, " ")
    for (o = 1; o <= 3; o++) {
        sc = waited[o]
        printf "| %s |", sc
        for (s = 1; s <= ns; s++) {
            k = names[s] SUBSEP sc
            if (b[k] == "") printf " - |"; else printf " %.1f |", median(b[k])
        }
        printf "\n"
    }
    print "\n(blksize/windowsize) is what the server agreed to for the last transfer."
}'

[ -f "$work/ac.results" ] && awk '
function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n == 0 ? "" : (n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2)
}
{
    a[$1, $2] = $3; c[$1, $2] = $5; reps[$2] = 1
    va[$1] = va[$1] " " $3; ra[$1] = ra[$1] " " ($4 > 0 ? $3 / $4 : 0)
    vc[$1] = vc[$1] " " $5; rc[$1] = rc[$1] " " ($6 > 0 ? $5 / $6 : 0)
}
END {
    for (rep in reps) {
        if (a["Off", rep] > 0) xa = xa " " a["Negotiate", rep] / a["Off", rep]
        if (c["Off", rep] > 0) xc = xc " " c["Negotiate", rep] / c["Off", rep]
    }
    print "\nNo options asked, negotiation on against off, alternating:\n"
    print "| scenario | TransferOptions off | Negotiate | on / off |"
    print "|---|---:|---:|---:|"
    printf "| A 64 MiB read, MB/s | %s [%.2f] | %s [%.2f] | %.3f |\n", median(va["Off"]), \
        median(ra["Off"]), median(va["Negotiate"]), median(ra["Negotiate"]), median(xa)
    printf "| C 500 x 1 KiB, transfers/s | %s [%.2f] | %s [%.2f] | %.3f |\n", median(vc["Off"]), \
        median(rc["Off"]), median(vc["Negotiate"]), median(rc["Negotiate"]), median(xc)
}' "$work/ac.results" || true
