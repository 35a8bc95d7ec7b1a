#!/usr/bin/env bash
# `cmake --install` puts ferry where Linux desktop programs live: the
# program, its menu entry and software-centre metadata under one id, its
# icon in the hicolor theme at every size, the help pages, the manual page
# and the systemd unit.
set -euo pipefail
build=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
make_scratch
prefix="$scratch/prefix"
cmake --install "$build" --prefix "$prefix" > "$scratch/install.log" ||
    fail "cmake --install failed: $(cat "$scratch/install.log")"

app=org.ferry_tftp.ferry
for f in bin/ferry share/applications/$app.desktop share/metainfo/$app.metainfo.xml \
    share/man/man1/ferry.1 lib/systemd/system/ferry.service; do
    [ -s "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/bin/ferry" ] || fail "bin/ferry is not executable"
grep -qx 'Exec=ferry' "$prefix/share/applications/$app.desktop" || fail "desktop entry lacks Exec"
grep -qx 'Icon=ferry' "$prefix/share/applications/$app.desktop" || fail "desktop entry lacks Icon"
grep -qF "<launchable type=\"desktop-id\">$app.desktop</launchable>" \
    "$prefix/share/metainfo/$app.metainfo.xml" || fail "the metainfo does not launch $app.desktop"
if [ -d "$(dirname "$0")/../../resources/help" ]; then
    [ -s "$prefix/share/ferry/help/index.html" ] || fail "the help pages were not installed"
fi
for size in 32 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x$size/apps/ferry.png"
    [ "$(identify -format '%wx%h' "$icon")" = "${size}x$size" ] ||
        fail "the ${size}x$size icon is missing or of another size"
done
# The page carries the project's version, and man formats it without a
# warning.
version=$("$prefix/bin/ferry" --version | cut -d' ' -f2)
grep -q "^\.TH FERRY 1 .*\"ferry $version\"" "$prefix/share/man/man1/ferry.1" ||
    fail "the manual page is not that of ferry $version"
warnings=$(groff -man -ww -z "$prefix/share/man/man1/ferry.1" 2>&1)
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
echo "PASS"
