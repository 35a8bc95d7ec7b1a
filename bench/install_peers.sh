#!/usr/bin/env bash
# Installs the TFTP servers that bench/run_bench.sh compares ferry with.
# tftpd-hpa and atftpd conflict as packages, so atftpd's package is unpacked
# into a folder of its own instead of being installed. No service is started.
set -euo pipefail
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# Keep the packages' services from starting on the host.
$sudo tee /usr/sbin/policy-rc.d.ferry > /dev/null <<'POLICY'
#!/bin/sh
exit 101
POLICY
$sudo chmod +x /usr/sbin/policy-rc.d.ferry
restore=""
if [ -e /usr/sbin/policy-rc.d ]; then
    $sudo mv /usr/sbin/policy-rc.d /usr/sbin/policy-rc.d.saved
    restore=1
fi
$sudo mv /usr/sbin/policy-rc.d.ferry /usr/sbin/policy-rc.d
$sudo apt-get install -y -qq --no-install-recommends tftpd-hpa dnsmasq-base libwrap0 \
    libpcre2-8-0 || true
$sudo rm -f /usr/sbin/policy-rc.d
[ -z "$restore" ] || $sudo mv /usr/sbin/policy-rc.d.saved /usr/sbin/policy-rc.d
# Listen-mode daemons may have been started by the package scripts anyway.
$sudo pkill -x in.tftpd 2> /dev/null || true

tmp=$(mktemp -d)
(cd "$tmp" && apt-get download atftpd)
$sudo mkdir -p /opt/ferry-peers/atftpd
$sudo dpkg-deb -x "$tmp"/atftpd_*.deb /opt/ferry-peers/atftpd
rm -rf "$tmp"
echo "peers installed: $(command -v in.tftpd) /opt/ferry-peers/atftpd/usr/sbin/atftpd $(command -v dnsmasq)"
