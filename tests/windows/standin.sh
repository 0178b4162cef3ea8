# Sourced by the Windows checks: starts varnolt-forum.exe under Wine (arguments: the emulator,
# the program, then the forum's own) and exports the two roots it prints. $work must be set;
# the forum is ended with the calling script.
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
