#!/usr/bin/env bash
# Many peers at once. 1,000 concurrent read sessions, all open in ferry at
# the same moment (each holds at DATA 1 until all are there), all complete
# byte-exact; the server's resident memory per session is reported. Then,
# with ferry's descriptor limit lowered to 64, 200 concurrent requests: the
# ones beyond the limit get an ERROR reply, every request gets an answer,
# the accepted ones complete, and ferry serves normally afterwards.

source "$(dirname "$0")/lib.sh"
rel_enter_namespace "$@"
rel_make_scratch 64m

SERVED=$REL_SCRATCH/served
mkdir -p "$SERVED"
"$RELIABILITY_TOOLS/make_file" 65536 3 "$SERVED/swarm.bin"
rel_write_ini "$SERVED" ReadOnly
# The swarm needs a socket per session; as root the hard limit may rise.
ulimit -n 65536 2> /dev/null || ulimit -n "$(ulimit -Hn)"

swarm()
{
    "$RELIABILITY_TOOLS/peer_swarm" --port 69 --file swarm.bin --expect "$SERVED/swarm.bin" \
        --server-pid "$FERRY_PID" --max-seconds 120 "$@"
}

# ferry raises its soft descriptor limit to the hard one; 4096 leaves room
# for 1,000 open files (a lower hard limit is kept: raising it needs a
# privilege a container may lack).
hard=$(ulimit -Hn)
[ "$hard" = unlimited ] || [ "$hard" -gt 4096 ] && hard=4096
rel_start_ferry "$SERVED" prlimit --nofile="$hard:$hard"
drops_before=$(rel_udp_counter RcvbufErrors)
out=$(swarm --sessions 1000)
status=$?
drops=$(($(rel_udp_counter RcvbufErrors) - drops_before))
echo "$out"
[ "$status" -eq 0 ] || fail "1000 sessions: not all completed"
grep -q '^sessions=1000 accepted=1000 refused=0 completed=1000 failed=0 silent=0 ' <<< "$out" ||
    fail "1000 sessions: $(head -n 1 <<< "$out")"
rel_wait_count "Sent 65536 bytes" 1000 20 || fail "fewer than 1000 Sent lines"
[ "$(grep -c 'requested to read file swarm.bin in format octet' "$FERRY_LOG")" -eq 1000 ] ||
    fail "expected 1000 request lines"
per_session=$(sed -n 's/.*bytes_per_session=\(-*[0-9]*\).*/\1/p' <<< "$out")
resends=$(sed -n 's/.*resends=\([0-9]*\).*/\1/p' <<< "$out")
note "1000 sessions: about $per_session bytes of resident memory per open session"
note "1000 sessions: $drops datagrams dropped by full socket receive buffers, $resends client resends"
rel_stop_ferry

# At most 64 descriptors, soft and hard, so ferry cannot raise them.
rel_start_ferry "$SERVED" prlimit --nofile=64:64
out=$(swarm --sessions 200)
status=$?
echo "$out"
[ "$status" -eq 0 ] || fail "200 sessions under 64 descriptors: a request went unanswered or a transfer failed"
accepted=$(sed -n 's/.*accepted=\([0-9]*\).*/\1/p' <<< "$out" | head -n 1)
refused=$(sed -n 's/.*refused=\([0-9]*\).*/\1/p' <<< "$out" | head -n 1)
[ "${refused:-0}" -gt 0 ] || fail "no request was refused under 64 descriptors"
[ "${accepted:-0}" -gt 0 ] || fail "no request was served under 64 descriptors"
grep -qx "refusal $refused x error 0 Too many open files\\\\x0a" <<< "$out" ||
    fail "the refusals are not all error 0 'Too many open files'"
[ "$(grep -c "^${STAMP}Error opening the file $SERVED/swarm.bin" "$FERRY_LOG")" -eq "$refused" ] ||
    fail "expected one 'Error opening the file' line per refusal"
note "64 descriptors, 200 requests: $accepted served, $refused refused with an error reply"

# The same server, descriptors free again, serves a swarm and a real client.
out=$(swarm --sessions 40)
grep -q '^sessions=40 accepted=40 refused=0 completed=40 ' <<< "$out" ||
    fail "after the refusals: $(head -n 1 <<< "$out")"
(cd "$REL_SCRATCH" && timeout 60 tftp -m octet 127.0.0.1 -c get swarm.bin got.bin) > /dev/null 2>&1
cmp -s "$SERVED/swarm.bin" "$REL_SCRATCH/got.bin" || fail "a real client's get after the refusals failed"

rel_check_stamps
rel_stop_ferry
rel_finish
