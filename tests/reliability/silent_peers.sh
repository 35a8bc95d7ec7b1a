#!/usr/bin/env bash
# Peers that vanish mid-transfer: a reader stops acknowledging after DATA 2
# and a writer stops sending after its first block. ferry must resend the
# reader's block twice and then give up, never repeat the writer's ACK, and
# close both files (watched in /proc/PID/fd) about 15 s after each peer's
# last datagram. The times are reported, not asserted; the order of events
# is. Diagnostics are on, so each abandonment leaves its line.

source "$(dirname "$0")/lib.sh"
rel_enter_namespace "$@"
rel_make_scratch 64m

SERVED=$REL_SCRATCH/served
mkdir -p "$SERVED"
"$RELIABILITY_TOOLS/make_file" 100000 5 "$SERVED/read-me.bin"
rel_write_ini "$SERVED" ReadWrite "" DiagnosticOn
rel_start_ferry "$SERVED"

"$RELIABILITY_TOOLS/silent_peer" --port 69 --server-pid "$FERRY_PID" \
    --read read-me.bin --read-path "$SERVED/read-me.bin" \
    --write half.bin --write-path "$SERVED/half.bin" --max-seconds 60 > "$REL_SCRATCH/peer.out"
status=$?
cat "$REL_SCRATCH/peer.out"
[ "$status" -eq 0 ] || fail "silent_peer found faults (exit $status)"

log=$(rel_log)
[ "$(grep -cxF 'Maximum number of retries to send a packet to 127.0.0.1' <<< "$log")" -eq 2 ] ||
    fail "expected two abandonment lines (reader and writer)"
grep -qE '^(Sent|Received) ' <<< "$log" && fail "an abandoned transfer was logged as complete"
[ "$(grep -c '^Session destroyed to IPADDR 127.0.0.1 remote port ' <<< "$log")" -eq 2 ] ||
    fail "expected both sessions destroyed"
# The writer's one acknowledged block stays on disk, closed, and nothing else.
"$RELIABILITY_TOOLS/make_file" 512 7 "$REL_SCRATCH/half.expected"
cmp -s "$REL_SCRATCH/half.expected" "$SERVED/half.bin" ||
    fail "the abandoned write did not leave exactly its acknowledged block"

# A new transfer from a real client still works.
(cd "$REL_SCRATCH" && timeout 60 tftp -m octet 127.0.0.1 -c get read-me.bin got.bin) > /dev/null 2>&1
cmp -s "$SERVED/read-me.bin" "$REL_SCRATCH/got.bin" || fail "a get after the abandonments failed"

rel_check_stamps
rel_stop_ferry
rel_finish
