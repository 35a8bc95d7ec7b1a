#!/usr/bin/env bash
# Builds the Debian package from this checkout, installs it on this machine
# with apt-get, checks it as an administrator would (the version, a file
# fetched from the installed program headless in a private network
# namespace, lintian and the validators of its files) and purges it again,
# leaving the machine as it was. Needs root, like apt-get. With
# FERRY_PACKAGE_OUT=DIR the built packages are kept in DIR.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
    echo "FAIL: package check: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || fail "needs root to install and remove the package"
if dpkg-query -W -f='${Status}' ferry 2> /dev/null | grep -q ' installed$'; then
    fail "a ferry package is already installed here; not touching it"
fi

version=$(sed -n '1s/^ferry (\([^)]*\)).*/\1/p' debian/changelog)
project_version=$(sed -n 's/^project(ferry VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$version" = "$project_version" ] ||
    fail "debian/changelog says $version, CMakeLists.txt says $project_version"
deb="ferry_${version}_$(dpkg --print-architecture).deb"

work=$(mktemp -d /tmp/ferry-package.XXXXXX)
installed=0
ferry_pid=""
had_srv_tftp=0
[ -e /srv/tftp ] && had_srv_tftp=1
cleanup() {
    [ -z "$ferry_pid" ] || kill "$ferry_pid" 2> /dev/null || true
    if [ "$installed" = 1 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq ferry > /dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "-- building $deb"
started=$(date +%s)
# A copy of the tracked files: dpkg-buildpackage writes beside the source
# tree and into it, and neither should touch the checkout.
mkdir "$work/ferry-$version"
git ls-files -z --cached --others --exclude-standard |
    tar --null -T - -cf - | tar -C "$work/ferry-$version" -xf -
(cd "$work/ferry-$version" && DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -b -us -uc) > "$work/build.log" 2>&1 || {
    tail -n 40 "$work/build.log" >&2
    fail "dpkg-buildpackage failed"
}
[ -s "$work/$deb" ] || fail "dpkg-buildpackage made no $deb"
echo "   built in $(($(date +%s) - started)) s"
if [ -n "${FERRY_PACKAGE_OUT:-}" ]; then
    mkdir -p "$FERRY_PACKAGE_OUT"
    cp "$work"/*.deb "$work/build.log" "$FERRY_PACKAGE_OUT"/
fi

echo "-- lintian"
lintian --fail-on error "$work/$deb" | tee "$work/lintian.log" || fail "lintian reports errors"

echo "-- installing"
stamp="$work/stamp"
touch "$stamp"
installed=1
(cd "$work" && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb") \
    > "$work/install.log" 2>&1 || {
    cat "$work/install.log" >&2
    fail "apt-get install failed"
}
[ "$(/usr/bin/ferry --version)" = "ferry $version" ] ||
    fail "/usr/bin/ferry --version says: $(/usr/bin/ferry --version)"
getent passwd _ferry > /dev/null || fail "no system user _ferry"
[ -d /srv/tftp ] || fail "/srv/tftp was not made"
systemctl is-enabled ferry.service > /dev/null 2>&1 && fail "the package enabled ferry.service"

echo "-- validators of the installed files"
app=org.ferry_tftp.ferry
check_quiet() { # NAME COMMAND...: the command must succeed and print nothing
    local name=$1 out
    shift
    out=$("$@" 2>&1) || fail "$name: $out"
    [ -z "$out" ] || fail "$name: $out"
}
check_quiet desktop-file-validate desktop-file-validate /usr/share/applications/$app.desktop
appstreamcli validate --no-net --explain /usr/share/metainfo/$app.metainfo.xml > "$work/as.log" 2>&1 ||
    { cat "$work/as.log" >&2; fail "appstreamcli validate"; }
grep -qv '^✔ Validation was successful.$' "$work/as.log" && { cat "$work/as.log" >&2; fail "appstreamcli has remarks"; }
check_quiet "systemd-analyze verify" systemd-analyze verify /lib/systemd/system/ferry.service
check_quiet "groff -ww" sh -c 'zcat /usr/share/man/man1/ferry.1.gz | groff -man -ww -z'
for size in 32 64 128 256; do
    [ "$(identify -format '%wx%h' /usr/share/icons/hicolor/${size}x$size/apps/ferry.png)" = \
        "${size}x$size" ] || fail "the ${size}x$size icon is missing or of another size"
done
[ -s /usr/share/ferry/help/index.html ] || fail "no help pages in /usr/share/ferry/help"

# A file system that can hold capabilities must have them on the program.
probe=$(mktemp /usr/bin/.ferry-capability-probe.XXXXXX)
if setcap cap_net_bind_service=+ep "$probe" 2> /dev/null; then
    getcap /usr/bin/ferry | grep -q cap_net_bind_service ||
        fail "postinst did not give /usr/bin/ferry cap_net_bind_service"
    user=_ferry
else
    echo "   this file system holds no capabilities: the fetch below runs as root"
    user=root
fi
rm -f "$probe"

echo "-- fetching a file from the installed program as $user, headless, port 69"
served="$work/served"
mkdir -m 755 "$served" "$work/runtime"
chmod 755 "$work"
chown "$user" "$work/runtime"
chmod 700 "$work/runtime"
head -c 300000 /dev/urandom > "$served/image.bin"
chmod 644 "$served/image.bin"
printf '[FERRY]\nRestrictDirectory=%s\n' "$served" > "$served/ferry.ini"
# The unit's way of running it, by hand: no systemd runs this machine.
unshare -n bash -c '
    set -euo pipefail
    ip link set lo up
    cd "$1"
    env -i PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=/etc \
        XDG_RUNTIME_DIR="$2/runtime" \
        setpriv --reuid="$3" --regid="$3" --clear-groups /usr/bin/ferry > "$2/ferry.out" 2>&1 &
    pid=$!
    for i in $(seq 1 300); do
        grep -q "TFTP Daemon started" "$2/ferry.out" && break
        kill -0 "$pid" 2> /dev/null || break
        sleep 0.1
    done
    tftp -m binary 127.0.0.1 -c get image.bin "$2/got.bin" || true
    kill -TERM "$pid"
    wait "$pid"
' fetch "$served" "$work" "$user" || { cat "$work/ferry.out" >&2; fail "the installed program did not run"; }
cmp "$served/image.bin" "$work/got.bin" || { cat "$work/ferry.out" >&2; fail "the fetched file differs"; }
grep -q "requested to read file image.bin in format octet" "$work/ferry.out" ||
    fail "the log lacks the request: $(cat "$work/ferry.out")"

echo "-- purging"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq ferry > "$work/purge.log" 2>&1 || {
    cat "$work/purge.log" >&2
    fail "apt-get purge failed"
}
installed=0
dpkg-query -W -f='${Status}' ferry 2> /dev/null | grep -q ' installed$' && fail "still installed"
getent passwd _ferry > /dev/null && fail "the system user _ferry is left"
getent group _ferry > /dev/null && fail "the group _ferry is left"
if [ "$had_srv_tftp" = 0 ] && [ -e /srv/tftp ]; then fail "/srv/tftp is left"; fi
left=$(find /usr /etc /var/lib /srv /lib -xdev -newer "$stamp" -name '*ferry*' 2> /dev/null || true)
[ -z "$left" ] || fail "left behind: $left"
echo "   package built, installed, used and purged in $(($(date +%s) - started)) s"
