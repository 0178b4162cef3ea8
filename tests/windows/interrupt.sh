#!/usr/bin/env bash
# Under Wine: Ctrl-C (SIGINT, which Wine hands to the program as the console's Ctrl-C) ends a
# run of varnolt-cli at once with status 130, every saved picture whole, no .part left and the
# record holding what was saved: an update then skips exactly the pictures said saved.
# Usage: interrupt.sh WINE-RUN VARNOLT-FORUM.EXE VARNOLT-CLI.EXE
set -euo pipefail
wine_run=$1 forum_exe=$2 cli_exe=$3
source "$(dirname "$0")/standin.sh"

start_forum "$wine_run" "$forum_exe" --delay 200
"$wine_run" "$cli_exe" --download 猫咪 --output "Z:$work/out" --transfers 1 >"$work/lines" &
run=$!
for _ in $(seq 200); do
    [ "$(grep -c '下载成功' "$work/lines")" -ge 3 ] && break
    sleep 0.1
done
kill -INT "$run"
status=0
wait "$run" || status=$?
[ "$status" -eq 130 ] || fail "exit status $status after Ctrl-C, not 130"
[ -z "$(find "$work/out" -name '*.part')" ] || fail "a .part is left: $(find "$work/out" -name '*.part')"
saved=$(grep -c '下载成功' "$work/lines")

"$wine_run" "$cli_exe" --download 猫咪 --output "Z:$work/out" --update --albums 1 >"$work/again" ||
    fail "the update failed: $(tail -3 "$work/again")"
skipped=$(grep -c '已存在，跳过！' "$work/again" || true)
[ "$skipped" -eq "$saved" ] || fail "$saved pictures said saved, but the update skipped $skipped"
echo "interrupt.sh: ended with 130 after $saved pictures, all of them in the record"
