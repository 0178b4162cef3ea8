#!/usr/bin/env bash
# Under Wine: the installer installs silently into Program Files with a Start-menu entry and an
# uninstaller; the installed varnolt-cli saves into the user's Pictures\Varnolt; the
# uninstaller removes all of it again.
# Usage: installer.sh WINE-RUN SETUP.EXE VARNOLT-FORUM.EXE
set -euo pipefail
wine_run=$1 setup=$2 forum_exe=$3
source "$(dirname "$0")/standin.sh"
unix_path() { "$wine_run" winepath -u "$1" 2>/dev/null | tr -d '\r'; }

"$wine_run" "$setup" /S
installed=$(unix_path 'C:\Program Files\Varnolt')
for file in varnolt.exe varnolt-cli.exe Uninstall.exe copyright.txt; do
    [ -f "$installed/$file" ] || fail "no $file in $installed"
done
menu=$(unix_path 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Varnolt')
[ -f "$menu/Varnolt.lnk" ] || fail "no Start-menu entry in $menu"

start_forum "$wine_run" "$forum_exe"
"$wine_run" "$installed/varnolt-cli.exe" --download 猫咪 --albums 1 >"$work/lines" ||
    fail "the installed copy failed: $(cat "$work/lines")"
where=$(sed -n 's/^图片保存在：//p' "$work/lines" | tr -d '\r')
case "$where" in
*\\Pictures\\Varnolt) ;;
*) fail "an installed copy should save into Pictures\\Varnolt, not '$where'" ;;
esac
pictures=$(unix_path "$where")
[ -n "$(find "$pictures/猫咪" -name '*.jpg' -size +0)" ] || fail "no picture in $pictures/猫咪"
rm -rf "$pictures"

"$wine_run" "$installed/Uninstall.exe" /S
# The uninstaller goes on from a copy of itself in the temporary folder.
for _ in $(seq 100); do
    [ -e "$installed" ] || [ -e "$menu" ] || break
    sleep 0.2
done
[ ! -e "$installed" ] || fail "left behind: $(find "$installed")"
[ ! -e "$menu" ] || fail "the Start-menu entry is left behind"
echo "installer.sh: installed, saved into Pictures\\Varnolt, uninstalled cleanly"
