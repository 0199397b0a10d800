#!/bin/bash
# Builds the Debian package in a build folder and checks it: the files it holds and
# where, its Depends, the desktop entry (desktop-file-validate), the AppStream metainfo
# (appstreamcli validate), the manual pages (man), the icons' sizes, lintian (errors
# fail, warnings are shown); then runs the real-window smoke test on the program as
# unpacked from the package, started through its link in usr/bin.
#
# Usage: tests/smoke/debian-package.sh [BUILD-DIR]   (default build; must be built)
set -uo pipefail
cd "$(dirname "$0")/../.."
build=$(cd "${1:-build}" && pwd) || exit 2

failures=0
fail() { echo "debian-package: FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "debian-package: ok: $*"; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb="$build/vx414_${version}_${arch}.deb"
rm -f "$deb"
if ! (cd "$build" && cpack -G DEB >"$work/cpack.log" 2>&1) || [ ! -f "$deb" ]; then
  cat "$work/cpack.log"
  echo "debian-package: FAIL: cpack wrote no $deb"
  exit 1
fi
ok "built $(basename "$deb")"

# The files, as dpkg-deb lists them: "./usr/..." and, for a link, "-> target".
dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' >"$work/files"
expected=(
  "./usr/bin/vx414 -> ../lib/vx414/vx414"
  ./usr/lib/vx414/vx414
  ./usr/lib/vx414/modules/libvx414-print.so
  ./usr/lib/vx414/VX-414.dis
  ./usr/lib/vx414/VX-414.chm
  ./usr/bin/vx414-reader-emulator
  ./usr/bin/vx414-elm327-emulator
  ./usr/bin/vx414-dis
  "./usr/bin/vx414-read -> ../lib/vx414/vx414-read"
  ./usr/lib/vx414/vx414-read
  ./usr/share/bash-completion/completions/vx414-read
  ./usr/share/applications/vx414.desktop
  ./usr/share/metainfo/io.github.vx414.vx414.metainfo.xml
  ./usr/share/icons/hicolor/scalable/apps/vx414.svg
  ./usr/share/man/man1/vx414.1.gz
  ./usr/share/man/man1/vx414-reader-emulator.1.gz
  ./usr/share/man/man1/vx414-elm327-emulator.1.gz
  ./usr/share/man/man1/vx414-dis.1.gz
  ./usr/share/man/man1/vx414-read.1.gz
  ./usr/lib/udev/rules.d/60-vx414.rules
  ./usr/share/doc/vx414/copyright
  ./usr/share/doc/vx414/changelog.gz
)
sizes=(16 32 48 64 128 256)
for size in "${sizes[@]}"; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/vx414.png")
done
missing=0
for file in "${expected[@]}"; do
  if ! grep -qxF -- "$file" "$work/files"; then
    fail "the package lacks $file"
    missing=1
  fi
done
[ "$missing" = 0 ] && ok "the package holds all ${#expected[@]} files in their places"

depends=$(dpkg-deb -f "$deb" Depends)
echo "debian-package: Depends: $depends"
for package in libqt6widgets6 libc6 qt6-qpa-plugins fonts-liberation libchm1; do
  if grep -qE "(^|, )$package( |,|$)" <<<"$depends"; then ok "depends on $package"; else fail "does not depend on $package"; fi
done
for field in Section Maintainer Description; do
  [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "no $field field"
done
# The description and the metainfo name every kind of link the program reads through.
description=$(dpkg-deb -f "$deb" Description)
metainfo_text=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/metainfo/io.github.vx414.vx414.metainfo.xml)
for link in "VX-414" "USB" "ELM327" "Bluetooth LE" "rfcomm" "Wi-Fi"; do
  grep -qF -- "$link" <<<"$description" && ok "the description names $link" || fail "the description does not name $link"
  grep -qF -- "$link" <<<"$metainfo_text" && ok "the metainfo names $link" || fail "the metainfo does not name $link"
done

tree="$work/tree"
dpkg-deb -x "$deb" "$tree"

echo "debian-package: desktop-file-validate:"
if desktop-file-validate "$tree/usr/share/applications/vx414.desktop"; then
  ok "desktop-file-validate"
else
  fail "desktop-file-validate"
fi

echo "debian-package: appstreamcli validate --no-net:"
if appstreamcli validate --no-net "$tree/usr/share/metainfo/io.github.vx414.vx414.metainfo.xml"; then
  ok "appstreamcli validate"
else
  fail "appstreamcli validate"
fi

for page in "$tree"/usr/share/man/man1/*.1.gz; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ -z "$warnings" ] && [ -n "$(MANWIDTH=80 man -l "$page" 2>/dev/null | grep -x 'NAME')" ]; then
    ok "man $(basename "$page")"
  else
    fail "man $(basename "$page"): ${warnings:-no NAME section}"
  fi
done

# man vx414 names every form of link that vx414 --help gives (without its optional parts).
help=$(QT_QPA_PLATFORM=offscreen "$tree/usr/lib/vx414/vx414" --help 2>&1)
manual=$(MANWIDTH=200 man -l "$tree/usr/share/man/man1/vx414.1.gz" 2>/dev/null)
forms=$(sed -n '/^LINK is one of:/,/^$/p' <<<"$help" | awk '/^  [^ ]/ {print $1}')
[ -n "$forms" ] || fail "vx414 --help lists no link forms"
for form in $forms; do
  prefix=${form%%[[?]*}
  prefix=${prefix%%AA:*}
  prefix=${prefix%%HOST*}
  if grep -qF -- "$prefix" <<<"$manual"; then ok "man vx414 names $prefix"; else fail "man vx414 does not name $prefix"; fi
done

for size in "${sizes[@]}"; do
  actual=$(identify -format '%wx%h' "$tree/usr/share/icons/hicolor/${size}x${size}/apps/vx414.png" 2>/dev/null)
  [ "$actual" = "${size}x${size}" ] || fail "the ${size}x${size} icon is ${actual:-unreadable}"
done

echo "debian-package: lintian:"
lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1
lintian_status=$?
grep -v 'running with root privileges' "$work/lintian.log"
if [ "$lintian_status" -eq 0 ]; then
  ok "lintian: no errors"
else
  fail "lintian reports errors"
fi

# The udev rule: no active rule makes a link (a generic bridge chip must not become
# /dev/vx414), and each usual ELM327 bridge gets uaccess and ModemManager's ignore flag.
rules="$tree/usr/lib/udev/rules.d/60-vx414.rules"
active=$(grep -v '^[[:space:]]*#' "$rules" | grep -v '^[[:space:]]*$')
if grep -q 'SYMLINK' <<<"$active"; then
  fail "the udev rule makes a link for some device"
else
  ok "the udev rule makes no link"
fi
for ids in 0403:6001 1a86:7523 067b:2303 10c4:ea60; do
  line=$(grep "ATTRS{idVendor}==\"${ids%%:*}\", ATTRS{idProduct}==\"${ids##*:}\"" <<<"$active")
  if grep -q 'TAG+="uaccess"' <<<"$line" && grep -q 'ENV{ID_MM_DEVICE_IGNORE}="1"' <<<"$line"; then
    ok "the udev rule opens $ids to the seat and keeps ModemManager off it"
  else
    fail "the udev rule lacks uaccess or ID_MM_DEVICE_IGNORE for $ids"
  fi
done

# vx414-read as installed, started through usr/bin/vx414-read: it finds the data file
# beside itself in usr/lib/vx414, and its bash completion offers the makes.
lookup=$(env -u VX414_LINK "$tree/usr/bin/vx414-read" --lookup P0300 2>&1)
if [[ $lookup == "Found  P0300  "* ]]; then
  ok "the unpacked vx414-read finds its data file"
else
  fail "the unpacked vx414-read: $lookup"
fi
# The completion asks the program it completes for the makes (its --help).
makes=$(bash -c 'source "$1"; COMP_WORDS=(vx414-read --make lan); COMP_CWORD=2; _vx414_read "$2" lan --make; printf "%s\n" "${COMPREPLY[@]}"' \
  _ "$tree/usr/share/bash-completion/completions/vx414-read" "$tree/usr/bin/vx414-read")
if [ "$makes" = "$(printf '%s\n' 'lancia\ lybra' 'land\ rover')" ]; then
  ok "the bash completion offers the makes"
else
  fail "the bash completion offers: $makes"
fi

# The program as installed, started through usr/bin/vx414: it must find its data file
# and help beside itself in usr/lib/vx414.
if tests/smoke/real-window.sh "$tree/usr/bin"; then
  ok "the unpacked program passes the real-window smoke test"
else
  fail "the unpacked program fails the real-window smoke test"
fi

if [ "$failures" -eq 0 ]; then
  echo "debian-package: PASS"
  exit 0
fi
echo "debian-package: FAILED ($failures checks)"
exit 1
