#!/usr/bin/env bash
# Where the real program listens, on port 69 of a private namespace: by
# default on every IPv4 address and on no IPv6 one; with ListenAddress=::
# on both, logging an IPv4 peer dotted and an IPv6 peer compressed; with one
# address, there alone; and a value it cannot use ends it with code 1 and
# the reason on standard error.
set -euo pipefail
ferry=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
enter_namespace "$@"
make_scratch
cd "$scratch"
head -c 70001 /dev/urandom > odd.bin
mkdir got

# run_ferry NAME LISTENADDRESS: starts ferry with that setting.
run_ferry() {
    printf '[FERRY]\r\nAccessMode=ReadWrite\r\nListenAddress=%s\r\n' "$2" > ferry.ini
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config" \
        "$ferry" > "$1.out" 2> "$1.err" &
    ferry_pid=$!
    started_pids="${started_pids:-} $ferry_pid"
}

stop_ferry() {
    kill -TERM "$ferry_pid"
    wait_exit "$ferry_pid"
    [ "$exit_status" -eq 0 ] || fail "SIGTERM ended ferry with $exit_status"
}

# fetch HOST: a real client fetches odd.bin from HOST; fails when it cannot.
fetch() {
    rm -f got/odd.bin
    curl -sS -g --tftp-no-options --max-time 3 -o got/odd.bin "tftp://$1/odd.bin" 2> /dev/null &&
        cmp -s odd.bin got/odd.bin
}

# The UDP sockets bound to port 69, as "address:port".
listening() {
    ss -Hlun 'sport = :69' | awk '{print $4}' | sort | tr '\n' ' '
}

run_ferry default ""
wait_for default.out "TFTP Daemon started using Winsock Version 1.1"
[ "$(listening)" = "0.0.0.0:69 " ] || fail "by default ferry listens on $(listening)"
fetch 127.0.0.1 || fail "no IPv4 fetch by default"
if fetch '[::1]'; then fail "the default served IPv6"; fi
if grep -q 'Listening on' default.out; then fail "the default log names where it listens"; fi
stop_ferry

run_ferry dual ::
wait_for dual.out "Listening on every IPv4 and IPv6 address, port 69"
[ "$(listening)" = "*:69 " ] || fail "with :: ferry listens on $(listening)"
tftp -m binary ::1 -c get odd.bin got/hpa6.bin
cmp odd.bin got/hpa6.bin || fail "tftp-hpa fetched odd.bin over IPv6 wrongly"
tftp -m binary 127.0.0.1 -c put odd.bin up4.bin
cmp odd.bin up4.bin || fail "tftp-hpa put over IPv4 arrived wrongly"
wait_for dual.out "Received 70001 bytes"
grep -q "  ::1 requested to read file odd.bin in format octet" dual.out ||
    fail "no compressed IPv6 request line"
grep -q "  Sent 70001 bytes in .* to ::1" dual.out || fail "no IPv6 completion line"
grep -q "  Received 70001 bytes in .* from 127.0.0.1" dual.out ||
    fail "IPv4 peer not shown dotted"
if grep -q "ffff" dual.out; then fail "an IPv4 peer was logged as IPv4-mapped"; fi
stop_ferry

run_ferry one 127.0.0.2
wait_for one.out "Listening on 127.0.0.2, port 69"
fetch 127.0.0.2 || fail "no fetch from the chosen address"
if fetch 127.0.0.1; then fail "another IPv4 address was served"; fi
if fetch '[::1]'; then fail "IPv6 was served"; fi
stop_ferry

# Values it cannot use: no serving, exit code 1, the reason on stderr.
while IFS='|' read -r value reason; do
    run_ferry bad "$value"
    wait_exit "$ferry_pid"
    [ "$exit_status" -eq 1 ] || fail "ListenAddress=$value ended with $exit_status, not 1"
    expected="ferry: Cannot listen on \"$value\" (ListenAddress in ferry.ini): $reason."
    [ "$(head -n 1 bad.err)" = "$expected" ] || fail "ListenAddress=$value said: $(cat bad.err)"
    grep -qx "Leave ListenAddress empty to listen on every IPv4 address, or set it to :: for every IPv4 and IPv6 address." bad.err ||
        fail "no advice after the reason for $value"
done << 'CASES'
192.0.2.7|this machine has no such address
tftp.example.org|it is not an IPv4 or IPv6 address
fe80::1|a link-local address needs its interface after a %, as in fe80::1%eth0
fe80::1%eth9|this machine has no network interface of the name after the %
CASES
echo "PASS"
