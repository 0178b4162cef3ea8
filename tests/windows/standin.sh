# Sourced by the Windows checks: a working folder $work removed at the end, fail(), and
# start_forum, which starts varnolt-forum.exe under Wine (arguments: the emulator, the program,
# then the forum's own) and exports the two roots it prints; the forum ends with the script.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "$(basename "$0"): $*" >&2
    exit 1
}

start_forum() {
    local wine_run=$1 forum_exe=$2
    shift 2
    "$wine_run" "$forum_exe" "$@" >"$work/roots" &
    local forum=$!
    trap "kill $forum 2>/dev/null; rm -rf '$work'" EXIT
    for _ in $(seq 100); do
        grep -q VARNOLT_PICTURE_ROOT "$work/roots" && break
        sleep 0.1
    done
    export $(grep '^VARNOLT_' "$work/roots" | tr -d '\r')
}
