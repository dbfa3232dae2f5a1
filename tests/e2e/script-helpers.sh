# Helpers of the real-desktop test scripts; source it. The script sets $work (its folder,
# which holds the program's output in pingora.log) before a failure can be reported.

fail() {
    echo "FAIL: $*" >&2
    echo "--- program output" >&2
    tail -n 30 "$work/pingora.log" >&2
    exit 1
}

pass() { echo "ok: $*"; }

# Polls "$@" every 0.1 s for at most $1 seconds.
wait_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ $SECONDS -ge $deadline ] && return 1
        sleep 0.1
    done
}
