#!/usr/bin/env bash
# Lossy link: twenty reads and twenty writes of 1 MiB each, all at once,
# a quarter of them in netascii, with tftp-hpa through a lossy relay (5% loss, 2% duplication, 1 ms +- 1 ms
# delay, 1% of datagrams held back 5-30 ms so later ones overtake them, in
# each direction). This kernel has no netem queueing discipline, so the
# relay, a program of this folder, plays the link inside the namespace.
#
# Checks: every read the client reports complete is byte-exact; every write
# ferry logs as "Received" is byte-exact on disk; when the clients have
# ended, every session ends within the abandonment time and no file stays
# open. Reports how many completed and how many retransmissions there were.
#
# FERRY_LOSSY_TRANSFERS changes the number of reads and of writes.

source "$(dirname "$0")/lib.sh"
rel_enter_namespace "$@"
rel_make_scratch 256m

COUNT=${FERRY_LOSSY_TRANSFERS:-20}
SERVED=$REL_SCRATCH/served
CLIENT=$REL_SCRATCH/client
mkdir -p "$SERVED" "$CLIENT"
"$RELIABILITY_TOOLS/make_file" 1048576 1 "$SERVED/read.bin"
"$RELIABILITY_TOOLS/make_file" 1048576 2 "$CLIENT/write.bin"
# Diagnostics give each session's port, which ties a "Received" line to
# the file its write request named.
rel_write_ini "$SERVED" ReadWrite "" DiagnosticOn
rel_start_ferry "$SERVED"
fds_before=$(ls "/proc/$FERRY_PID/fd" | wc -l)

"$RELIABILITY_TOOLS/lossy_relay" --listen 6969 --server 69 --loss 0.05 --duplicate 0.02 \
    --delay-ms 1 --jitter-ms 1 --reorder 0.01 --seed 20261207 --max-seconds 560 \
    > "$REL_SCRATCH/relay.out" &
RELAY_PID=$!
REL_PIDS=$RELAY_PID
for ((i = 0; i < 50; i++)); do
    grep -qs relaying "$REL_SCRATCH/relay.out" && break
    sleep 0.1
done

# tftp-hpa reads its commands from standard input: verbose for the line
# that reports completion, 1 s between resends, 25 s without progress
# before it gives up.
client()
{
    local n=$1 mode=$2 command=$3
    printf 'verbose\nmode %s\nrexmt 1\ntimeout 25\n%s\n' "$mode" "$command" |
        (cd "$CLIENT" && timeout 400 tftp 127.0.0.1 6969) > "$CLIENT/out-$n" 2>&1
    date +%s.%N > "$CLIENT/end-$n"
}

started=$(date +%s.%N)
pids=()
for ((n = 1; n <= COUNT; n++)); do
    mode=octet
    [ $((n % 4)) -eq 0 ] && mode=netascii
    client "r$n" $mode "get read.bin got-$n.bin" &
    pids+=($!)
    client "w$n" $mode "put write.bin w$n.bin" &
    pids+=($!)
done
wait "${pids[@]}"
clients_done=$(date +%s.%N)

# No session may outlive its peer by more than the abandonment time (15 s
# after its last datagram); the bound here is generous, the figure reported.
open_files=
for ((i = 0; i < 400; i++)); do
    open_files=$(ls -l "/proc/$FERRY_PID/fd" | grep -c "$SERVED/" || true)
    [ "$open_files" -eq 0 ] && break
    sleep 0.1
done
settled=$(date +%s.%N)
[ "$open_files" -eq 0 ] || fail "$open_files files still open 40 s after the last client ended"
[ "$(ls "/proc/$FERRY_PID/fd" | wc -l)" -eq "$fds_before" ] ||
    fail "ferry holds $(ls "/proc/$FERRY_PID/fd" | wc -l) descriptors, $fds_before at the start"

kill -TERM "$RELAY_PID"
wait "$RELAY_PID"
REL_PIDS=
rel_check_stamps
rel_stop_ferry
log=$(rel_log)

created=$(grep -c '^New session created from IPADDR' <<< "$log")
destroyed=$(grep -c '^Session destroyed to IPADDR' <<< "$log")
[ "$created" -eq "$destroyed" ] || fail "$created sessions created, $destroyed destroyed"

# Reads: each one the client reports complete is byte-exact.
reads_done=0
for ((n = 1; n <= COUNT; n++)); do
    if grep -qE '^Received [0-9]+ bytes in' "$CLIENT/out-r$n"; then
        reads_done=$((reads_done + 1))
        cmp -s "$SERVED/read.bin" "$CLIENT/got-$n.bin" || fail "read $n reported complete but differs"
    fi
done
sent_lines=$(grep -cE '^Sent [0-9]+ bytes in' <<< "$log")

# Writes: the port of each "Received" line (from the destruction line just
# after it) leads to the request that port made, and so to the file.
writes_logged=0
while read -r port; do
    name=$(awk -v port="$port" '
        $0 ~ "^New session created from IPADDR 127.0.0.1 remote port " port "$" { take = 1; next }
        take && /requested to write file/ { file = $6 }
        { take = 0 }
        END { print file }' <<< "$log")
    writes_logged=$((writes_logged + 1))
    if [ -z "$name" ]; then
        fail "no write request found for port $port"
    elif ! cmp -s "$CLIENT/write.bin" "$SERVED/$name"; then
        fail "ferry logged $name as received, but it differs on disk"
    fi
done < <(grep -A1 -E '^Received [0-9]+ bytes in' <<< "$log" |
    sed -n 's/^Session destroyed to IPADDR 127.0.0.1 remote port \([0-9]*\)$/\1/p')
[ "$writes_logged" -eq "$(grep -c '^Received ' <<< "$log")" ] ||
    fail "a Received line without its session's destruction line"
writes_reported=$(cat "$CLIENT"/out-w* | grep -cE '^Sent [0-9]+ bytes in')
for ((n = 1; n <= COUNT; n++)); do
    if grep -qE '^Sent [0-9]+ bytes in' "$CLIENT/out-w$n" && ! cmp -s "$CLIENT/write.bin" "$SERVED/w$n.bin"; then
        fail "write $n reported complete by the client but differs on disk"
    fi
done

# Figures.
seconds()
{
    awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", b - a }'
}
durations=$(for f in "$CLIENT"/end-*; do awk -v s="$started" '{ printf "%.0f\n", $1 - s }' "$f"; done | sort -n)
resyncs=$(grep -c '^Need to re-sync blocks with 127.0.0.1' <<< "$log")
abandoned=$(grep -c '^Maximum number of retries to send a packet to 127.0.0.1' <<< "$log")
echo
echo "| lossy link, $COUNT reads and $COUNT writes of 1 MiB with tftp-hpa (every fourth in netascii) | figure |"
echo "|---|---|"
echo "| reads the client reported complete (all byte-exact) | $reads_done of $COUNT |"
echo "| reads ferry logged as Sent | $sent_lines of $COUNT |"
echo "| writes ferry logged as Received (all byte-exact on disk) | $writes_logged of $COUNT |"
echo "| writes the client reported complete | $writes_reported of $COUNT |"
echo "| sessions ferry abandoned after its resends | $abandoned |"
echo "| ferry's resends on a repeated ACK (re-sync lines) | $resyncs |"
sed -n 's/^client_to_server \(.*\)/| relay, client to server | \1 |/p; s/^server_to_client \(.*\)/| relay, server to client | \1 |/p' \
    "$REL_SCRATCH/relay.out"
echo "| seconds per transfer (min / median / max) | $(head -n 1 <<< "$durations") / $(sed -n "$((COUNT))p" <<< "$durations") / $(tail -n 1 <<< "$durations") |"
echo "| seconds from the last client's end to no open file | $(seconds "$clients_done" "$settled") |"
# What each abandoned session was, and whether its peer got through on a
# later session from the same port (a write whose ACK 0 was lost, say:
# ferry never repeats that ACK, but ends the session after 15 s, and the
# client's next request starts afresh).
awk '
    /^New session created from IPADDR/ { port = $NF; sessions[port]++; pending = port; next }
    pending != "" && /requested to/ { what[pending] = $4 " " $6; pending = ""; next }
    { pending = "" }
    /^Maximum number of retries/ { abandoning = 1; next }
    abandoning && /^Session destroyed to IPADDR/ { gone[$NF] = what[$NF]; abandoning = 0 }
    END {
        for (p in gone)
            printf "abandoned: %s from port %s; sessions from that port: %d\n", gone[p], p, sessions[p]
    }' <<< "$log"
echo
echo "A relay \"repeat\" is a datagram with the opcode and block number of the sender's previous"
echo "one on the same flow: a retransmission by the client or by ferry, not by the relay."
rel_finish
