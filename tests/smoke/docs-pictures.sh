#!/bin/bash
# The README's pictures, made afresh the way a user makes them: the program on a real X
# server (Xvfb) reads the reader emulator's sample report (the one `tools/build-and-run.sh
# --demo` serves), a screenshot of its window gives docs/read.png, and Ctrl+P with the
# print dialog's default (a PDF file, no printer being known) gives the printed page,
# rendered at 80 dots per inch as docs/print.png.
#
# Without --update it compares each fresh picture with the committed one and fails when
# more pixels differ (by more than 10 % of the colour range) than a small tolerance allows,
# so that a picture that no longer shows what the program shows cannot go unnoticed. The
# printed page's "Read on:" line holds the time of the read and is left out of the
# comparison.
#
# Usage: tests/smoke/docs-pictures.sh [--update] [DIR]
#   DIR holds vx414 with its data file and vx414-reader-emulator (default build).
#   --update writes the fresh pictures into docs/ instead.
#   VX414_DOCS_KEEP=FOLDER keeps the fresh pictures there.
# Needs xvfb, xauth, xdotool, imagemagick and poppler-utils (tools/install-deps.sh --test).
set -uo pipefail
cd "$(dirname "$0")/../.."

update=0
if [ "${1:-}" = "--update" ]; then
  update=1
  shift
fi
dir=$(cd "${1:-build}" && pwd) || exit 2

if [ -z "${VX414_DOCS_DISPLAY:-}" ]; then
  export VX414_DOCS_DISPLAY=1
  args=("$dir")
  [ "$update" = 1 ] && args=(--update "$dir")
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "${args[@]}"
fi

# The demo's report, as tools/build-and-run.sh --demo serves it.
pending=(P0300 P0171)
stored=(C1234 U0100 P0420)
# At most this many pixels of a picture may differ from the committed one (0.1 % of
# read.png, 0.08 % of print.png): a changed word is more, font hinting noise far less.
tolerance=500
# The printed page's "Read on:" line, at 80 dots per inch (WIDTHxHEIGHT+LEFT+TOP).
read_time_line="400x16+40+74"

work=$(mktemp -d)
emulator_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "docs-pictures: FAIL: $*"; exit 1; }

# wait_for SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds.
wait_for() {
  local tenths=$(( $1 * 10 ))
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# A user of its own: no folder remembered, the print dialog's PDF lands in this home, and
# no printer is known (the dialog's default is then a PDF file).
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/home/.config"
export XDG_STATE_HOME="$work/home/.local/state" XDG_DATA_HOME="$work/home/.local/share"
export CUPS_SERVER=/nonexistent/cups.sock
mkdir -p -m 700 "$HOME" "$XDG_RUNTIME_DIR"
unset VX414_LINK

"$dir/vx414-reader-emulator" --pending "${pending[@]}" --stored "${stored[@]}" >"$work/emulator.log" 2>&1 &
emulator_pid=$!
wait_for 5 test -s "$work/emulator.log" || fail "the emulator printed no terminal"
QT_QPA_PLATFORM=xcb "$dir/vx414" --link "$(head -n 1 "$work/emulator.log")" 2>"$work/vx414.err" &
program_pid=$!

find_window() { window=$(xdotool search --onlyvisible --name '^CODE Definition' 2>/dev/null | head -n 1); [ -n "$window" ]; }
window=""
wait_for 20 find_window || fail "no window \"CODE Definition\" appeared"
sleep 0.5
# LINK USB's centre, in window pixels; the read ends with the end byte to the reader.
xdotool mousemove --window "$window" 84 52 click 1
wait_for 10 grep -qx "received 0xAA" "$work/emulator.log" || fail "the read did not end"
# The pointer rests on the heading's empty blue, where it lights no button and no row.
xdotool mousemove --window "$window" 440 125
sleep 1
import -window "$window" "$work/read.png" || fail "no screenshot"

xdotool key --window "$window" ctrl+p
find_dialog() { xdotool search --onlyvisible --name '^Print$' >/dev/null 2>&1; }
wait_for 10 find_dialog || fail "no print dialog"
sleep 0.5
xdotool key Return
pdf="$HOME/VX-414 codes.pdf"
wait_for 10 test -s "$pdf" || fail "the print dialog's default wrote no $pdf"
sleep 0.5
pdftoppm -r 80 -png -singlefile -f 1 -l 1 "$pdf" "$work/print" || fail "pdftoppm could not render $pdf"

# differing COMMITTED FRESH [MASK]: the number of pixels that differ.
differing() {
  local a="$1" b="$2"
  if [ -n "${3:-}" ]; then
    convert "$1" -fill white -draw "rectangle $(geometry_box "$3")" "$work/a.png"
    convert "$2" -fill white -draw "rectangle $(geometry_box "$3")" "$work/b.png"
    a="$work/a.png" b="$work/b.png"
  fi
  compare -metric AE -fuzz 10% "$a" "$b" null: 2>&1
}
# geometry_box WxH+X+Y: the corners "X0,Y0 X1,Y1" for -draw.
geometry_box() {
  local w=${1%%x*} rest=${1#*x}
  local h=${rest%%+*} x y
  x=$(echo "$rest" | cut -d+ -f2)
  y=$(echo "$rest" | cut -d+ -f3)
  echo "$x,$y $((x + w - 1)),$((y + h - 1))"
}

if [ -n "${VX414_DOCS_KEEP:-}" ]; then
  mkdir -p "$VX414_DOCS_KEEP" && cp "$work/read.png" "$work/print.png" "$VX414_DOCS_KEEP"/
fi
if [ "$update" = 1 ]; then
  cp "$work/read.png" docs/read.png
  cp "$work/print.png" docs/print.png
  echo "docs-pictures: wrote docs/read.png ($(identify -format %wx%h docs/read.png)) and docs/print.png ($(identify -format %wx%h docs/print.png))"
  exit 0
fi

failures=0
for picture in read print; do
  mask=""
  [ "$picture" = print ] && mask="$read_time_line"
  fresh="$work/$picture.png"
  committed="docs/$picture.png"
  if [ "$(identify -format %wx%h "$fresh")" != "$(identify -format %wx%h "$committed")" ]; then
    echo "docs-pictures: FAIL: $committed is $(identify -format %wx%h "$committed"), a fresh one $(identify -format %wx%h "$fresh")"
    failures=$((failures + 1))
    continue
  fi
  count=$(differing "$committed" "$fresh" "$mask")
  count=${count%% *}
  if [[ "$count" =~ ^[0-9.e+]+$ ]] && awk -v n="$count" -v t="$tolerance" 'BEGIN { exit !(n <= t) }'; then
    echo "docs-pictures: ok: $committed: $count pixels differ from a fresh one (at most $tolerance)"
  else
    echo "docs-pictures: FAIL: $committed: $count pixels differ from a fresh one (at most $tolerance);" \
         "make it afresh with tests/smoke/docs-pictures.sh --update"
    failures=$((failures + 1))
  fi
done
[ "$failures" = 0 ] && echo "docs-pictures: PASS"
exit $((failures > 0))
