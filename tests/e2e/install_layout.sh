#!/usr/bin/env bash
# `cmake --install` puts ferry where Linux desktop programs live: the
# program, its menu entry, its icon in the hicolor theme and the help
# pages.
set -euo pipefail
build=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
make_scratch
prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" > "$scratch/install.log" ||
    fail "cmake --install failed: $(cat "$scratch/install.log")"

for f in bin/ferry share/applications/ferry.desktop \
    share/icons/hicolor/32x32/apps/ferry.png share/icons/hicolor/64x64/apps/ferry.png; do
    [ -s "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/bin/ferry" ] || fail "bin/ferry is not executable"
grep -qx 'Exec=ferry' "$prefix/share/applications/ferry.desktop" || fail "desktop entry lacks Exec"
grep -qx 'Icon=ferry' "$prefix/share/applications/ferry.desktop" || fail "desktop entry lacks Icon"
if [ -d "$(dirname "$0")/../../resources/help" ]; then
    [ -s "$prefix/share/ferry/help/index.html" ] || fail "the help pages were not installed"
fi
[ "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/64x64/apps/ferry.png")" = 64x64 ] ||
    fail "the 64x64 icon is not 64x64"
echo "PASS"
