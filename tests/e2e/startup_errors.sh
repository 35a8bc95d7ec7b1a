#!/usr/bin/env bash
# The real program, without a display, meets the two start-up failures of a
# Linux desktop in a private namespace: a normal user may not open port 69,
# and the port is already taken. Each ends with exit code 1 and writes the
# box to standard error: the sockets error as its first line, then one
# sentence saying what to do. The commands that sentence names are run as
# they stand and must work: after either of the two remedies the same user
# serves on port 69, and the command that looks for the port's holder names
# it. A tftp service entry for another port is named in its place.
set -euo pipefail
ferry=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
id nobody > /dev/null 2>&1 || { echo "SKIP: no user nobody"; exit 77; }
command -v setcap > /dev/null || { echo "SKIP: setcap is not installed"; exit 77; }
enter_namespace "$@"
make_scratch
cd "$scratch"

# A copy the normal user may run, reached through a link: the message must
# name the file itself, since a capability set on a link has no effect.
chmod 755 "$scratch"
mkdir -m 755 bin served
mkdir -m 700 home
chown nobody: home
cp "$ferry" bin/ferry
chmod 755 bin/ferry
ln -s bin/ferry ferry-link
program="$scratch/bin/ferry"
printf 'served\n' > served/served.txt
chmod 644 served/served.txt

# As USER (root, or any other through setpriv), in served/, without a
# display, through the link; exec so that the caller's job is ferry itself.
as_user() {
    local user=$1; shift
    cd "$scratch/served"
    if [ "$user" = root ]; then
        exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$scratch/runtime" \
            XDG_CONFIG_HOME="$scratch/config" "$@"
    fi
    # Qt wants a runtime folder of the user's own.
    exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$scratch/home" \
        XDG_RUNTIME_DIR="$scratch/home" XDG_CONFIG_HOME="$scratch/home" \
        setpriv --reuid="$user" --regid="$(id -gn "$user")" --init-groups --inh-caps=-all "$@"
}

# run_as USER NAME: ferry until it ends; output in NAME.out and NAME.err,
# its status in $exit_status.
run_as() {
    exit_status=0
    (as_user "$1" timeout 60 "$scratch/ferry-link") > "$2.out" 2> "$2.err" || exit_status=$?
}

# serve_as USER NAME: the same in the background, until it listens.
serve_as() {
    (as_user "$1" "$scratch/ferry-link") > "$2.out" 2> "$2.err" &
    served_pid=$!
    started_pids="${started_pids:-} $served_pid"
    wait_for "$2.out" "TFTP Daemon started using Winsock Version 1.1"
}

stop_serving() {
    kill -TERM "$served_pid"
    wait_exit "$served_pid"
    [ "$exit_status" -eq 0 ] || fail "SIGTERM ended ferry with $exit_status"
}

# expect_box NAME FIRST SECOND: exit code 1 and exactly these two lines.
expect_box() {
    [ "$exit_status" -eq 1 ] || fail "$1: ended with $exit_status, not 1"
    [ "$(sed -n 1p "$1.err")" = "$2" ] || fail "$1: first line reads: $(sed -n 1p "$1.err")"
    [ "$(sed -n 2p "$1.err")" = "$3" ] || fail "$1: second line reads: $(sed -n 2p "$1.err")"
    [ "$(wc -l < "$1.err")" -eq 2 ] || fail "$1: more on standard error: $(cat "$1.err")"
}

# A new namespace starts with the kernel's default, but say it plainly.
sysctl -q net.ipv4.ip_unprivileged_port_start=1024

# ---- a normal user on port 69 ----
run_as nobody denied
expect_box denied "ferry: Windows Sockets error 10013" \
    "On Linux only a privileged program may open UDP port 69, like every port below 1024: sudo setcap cap_net_bind_service=+ep $program gives this program that privilege, or sudo sysctl net.ipv4.ip_unprivileged_port_start=69 gives it to every program."

# Each remedy, as the sentence spells it (we are root already), lets the
# same user serve.
remedy() { # the command between $1 and $2 in the sentence
    sed -n 2p denied.err | sed "s/.*$1 \(.*\) $2.*/\1/"
}
setcap_command=$(remedy ': sudo' 'gives this program')
[ "$setcap_command" = "setcap cap_net_bind_service=+ep $program" ] ||
    fail "no setcap command in the sentence: $setcap_command"
$setcap_command
serve_as nobody with-capability
tftp -m binary 127.0.0.1 -c get served.txt got.txt
cmp served/served.txt got.txt || fail "fetch from the program with the capability failed"
stop_serving
setcap -r "$program"

sysctl_command=$(remedy 'or sudo' 'gives it to every')
[ "$sysctl_command" = "sysctl net.ipv4.ip_unprivileged_port_start=69" ] ||
    fail "no sysctl command in the sentence: $sysctl_command"
$sysctl_command > /dev/null
serve_as nobody with-sysctl

# ---- port 69 already taken, here by the ferry just started ----
run_as root taken
expect_box taken "ferry: Windows Sockets error 10048" \
    "UDP port 69 is already in use, probably by another TFTP server or a second ferry; sudo ss -ulpn 'sport = :69' shows which program holds it."
ss -ulpn 'sport = :69' | grep -q "pid=$served_pid," ||
    fail "the command in the sentence does not name the holder: $(ss -ulpn 'sport = :69')"
stop_serving
sysctl -q net.ipv4.ip_unprivileged_port_start=1024

# ---- the tftp service entry names another port ----
printf 'tftp\t\t6969/udp\n' > services
exit_status=0
unshare -m "$BASH" -c '
    mount --bind services /etc/services
    holder=$1; shift
    cd served
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$holder/runtime" \
        XDG_CONFIG_HOME="$holder/config" "$holder/ferry-link" > ../holder.out 2>&1 &
    pid=$!
    for _ in $(seq 1 600); do
        grep -q "TFTP Daemon started" ../holder.out && break
        sleep 0.1
    done
    status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$holder/runtime" \
        XDG_CONFIG_HOME="$holder/config" timeout 60 "$holder/ferry-link" \
        > ../other-port.out 2> ../other-port.err || status=$?
    kill -TERM $pid
    wait $pid || true
    exit $status
' sh "$scratch" || exit_status=$?
grep -q "TFTP Daemon started" holder.out || fail "ferry did not start on port 6969: $(cat holder.out)"
expect_box other-port "ferry: Windows Sockets error 10048" \
    "UDP port 6969 is already in use, probably by another TFTP server or a second ferry; sudo ss -ulpn 'sport = :6969' shows which program holds it."
echo "PASS"
