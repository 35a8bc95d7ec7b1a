#!/usr/bin/env bash
# File-system faults against the real binary: writes into a full file system
# (a 1 MiB tmpfs mounted in the test's own mount namespace) are answered with
# ERROR 3 and leave no "Received" line; a file without the owner-read bit, a
# read-only file, FIFOs, device nodes and a directory are refused with the
# exact error on the wire and the log line; ferry keeps serving after each.

source "$(dirname "$0")/lib.sh"
rel_enter_namespace "$@"
rel_make_scratch 64m

PROBE=$RELIABILITY_TOOLS/tftp_probe
SERVED=$REL_SCRATCH/full
CLIENT=$REL_SCRATCH/client
mkdir -p "$SERVED" "$CLIENT"
mount -t tmpfs -o size=1m tmpfs "$SERVED" || exit 1
rel_write_ini "$SERVED" ReadWrite
"$RELIABILITY_TOOLS/make_file" 2097152 11 "$CLIENT/two-mib.bin"
printf 'small file\n' > "$CLIENT/small.txt"
rel_start_ferry "$SERVED"

# expect_probe WHAT EXPECTED ARGS...: one request, its first reply exactly.
expect_probe()
{
    local what=$1 expected=$2 got
    shift 2
    got=$("$PROBE" --port 69 "$@")
    [ "$got" = "$expected" ] || fail "$what: expected '$expected', got '$got'"
}

new_log()
{
    tail -n +$(($1 + 1)) "$FERRY_LOG" | sed -e 's/\r$//' -e "s/^$STAMP//"
}

# A 2 MiB put into the 1 MiB file system, with each client that can put.
full_disk()
{
    local client=$1 mode=$2 remote=$3 before out status=0
    before=$(wc -l < "$FERRY_LOG")
    case $client in
        tftp-hpa) out=$(cd "$CLIENT" && timeout 60 tftp -m "$mode" 127.0.0.1 -c put two-mib.bin "$remote" 2>&1) ;;
        atftp) out=$(cd "$CLIENT" && timeout 60 atftp --option "mode $mode" -p -l two-mib.bin -r "$remote" 127.0.0.1 2>&1) ;;
        curl) out=$(cd "$CLIENT" && timeout 60 curl -sS -T two-mib.bin "tftp://127.0.0.1/$remote" 2>&1) || status=$? ;;
        busybox) out=$(cd "$CLIENT" && timeout 60 busybox tftp -p -l two-mib.bin -r "$remote" 127.0.0.1 2>&1) ;;
    esac
    # curl tells error 3 by its exit code 70 (remote disk full); its text
    # here is about a failed getpeername().
    grep -q 'Disk full or allocation exceeded' <<< "$out" || [ "$client/$status" = curl/70 ] ||
        fail "full disk, $client $mode: the client did not report error 3: $out"
    rel_wait_log "Error writing the file received from 127.0.0.1" 10
    local log
    log=$(new_log "$before")
    [ "$(sed -n 1p <<< "$log")" = "127.0.0.1 requested to write file $remote in format $mode" ] ||
        fail "full disk, $client: request line: $(sed -n 1p <<< "$log")"
    grep -qxF "Error writing the file received from 127.0.0.1" <<< "$log" ||
        fail "full disk, $client: no line about the failed write"
    grep -q '^Received ' <<< "$log" && fail "full disk, $client: a Received line was written"
    # What reached the disk is a true beginning of the file; for netascii the
    # decoded form is compared.
    local size
    size=$(stat -c %s "$SERVED/$remote")
    [ "$size" -lt 1048576 ] || fail "full disk, $client: $size bytes on a 1 MiB file system"
    cmp -s -n "$size" "$CLIENT/two-mib.bin" "$SERVED/$remote" ||
        fail "full disk, $client $mode: the partial file is not a prefix of the source"
    note "full disk, $client $mode: $size bytes kept; client said: $(head -c 100 <<< "$out" | tr '\n' ' ')"
    rm -f "$SERVED/$remote"
}

full_disk tftp-hpa octet full-hpa.bin
full_disk tftp-hpa netascii full-hpa-ascii.bin
full_disk atftp octet full-atftp.bin
full_disk curl octet full-curl.bin
full_disk busybox octet full-busybox.bin

# With room again, the same server takes a put and serves a get.
(cd "$CLIENT" && timeout 60 tftp -m octet 127.0.0.1 -c put small.txt small.txt) > /dev/null 2>&1
rel_wait_log "Received 11 bytes" 10 || fail "a put after the full disk was not received"
cmp -s "$CLIENT/small.txt" "$SERVED/small.txt" || fail "the put after the full disk differs"
rel_stop_ferry

# Permissions and file kinds, on an ordinary directory.
SERVED=$REL_SCRATCH/served
mkdir -p "$SERVED/sub"
rel_write_ini "$SERVED" ReadWrite
printf 'no read bit\n' > "$SERVED/write-only.txt"
chmod 0200 "$SERVED/write-only.txt"
printf 'keep me\n' > "$SERVED/read-only.txt"
chmod 0400 "$SERVED/read-only.txt"
mkfifo "$SERVED/fifo"
mknod "$SERVED/zero" c 1 5
mknod "$SERVED/null" c 1 3
printf 'hello\n' > "$SERVED/file.txt"
rel_start_ferry "$SERVED"

before=$(wc -l < "$FERRY_LOG")
expect_probe "no read bit" "error 2 Access violation" --read write-only.txt
expect_probe "read-only file" "error 2 Access violation" --write read-only.txt
eperm='error 0 Operation not permitted\x0a'
expect_probe "read FIFO" "$eperm" --read fifo
expect_probe "write FIFO" "$eperm" --write fifo
expect_probe "read character device" "$eperm" --read zero
expect_probe "write character device" "$eperm" --write null
expect_probe "read /dev/zero" "$eperm" --read /dev/zero
expect_probe "read /dev/urandom" "$eperm" --read /dev/urandom
expect_probe "read directory" 'error 0 Is a directory\x0a' --read sub
expect_probe "write directory" 'error 0 Is a directory\x0a' --write sub
expect_probe "read missing" "error 1 File not found" --read missing.txt
expect_probe "a normal read afterwards" "data 1 6" --read file.txt
log=$(new_log "$before")

expect_lines=(
    "127.0.0.1 requested to read file write-only.txt in format octet"
    "The specified file has no read access"
    "127.0.0.1 requested to write file read-only.txt in format octet"
    "The specified file exists but is set read only"
    "127.0.0.1 requested to read file fifo in format octet"
    "Error opening the file $SERVED/fifo"
    "127.0.0.1 requested to write file fifo in format octet"
    "Error opening the file $SERVED/fifo"
    "127.0.0.1 requested to read file zero in format octet"
    "Error opening the file $SERVED/zero"
    "127.0.0.1 requested to write file null in format octet"
    "Error opening the file $SERVED/null"
    "127.0.0.1 requested to read file /dev/zero in format octet"
    "Error opening the file /dev/zero"
    "127.0.0.1 requested to read file /dev/urandom in format octet"
    "Error opening the file /dev/urandom"
    "127.0.0.1 requested to read file sub in format octet"
    "Error opening the file $SERVED/sub"
    "127.0.0.1 requested to write file sub in format octet"
    "Error opening the file $SERVED/sub"
    "127.0.0.1 requested to read file missing.txt in format octet"
    "127.0.0.1 requested to read file file.txt in format octet"
)
expected=$(printf '%s\n' "${expect_lines[@]}")
got=$(head -n ${#expect_lines[@]} <<< "$log")
if [ "$got" != "$expected" ]; then
    fail "refusal log lines differ:"
    diff <(echo "$expected") <(echo "$got") >&2
fi

# The refused files are unchanged and still what they were.
[ -p "$SERVED/fifo" ] || fail "the FIFO is no longer a FIFO"
[ -c "$SERVED/null" ] || fail "the device node was replaced"
[ "$(cat "$SERVED/read-only.txt")" = "keep me" ] || fail "the read-only file was changed"
[ "$(stat -c %a "$SERVED/write-only.txt")" = 200 ] || fail "the write-only file's mode changed"
kill -0 "$FERRY_PID" 2> /dev/null || fail "ferry is no longer running"

rel_check_stamps
rel_stop_ferry

# A working directory removed under the running server: names that need it
# are refused with a line of their own, nothing is created anywhere, and an
# absolute name still works.
DOOMED=$REL_SCRATCH/doomed
mkdir -p "$DOOMED"
rel_write_ini "$DOOMED" ReadWrite
rel_start_ferry "$DOOMED"
rm -f "$DOOMED/ferry.ini"
rmdir "$DOOMED"
before=$(wc -l < "$FERRY_LOG")
expect_probe "read with the working directory gone" "error 2 Access violation" --read file.txt
expect_probe "write with the working directory gone" "error 2 Access violation" --write new.bin
expect_probe "relative directory part" "error 2 Access violation" --write sub/new.bin
expect_probe "absolute name" "data 1 6" --read "$SERVED/file.txt"
log=$(new_log "$before")
[ "$(grep -cxF 'The directory of the requested file could not be resolved' <<< "$log")" -eq 3 ] ||
    fail "expected three refusals for the missing working directory"
[ -e "$DOOMED" ] && fail "the removed working directory was made again"
rel_check_stamps
rel_stop_ferry
rel_finish
