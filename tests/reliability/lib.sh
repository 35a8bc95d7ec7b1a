# Shared by the reliability scripts: enter a private network and mount
# namespace, start and stop the real ferry binary there, and read its log.
# Sourced, not run. Every wait is bounded, so a fault fails a test instead of
# hanging it.

set -uo pipefail

REL_SKIP=77
: "${FERRY_BIN:?FERRY_BIN names the ferry binary}"
: "${RELIABILITY_TOOLS:?RELIABILITY_TOOLS names the folder of the helper programs}"
# The scripts change directory; the paths must not depend on where they began.
FERRY_BIN=$(realpath "$FERRY_BIN")
RELIABILITY_TOOLS=$(realpath "$RELIABILITY_TOOLS")

# A log entry's stamp, "Mon, 07 Dec 26 05:05:09", and the two spaces after it.
STAMP='[A-Z][a-z][a-z], [0-9][0-9] [A-Z][a-z][a-z] [0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]  '

# Failures are counted in a file of the scratch tree, so that checks made in
# subshells count too.
fail()
{
    echo "FAIL: $*" >&2
    [ -n "${REL_FAILURES:-}" ] || exit 1
    echo "$*" >> "$REL_FAILURES"
}

note()
{
    echo "# $*"
}

# Re-runs the calling script inside its own network and mount namespace with
# loopback up. Not root, or no namespaces here: the test is skipped.
rel_enter_namespace()
{
    if [ "${REL_IN_NAMESPACE:-0}" = 1 ]; then
        ip link set lo up || exit 1
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: needs root for a private network namespace and port 69"
        exit $REL_SKIP
    fi
    if ! command -v unshare > /dev/null || ! unshare -n -m --propagation private true 2> /dev/null; then
        echo "SKIP: unshare -n -m is not available here"
        exit $REL_SKIP
    fi
    REL_IN_NAMESPACE=1 exec unshare -n -m --propagation private bash "$0" "$@"
}

# A scratch tree on a tmpfs that lives and dies with the namespace, so
# nothing is left behind and strict access times can be checked.
rel_make_scratch()
{
    REL_SCRATCH=$(mktemp -d /tmp/ferry-rel.XXXXXX)
    mount -t tmpfs -o "size=${1:-512m},strictatime,mode=0755" tmpfs "$REL_SCRATCH" || exit 1
    mkdir -p "$REL_SCRATCH/runtime" "$REL_SCRATCH/config" "$REL_SCRATCH/logs"
    REL_FAILURES=$REL_SCRATCH/logs/failures
    : > "$REL_FAILURES"
    chmod 700 "$REL_SCRATCH/runtime"
    trap rel_cleanup EXIT
}

# Ends what the test started and is still running (ferry, and any helper
# whose id is in REL_PIDS), killing what does not end within 5 s.
rel_cleanup()
{
    local pid i
    for pid in ${FERRY_PID:-} ${REL_PIDS:-}; do
        kill -TERM "$pid" 2> /dev/null || continue
        for ((i = 0; i < 50; i++)); do
            kill -0 "$pid" 2> /dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2> /dev/null
        wait "$pid" 2> /dev/null
    done
    cd /
    umount -l "$REL_SCRATCH" 2> /dev/null
    rmdir "$REL_SCRATCH" 2> /dev/null
}

# rel_write_ini DIR [AccessMode] [RestrictDirectory] [DiagnosticMode]
rel_write_ini()
{
    printf '[FERRY]\r\nDefaultDirectory=\r\nRestrictDirectory=%s\r\nAccessMode=%s\r\nDiagnosticMode=%s\r\n' \
        "${3:-}" "${2:-ReadWrite}" "${4:-DiagnosticOff}" > "$1/ferry.ini"
}

# rel_start_ferry DIR [command prefix...]: starts ferry headless in DIR, with
# its log on FERRY_LOG, and waits for its start-up line.
rel_start_ferry()
{
    local dir=$1
    shift
    FERRY_LOG=$(mktemp "$REL_SCRATCH/logs/ferry.XXXXXX")
    FERRY_ERR=$FERRY_LOG.err
    (
        cd "$dir" || exit 1
        unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
        export XDG_RUNTIME_DIR=$REL_SCRATCH/runtime XDG_CONFIG_HOME=$REL_SCRATCH/config
        exec "$@" "$FERRY_BIN" > "$FERRY_LOG" 2> "$FERRY_ERR"
    ) &
    FERRY_PID=$!
    if ! rel_wait_log 'TFTP Daemon started using Winsock Version 1.1' 20; then
        echo "ferry did not start; stderr:" >&2
        cat "$FERRY_ERR" >&2
        exit 1
    fi
}

# Ends ferry the orderly way and checks that it exits with 0.
rel_stop_ferry()
{
    [ -n "${FERRY_PID:-}" ] || return 0
    kill -TERM "$FERRY_PID"
    local i
    for ((i = 0; i < 200; i++)); do
        kill -0 "$FERRY_PID" 2> /dev/null || break
        sleep 0.1
    done
    if kill -0 "$FERRY_PID" 2> /dev/null; then
        fail "ferry did not end within 20 s of SIGTERM"
        kill -KILL "$FERRY_PID"
    fi
    local status=0
    wait "$FERRY_PID" || status=$?
    [ "$status" -eq 0 ] || fail "ferry exited with $status after SIGTERM"
    FERRY_PID=
}

# The log with stamps and line ends taken off, one entry line per line.
rel_log()
{
    sed -e 's/\r$//' -e "s/^$STAMP//" "$FERRY_LOG"
}

# rel_wait_log TEXT SECONDS: waits until the log holds the fixed text.
rel_wait_log()
{
    local text=$1 tenths=$(($2 * 10)) i
    for ((i = 0; i < tenths; i++)); do
        grep -qF -- "$text" "$FERRY_LOG" 2> /dev/null && return 0
        sleep 0.1
    done
    return 1
}

# rel_wait_count TEXT N SECONDS: waits until TEXT occurs on N lines.
rel_wait_count()
{
    local text=$1 want=$2 tenths=$(($3 * 10)) i
    for ((i = 0; i < tenths; i++)); do
        [ "$(grep -cF -- "$text" "$FERRY_LOG")" -ge "$want" ] && return 0
        sleep 0.1
    done
    return 1
}

# Every entry must begin with a stamp; a line of text between entries only
# follows an entry that spans lines (a peer's ERROR) or is empty.
rel_check_stamps()
{
    local bad
    bad=$(sed -e 's/\r$//' "$FERRY_LOG" | grep -v "^$STAMP" | grep -v '^$' | grep -v '^   error code ' | head -3)
    [ -z "$bad" ] || fail "log lines without a stamp: $bad"
}

# rel_udp_counter NAME: a UDP counter of this namespace, e.g. RcvbufErrors,
# the datagrams dropped because a socket's receive buffer was full.
rel_udp_counter()
{
    awk -v name="$1" '/^Udp:/ { if (!seen) { for (i = 2; i <= NF; i++) col[$i] = i; seen = 1; next }
        print $col[name]; exit }' /proc/net/snmp
}

rel_finish()
{
    local count
    count=$(wc -l < "$REL_FAILURES")
    if [ "$count" -gt 0 ]; then
        echo "$count check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
    exit 0
}
