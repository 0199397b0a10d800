#!/bin/sh
# Installs the Debian 12 packages that building, running and testing vx414 need.
# Does nothing when all of them are present already.
set -eu

PACKAGES="cmake g++ make pkg-config git ca-certificates
qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
libgtest-dev libgmock-dev libbenchmark-dev
libchm-dev fp-utils scantool fonts-liberation fontconfig
clang libclang-rt-14-dev
xvfb xauth xdotool imagemagick
librsvg2-bin dpkg-dev desktop-file-utils appstream lintian man-db poppler-utils
dbus-daemon at-spi2-core gir1.2-atspi-2.0 python3 python3-gi"

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
