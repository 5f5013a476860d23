#!/bin/sh
# Installs what Pagewick needs to build, run and test on Debian 12, and to
# check and package its desktop files (launcher, metadata, manual page,
# translation template, Debian package).
# Run as root (or through sudo). Packages already present are skipped.
set -eu
packages="build-essential cmake pkg-config qt6-base-dev libgl-dev libcurl4-openssl-dev
libenchant-2-dev hunspell-en-us python3 python3-pyftpdlib python3-feedparser python3-openssl curl xvfb xauth openbox locales
clang-format qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-x11 openssh-server openssh-client
libqt6svg6 qt6-image-formats-plugins librsvg2-bin qt6-l10n-tools desktop-file-utils appstream man-db groff-base dpkg-dev"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
if [ -n "$missing" ]; then
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi
# The tests check dates and times in the en_US locale.
if ! locale -a 2>/dev/null | grep -qi '^en_US\.utf8$'; then
    $SUDO sed -i 's/^# *en_US.UTF-8 UTF-8/en_US.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
fi
