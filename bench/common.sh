# What bench/run and bench/against share. Both set $build (the build whose stand-in serves) and
# $work (a scratch folder holding the forum's targets), and clean up $forum_pid on exit.
forum_pid=""
start_forum() { # arguments for varnolt-forum
    "$build/forum/varnolt-forum" "$@" >"$work/roots" &
    forum_pid=$!
    for _ in $(seq 100); do grep -q VARNOLT_PICTURE_ROOT "$work/roots" && break; sleep 0.1; done
    export $(grep '^VARNOLT_' "$work/roots")
}
stop_forum() { kill "$forum_pid"; wait "$forum_pid" 2>/dev/null || true; forum_pid=""; }
figure() { sed -n "s/.*figures:.* $1=\([^ ]*\).*/\1/p" "$2"; }
# curl's configuration for the targets of a forum: the same files as a run writes, one folder
# per album, pictures numbered in it.
curl_config() { # output folder
    awk -v root="${VARNOLT_FORUM_ROOT%/}" -v out="$1" '{
        print "url = \"" root $0 "\""
        if ($0 ~ /\.jpg$/) {
            n = split($0, part, "/"); split(part[n], name, "[-.]")
            print "output = \"" out "/" name[1] "/" name[2] ".jpg\""
        } else print "output = \"/dev/null\""
    }' "$work/targets"
}
