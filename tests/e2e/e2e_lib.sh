# Shared by the end-to-end tests: a private network namespace with loopback
# up, a scratch folder, and waiting for text to appear in a file.

# Any failing command names itself, so a failure in CI says where it was.
trap 'echo "FAIL: ${BASH_SOURCE[0]##*/}:$LINENO: $BASH_COMMAND exited with $?" >&2' ERR

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Re-runs the calling script inside a new network namespace, or skips.
enter_namespace() {
    if [ -n "${FERRY_E2E_IN_NAMESPACE:-}" ]; then
        ip link set lo up || fail "cannot bring loopback up"
        return 0
    fi
    if [ "$(id -u)" -ne 0 ]; then
        echo "SKIP: needs root for a private network namespace (unshare -n)"
        exit 77
    fi
    if ! unshare -n true 2>/dev/null; then
        echo "SKIP: unshare -n is not available here"
        exit 77
    fi
    FERRY_E2E_IN_NAMESPACE=1 exec unshare -n "$BASH" "$0" "$@"
}

make_scratch() {
    scratch=$(mktemp -d /tmp/ferry-e2e.XXXXXX)
    mkdir -m 700 "$scratch/runtime" "$scratch/config"
    trap 'cleanup' EXIT
}

cleanup() {
    for pid in ${started_pids:-}; do
        { kill "$pid" && wait "$pid"; } 2>/dev/null || true
    done
    rm -rf "$scratch"
}

# wait_for FILE TEXT: polls until TEXT is in FILE; fails after a minute,
# which only a broken program needs.
wait_for() {
    local i
    for i in $(seq 1 600); do
        grep -qF -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "--- $1:" >&2
    cat "$1" >&2 || true
    fail "\"$2\" never appeared in $1"
}

# wait_exit PID: waits for the process (a job of this shell) and leaves its
# exit status in $exit_status.
wait_exit() {
    exit_status=0
    wait "$1" || exit_status=$?
}
