#!/usr/bin/env bash
# Builds the .deb from the build folder given and checks what dpkg-deb reads of it: the fields,
# each dependency named once, and the files a desktop needs.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() { echo "deb_package: $*" >&2; exit 1; }
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" 2>&1 ||
    { cat "$out/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$out"/*.deb)

[ "$(dpkg-deb -f "$deb" Package)" = varnolt ] || fail "Package is not varnolt"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture"
depends=$(dpkg-deb -f "$deb" Depends)
twice=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | sort | uniq -d)
[ -z "$twice" ] || fail "named more than once in Depends: $twice ($depends)"
for needed in libcurl4 libsqlite3-0 libqt6widgets6 qt6-qpa-plugins; do
    grep -qw -- "$needed" <<<"$depends" || fail "Depends lacks $needed ($depends)"
done

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }')
for file in bin/varnolt share/applications/varnolt.desktop share/man/man1/varnolt.1.gz \
    share/doc/varnolt/copyright share/icons/hicolor/scalable/apps/varnolt.svg \
    share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/varnolt.png; do
    grep -qxF "./usr/$file" <<<"$contents" || fail "the package lacks /usr/$file"
done
