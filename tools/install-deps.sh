#!/bin/sh
# Installs the Debian 12 packages vx414 needs; does nothing when all of them are present.
#
#   tools/install-deps.sh          what building and running the program need
#   tools/install-deps.sh --test   and what the tests, the benchmarks, the sanitizer and
#                                  fuzzer builds and the package checks need
#
# The help compiler is the heaviest part of the first set: chmcmd, the only compiler of
# .chm files in Debian, comes in fp-utils, which depends on fpc-source (the Free Pascal
# sources, about 206 MiB). See README.md.
set -eu

# Build and run: the compiler and CMake, Qt 6, the code database the data file is built
# from, the help compiler, the font the window is laid out for, the icon renderer, and
# what the README's own commands use (the manual pages, cpack's dependency scan).
PACKAGES="cmake g++ make pkg-config git ca-certificates
qt6-base-dev qt6-base-dev-tools qt6-serialport-dev libgl-dev
libchm-dev fp-utils scantool fonts-liberation fontconfig
librsvg2-bin dpkg-dev man-db"

# Tests: Google Test and Benchmark; clang for the fuzzers and the sanitizers' runtime; an
# X server and tools to drive and read a real window; the package checks; the glossary
# check and the accessibility test (Python, AT-SPI on a D-Bus session).
TEST_PACKAGES="libgtest-dev libgmock-dev libbenchmark-dev
clang libclang-rt-14-dev
xvfb xauth xdotool imagemagick poppler-utils
desktop-file-utils appstream lintian
python3 python3-gi dbus-daemon at-spi2-core gir1.2-atspi-2.0"

case "${1:-}" in
  "") ;;
  --test) PACKAGES="$PACKAGES $TEST_PACKAGES" ;;
  *) echo "Usage: tools/install-deps.sh [--test]" >&2; exit 2 ;;
esac

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
# Recommends are left out: fp-utils alone would bring the whole Free Pascal compiler.
# shellcheck disable=SC2086
$SUDO apt-get install -y --no-install-recommends $missing
