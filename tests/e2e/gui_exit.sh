#!/usr/bin/env bash
# The real program with a window on a virtual X display: File > Exit asks
# whether to save the changed log; No ends it without writing ferry.log,
# Yes writes the log exactly as shown, with CR LF line ends. Both end with
# exit code 0 and release port 69 for the next run.
set -euo pipefail
ferry=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
for tool in Xvfb xdotool tftp; do
    command -v "$tool" > /dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
enter_namespace "$@"
make_scratch
cd "$scratch"
printf 'served\n' > served.txt

# A display number nobody uses, and an X server of our own on it.
for n in $(seq $((100 + $$ % 800)) 999); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
display=":$n"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > xvfb.log 2>&1 &
xvfb_pid=$!
started_pids="$xvfb_pid"
for i in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    sleep 0.1
done
kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat xvfb.log)"
export DISPLAY="$display"

run_and_exit() { # $1: the key that answers the question
    env -u QT_QPA_PLATFORM XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config" \
        "$ferry" > ferry.out 2> ferry.err &
    ferry_pid=$!
    started_pids="$started_pids $ferry_pid"
    local window
    window=$(xdotool search --sync --name "TFTP Daemon   - ferry.log" | head -n 1)
    tftp -m binary 127.0.0.1 -c get served.txt got.txt
    cmp served.txt got.txt || fail "fetch through the windowed program failed"
    # No window manager: give the window the keyboard ourselves.
    # File > Exit by keyboard. A slow machine may not have the menu open
    # when "x" arrives, so try again until the question shows.
    local box="" attempt
    for attempt in $(seq 1 50); do
        xdotool windowfocus --sync "$window"
        xdotool key --clearmodifiers alt+f
        sleep 0.2
        xdotool key x
        sleep 0.2
        box=$(xdotool search --name '^  TFTP Daemon  $' | head -n 1 || true)
        [ -n "$box" ] && break
        xdotool key Escape
    done
    [ -n "$box" ] || fail "File > Exit never asked about the log"
    xdotool windowfocus --sync "$box"
    xdotool key "$1"
    wait_exit "$ferry_pid"
    [ "$exit_status" -eq 0 ] || fail "ferry ended with $exit_status after answering $1"
}

run_and_exit n
[ ! -e ferry.log ] || fail "answering No wrote ferry.log"

run_and_exit y
[ -s ferry.log ] || fail "answering Yes wrote no ferry.log"
head -c 200 ferry.log | grep -q $'TFTP Daemon started using Winsock Version 1.1\r$' ||
    fail "ferry.log does not start with the start-up line and CR LF"
grep -q $'requested to read file served.txt in format octet\r$' ferry.log ||
    fail "ferry.log lacks the request line"
if tr -d '\r' < ferry.log | cmp -s - ferry.log; then fail "ferry.log has no CR characters"; fi
if sed 's/\r$//' ferry.log | grep -q $'\r'; then fail "ferry.log has a CR not before LF"; fi
echo "PASS"
