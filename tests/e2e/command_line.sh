#!/usr/bin/env bash
# The command line of the real program: --help and --version answer on
# standard output before anything starts (no display, settings or socket),
# a command line it does not understand is refused with exit code 2, and
# Qt's own options reach Qt in the spelling it reads.
set -euo pipefail
ferry=$(realpath "$1")
version=$2
source "$(dirname "$0")/e2e_lib.sh"
enter_namespace "$@"
make_scratch
cd "$scratch"
mkdir served
cd served

# No display and a settings folder of its own: a program that started its
# window or server before answering would print log lines or create files.
run() {
    exit_status=0
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config" \
        timeout 20 "$ferry" "$@" > "$scratch/out" 2> "$scratch/err" || exit_status=$?
}

for option in --help -h; do
    run "$option"
    [ "$exit_status" -eq 0 ] || fail "$option ended with $exit_status"
    [ ! -s "$scratch/err" ] || fail "$option wrote to standard error: $(cat "$scratch/err")"
    [ "$(head -n 1 "$scratch/out")" = "Usage: ferry [OPTION]..." ] ||
        fail "$option starts with: $(head -n 1 "$scratch/out")"
    for text in 'TFTP server' 'ferry.ini in the working directory' \
        '$XDG_CONFIG_HOME/ferry/ferry.ini' '~/.config/ferry/ferry.ini' \
        "headless on Qt's offscreen platform" 'Exit status:' \
        '  2    the command line was not understood'; do
        grep -qF -- "$text" "$scratch/out" || fail "$option does not mention \"$text\""
    done
done
if grep -q 'TFTP Daemon' "$scratch/out"; then fail "--help started the server"; fi

for option in --version -v; do
    run "$option"
    [ "$exit_status" -eq 0 ] || fail "$option ended with $exit_status"
    [ "$(cat "$scratch/out")" = "ferry $version" ] || fail "$option printed: $(cat "$scratch/out")"
    [ ! -s "$scratch/err" ] || fail "$option wrote to standard error"
done

# Each refused command line and the first line of the complaint.
while IFS='|' read -r arguments complaint; do
    # shellcheck disable=SC2086 # the words of the table are the arguments
    run $arguments
    [ "$exit_status" -eq 2 ] || fail "'$arguments' ended with $exit_status, not 2"
    [ ! -s "$scratch/out" ] || fail "'$arguments' wrote to standard output"
    [ "$(sed -n 1p "$scratch/err")" = "ferry: $complaint" ] ||
        fail "'$arguments' complained: $(cat "$scratch/err")"
    [ "$(sed -n 2p "$scratch/err")" = "Try 'ferry --help' for more information." ] ||
        fail "'$arguments' gave no hint: $(cat "$scratch/err")"
    [ "$(wc -l < "$scratch/err")" -eq 2 ] || fail "'$arguments' wrote more than two lines"
done <<'TABLE'
-x|unrecognised option '-x'
--bogus=1|unrecognised option '--bogus'
-hv|unrecognised option '-hv'
served.txt|unexpected argument 'served.txt'
--help extra|unexpected argument 'extra'
-- -h|unexpected argument '-h'
-platform|missing value after '-platform'
TABLE
left=$(find . "$scratch/config" -mindepth 1)
[ -z "$left" ] || fail "a command-line answer left files: $left"

# A display that does not exist: only if "--platform=offscreen" reaches Qt
# as "-platform offscreen" does the program start instead of failing.
printf 'served\n' > served.txt
DISPLAY=:nonexistent XDG_RUNTIME_DIR="$scratch/runtime" XDG_CONFIG_HOME="$scratch/config" \
    "$ferry" --platform=offscreen -style Fusion > "$scratch/qt.out" 2> "$scratch/qt.err" &
ferry_pid=$!
started_pids="$ferry_pid"
wait_for "$scratch/qt.out" "TFTP Daemon started using Winsock Version 1.1"
tftp -m binary 127.0.0.1 -c get served.txt "$scratch/got.txt"
cmp served.txt "$scratch/got.txt" || fail "fetch from the program started with Qt's options failed"
kill -TERM "$ferry_pid"
wait_exit "$ferry_pid"
[ "$exit_status" -eq 0 ] || fail "ferry started with Qt's options ended with $exit_status"
echo "PASS"
