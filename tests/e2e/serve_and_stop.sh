#!/usr/bin/env bash
# The real program without a display, on port 69 of a private namespace:
# real clients fetch and send files, the log reaches standard output, a
# second copy is refused while the first keeps serving, and SIGTERM and
# SIGINT end it cleanly without the question about saving the log.
set -euo pipefail
ferry=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
enter_namespace "$@"
make_scratch
cd "$scratch"

head -c 1572864 /dev/urandom > big.bin       # 3072 full blocks and an empty last one
head -c 70001 /dev/urandom > odd.bin
: > empty.bin
printf 'line one\nline two\n' > notes.txt
head -c 200000 /dev/urandom > upload.bin
printf '[FERRY]\r\nAccessMode=ReadWrite\r\n' > ferry.ini

start_ferry() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config" \
        "$ferry" > "$1.out" 2> "$1.err" &
    ferry_pid=$!
    started_pids="${started_pids:-} $ferry_pid"
    wait_for "$1.out" "TFTP Daemon started using Winsock Version 1.1"
}

start_ferry first
stamp='[A-Z][a-z]{2}, [0-9]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}'
head -n 2 first.out > first.head
grep -Eq "^$stamp  TFTP Daemon started using Winsock Version 1\.1$" <(head -n 1 first.head) ||
    fail "start-up line reads: $(head -n 1 first.head)"
[ "$(sed -n 2p first.head)" = "" ] || fail "no empty line after the start-up line"

mkdir got
for f in big.bin odd.bin empty.bin; do
    tftp -m binary 127.0.0.1 -c get "$f" "got/$f"
    cmp "$f" "got/$f" || fail "tftp fetched $f wrongly"
done
tftp -m ascii 127.0.0.1 -c get notes.txt got/notes.txt
cmp notes.txt got/notes.txt || fail "netascii fetch of notes.txt differs"
tftp -m binary 127.0.0.1 -c put upload.bin uploaded-tftp.bin
cmp upload.bin uploaded-tftp.bin || fail "tftp upload arrived wrongly"

curl -sS --tftp-no-options -o got/odd-curl.bin tftp://127.0.0.1/odd.bin
cmp odd.bin got/odd-curl.bin || fail "curl fetched odd.bin wrongly"
curl -sS --tftp-no-options -T upload.bin tftp://127.0.0.1/uploaded-curl.bin
cmp upload.bin uploaded-curl.bin || fail "curl upload arrived wrongly"

wait_for first.out "Received 200000 bytes"
grep -Eq "^$stamp  127\.0\.0\.1 requested to read file big\.bin in format octet$" first.out ||
    fail "no request line for big.bin"
grep -Eq "^$stamp  Sent 1572864 bytes in .* to 127\.0\.0\.1$" first.out ||
    fail "no completion line for big.bin"
grep -Eq "^$stamp  127\.0\.0\.1 requested to read file notes\.txt in format netascii$" first.out ||
    fail "no netascii request line"
grep -Eq "^$stamp  127\.0\.0\.1 requested to write file uploaded-curl\.bin in format octet$" \
    first.out || fail "no write request line for curl's upload"
[ "$(grep -c 'Received 200000 bytes in .* from 127.0.0.1' first.out)" -eq 2 ] ||
    fail "expected two completed uploads in the log"
if grep -q $'\r' first.out; then fail "standard output carries CR characters"; fi

# A second copy cannot have the port: box on standard error, exit code 1.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$scratch/runtime" \
    XDG_CONFIG_HOME="$scratch/config" timeout 60 "$ferry" > second.out 2> second.err || status=$?
[ "$status" -eq 1 ] || fail "second copy ended with $status, not 1"
grep -qx "ferry: Windows Sockets error 10048" second.err ||
    fail "second copy said: $(cat second.err)"

# The first copy serves on undisturbed.
tftp -m binary 127.0.0.1 -c get odd.bin got/odd-again.bin
cmp odd.bin got/odd-again.bin || fail "first copy stopped serving"

kill -TERM "$ferry_pid"
wait_exit "$ferry_pid"
[ "$exit_status" -eq 0 ] || fail "SIGTERM ended ferry with $exit_status"
[ ! -e ferry.log ] || fail "ferry.log written at SIGTERM"
if grep -q "changed" first.err; then fail "asked about saving at SIGTERM"; fi

# SIGINT, with a write in progress: the partial file stays, the port is free.
start_ferry third
exec 3<> /dev/udp/127.0.0.1/69
printf '\0\2partial.bin\0octet\0' >&3
wait_for third.out "requested to write file partial.bin"
kill -INT "$ferry_pid"
wait_exit "$ferry_pid"
exec 3>&-
[ "$exit_status" -eq 0 ] || fail "SIGINT ended ferry with $exit_status"
[ -e partial.bin ] || fail "the file of the interrupted write is missing"
start_ferry fourth
kill -TERM "$ferry_pid"
wait_exit "$ferry_pid"
[ "$exit_status" -eq 0 ] || fail "a restarted ferry did not end cleanly"
echo "PASS"
