#!/usr/bin/env bash
# Hostile input against the real binary: path traversal with both separators
# and mixed, absolute paths, "." and ".." as the name part, long names, NUL
# tricks, modes with high-bit bytes, every datagram length from 0 to 600 and
# 65507, requests from the port of a running transfer, ERROR packets without
# a NUL. ferry serves one directory, set as its restricted directory, with
# writing allowed and diagnostics on. Afterwards a normal transfer still
# works, and the disk shows that nothing outside that directory was read
# (strict access times on the scratch tmpfs) or written.

source "$(dirname "$0")/lib.sh"
rel_enter_namespace "$@"
rel_make_scratch 64m

SERVED=$REL_SCRATCH/served
CLIENT=$REL_SCRATCH/client
mkdir -p "$SERVED" "$CLIENT" "$REL_SCRATCH/sibling" "$SERVED/sub"
printf 'hello\n' > "$SERVED/file.txt"
"$RELIABILITY_TOOLS/make_file" 2000 2000 "$SERVED/big.bin"
"$RELIABILITY_TOOLS/make_file" 700 700 "$CLIENT/upload.expected"
printf 'outside secret\n' > "$REL_SCRATCH/secret.txt"
printf 'sibling secret\n' > "$REL_SCRATCH/sibling/secret.txt"
printf 'below served\n' > "$SERVED/sub/file.txt"
rel_write_ini "$SERVED" ReadWrite "$SERVED" DiagnosticOn

# What lies outside the served directory: files with size, change and access
# times, so that any read (strictatime) or write there shows; directories
# with their change time, so that a new entry shows. The program's own
# runtime and configuration folders and the test's own files are left out.
snapshot()
{
    find "$REL_SCRATCH" -path "$SERVED" -prune -o -path "$REL_SCRATCH/runtime" -prune \
        -o -path "$REL_SCRATCH/config" -prune -o -path "$REL_SCRATCH/logs" -prune \
        -o -path "$CLIENT" -prune \
        -o -type d -printf '%p %T@\n' -o -printf '%p %s %T@ %A@\n' | sort
}
# A read in the same clock tick as the files were made would leave their
# access times as they are.
sleep 1.1
before=$(snapshot)
ls -A "$SERVED" | sort > "$CLIENT/served.before"

rel_start_ferry "$SERVED"
"$RELIABILITY_TOOLS/hostile_peer" --port 69 --served "$SERVED" \
    --outside "$REL_SCRATCH/secret.txt" --seed 7 > "$CLIENT/attacks.out" 2>&1
status=$?
grep '^FAIL' "$CLIENT/attacks.out" | head -40 >&2
summary=$(tail -n 1 "$CLIENT/attacks.out")
note "attack list: $summary"
[ "$status" -eq 0 ] || fail "the attack list found faults (exit $status)"
oversized=$(sed -n 's/.*oversized=\([0-9]*\).*/\1/p' <<< "$summary")

# Still serving: a normal get and put with a real client.
kill -0 "$FERRY_PID" 2> /dev/null || fail "ferry is no longer running"
(cd "$CLIENT" && timeout 60 tftp -m octet 127.0.0.1 -c get big.bin got.bin) > /dev/null 2>&1
cmp -s "$SERVED/big.bin" "$CLIENT/got.bin" || fail "a normal get after the attacks failed"
(cd "$CLIENT" && timeout 60 tftp -m octet 127.0.0.1 -c put upload.expected after.bin) > /dev/null 2>&1
rel_wait_log "requested to write file after.bin" 10
cmp -s "$CLIENT/upload.expected" "$SERVED/after.bin" || fail "a normal put after the attacks failed"
cmp -s "$CLIENT/upload.expected" "$SERVED/upload.bin" ||
    fail "the write with requests in between did not store its 700 bytes"
rel_wait_log "Received 700 bytes" 10

rel_check_stamps
rel_stop_ferry
log=$(rel_log)

# Nothing outside the served directory was read or written.
after=$(snapshot)
if [ "$before" != "$after" ]; then
    fail "files outside the served directory changed or were read:"
    diff <(echo "$before") <(echo "$after") >&2
fi
# Inside it, only the two uploads are new, and no directory was made.
ls -A "$SERVED" | sort > "$CLIENT/served.after"
new=$(comm -13 "$CLIENT/served.before" "$CLIENT/served.after" | tr '\n' ' ')
[ "$new" = "after.bin upload.bin " ] || fail "new entries in the served directory: $new"
[ "$(find "$SERVED" -mindepth 1 -type d | wc -l)" -eq 1 ] || fail "a directory was created"

# The log: receive errors for each oversized datagram, refusals named.
count()
{
    grep -cxF -- "$1" <<< "$log"
}
[ "$(count 'Windows Sockets error 10040: Bad recvfrom on client socket.')" -eq "${oversized:-0}" ] ||
    fail "expected $oversized receive errors for oversized datagrams, got" \
        "$(count 'Windows Sockets error 10040: Bad recvfrom on client socket.')"
restricted=$(sed -n 's/.*restricted=\([0-9]*\).*/\1/p' <<< "$summary")
[ "$(count "The requested file was not in the restricted directory $SERVED")" -eq "${restricted:-0}" ] ||
    fail "expected $restricted restricted-directory refusals, got" \
        "$(count "The requested file was not in the restricted directory $SERVED")"
invalid=$(sed -n 's/.*invalid=\([0-9]*\).*/\1/p' <<< "$summary")
[ "$(count 'The requested file name is not valid')" -eq "${invalid:-0}" ] ||
    fail "expected $invalid refusals of invalid names, got $(count 'The requested file name is not valid')"
[ "$(count 'The requested file name is too long')" -eq 6 ] ||
    fail "expected 6 refusals of long names, got $(count 'The requested file name is too long')"
[ "$(count 'The directory of the requested file could not be resolved')" -eq 2 ] ||
    fail "expected 2 refusals of directories too long to resolve"
[ "$(count '   error code 7 : abc')" -eq 1 ] || fail "the ERROR without NUL is not quoted as abc"
[ "$(count '   error code 3 : ')" -eq 1 ] || fail "the ERROR without text is not quoted empty"
[ "$(count '   error code 0 : done')" -eq 1 ] || fail "the ERROR after a 3-byte one is missing"
eline=$(grep '^   error code 1 : ' <<< "$log")
[[ "$eline" =~ ^"   error code 1 : "E+$ ]] || fail "the 516-byte ERROR is quoted as: ${eline:0:80}"
grep -q 'Z' <<< "$(grep 'error code' <<< "$log")" &&
    fail "an ERROR quote shows bytes of an earlier datagram"
# An entry is the stamp (25 bytes) and at most 255 characters.
longest=$(sed -e 's/\r$//' "$FERRY_LOG" | awk '{ if (length($0) > m) m = length($0) } END { print m }')
[ "$longest" -le 280 ] || fail "a log line of $longest characters"
note "log lines: $(wc -l < "$FERRY_LOG"), longest $longest characters"
# Every request line belongs to a request whose name and mode passed; none
# names the hidden part after a NUL.
grep -q 'requested to read file secret in' <<< "$log" && fail "a request with a bad mode was logged"
[ "$(grep -c 'requested to read file big.bin' <<< "$log")" -eq 6 ] ||
    fail "requests from a running transfer's port were taken as new requests"
rel_finish
