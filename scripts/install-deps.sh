#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing ferry
# need. Packages already present are not fetched again.
set -euo pipefail

packages=(
    build-essential cmake ninja-build g++ clang clang-14 libclang-rt-14-dev clang-format
    libgtest-dev libgmock-dev libbenchmark-dev
    libglib2.0-dev pkg-config qt6-base-dev libx11-dev xvfb xauth x11-apps imagemagick xdotool
    tftp-hpa atftp curl busybox iproute2 util-linux procps
    poppler-utils locales
    cups printer-driver-cups-pdf fonts-liberation
    debhelper dpkg-dev lintian desktop-file-utils appstream libcap2-bin adduser systemd
    man-db groff-base netbase
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# A second locale lets the log tests check that time stamps stay English
# whatever locale the user runs under.
locale -a | grep -qix 'de_DE.utf8' || $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
