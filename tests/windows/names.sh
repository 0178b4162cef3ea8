#!/usr/bin/env bash
# Under Wine: varnolt-cli downloads a forum whose forum and album names are Chinese, reserved on
# Windows (CON, aux.txt) or end in dots and blanks; what landed is then read from the Linux
# side, where each name must be the right Unicode one (UTF-8 here), not a code-page guess.
# Usage: names.sh WINE-RUN VARNOLT-FORUM.EXE VARNOLT-CLI.EXE
set -euo pipefail
wine_run=$1 forum_exe=$2 cli_exe=$3
source "$(dirname "$0")/standin.sh"

cat >"$work/forum.json" <<'JSON'
{"forums": [{"name": "猫咪", "albumsPerPage": 5, "albums": [
  {"id": "a1", "title": "橘猫的日常", "pictureCount": 2},
  {"id": "a2", "title": "CON", "pictureCount": 1},
  {"id": "a3", "title": "aux.txt", "pictureCount": 1},
  {"id": "a4", "title": "旅行. . ", "pictureCount": 1},
  {"id": "a5", "title": "丂字 ", "pictureCount": 1}]}]}
JSON
start_forum "$wine_run" "$forum_exe" --description "Z:$work/forum.json"

"$wine_run" "$cli_exe" --download 猫咪 --output "Z:$work/out" >"$work/lines"
expected="1.txt
猫咪/.varnolt.db
猫咪/CON_/1.jpg
猫咪/aux_.txt/1.jpg
猫咪/旅行/1.jpg
猫咪/橘猫的日常/1.jpg
猫咪/橘猫的日常/2.jpg
猫咪/丂字/1.jpg"
found=$(cd "$work/out" && find . -type f ! -name '.varnolt.db-*' | sed 's|^\./||' | LC_ALL=C.UTF-8 sort)
if [ "$found" != "$(LC_ALL=C.UTF-8 sort <<<"$expected")" ]; then
    echo "names.sh: expected these files:"; echo "$expected"; echo "found:"; echo "$found"
    exit 1
fi
# The lines name the same folders, in the platform's form.
grep -q '^下载结束：保存成功6张，失败0张，保存在：Z:\\' "$work/lines" ||
    { echo "names.sh: no closing line:"; cat "$work/lines"; exit 1; }
echo "names.sh: 6 pictures under the right names"
