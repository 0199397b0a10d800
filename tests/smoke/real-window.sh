#!/bin/bash
# Real-window smoke test: the program on a real X server (Xvfb, Qt's xcb platform, not
# offscreen) against the reader emulator. It clicks LINK USB with xdotool, waits for the
# read, takes a screenshot and checks that
#   - the program is still running,
#   - the result table's pixels show one line of definition text per code sent, on the
#     table's white cells (and the same check finds no rows on the screenshot taken
#     before the click, so it can tell an empty window from a filled one),
#   - the window's caption says that the codes come from the reader emulator,
#   - the emulator received the request byte 0x55 and the end byte 0xAA,
#   - the program printed nothing on stderr but known harmless lines;
# then clicks EXIT and checks that the program ends with status 0.
#
# Usage: tests/smoke/real-window.sh [--no-click] [DIR]
#   DIR holds vx414 and vx414-reader-emulator (default build; also an installed bin/).
#   --no-click leaves LINK USB alone: the run must then fail (a check of the checks).
# Needs xvfb, xauth, xdotool and imagemagick (tools/install-deps.sh --test).
set -uo pipefail

click=1
if [ "${1:-}" = "--no-click" ]; then
  click=0
  shift
fi
dir=$(cd "${1:-build}" && pwd) || exit 2

if [ -z "${VX414_SMOKE_DISPLAY:-}" ]; then
  # Start a private X server and run again inside it.
  export VX414_SMOKE_DISPLAY=1
  args=("$dir")
  [ "$click" = 1 ] || args=(--no-click "$dir")
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "${args[@]}"
fi

# The codes the emulator reports: one result row each, then the total line. Each has a
# generic definition, so each row shows one (a code of a make's own range, C1xxx, has none).
pending=(P0300 P0171)
stored=(C0035 U0100 P0420)
codes=$(( ${#pending[@]} + ${#stored[@]} ))
# The result table's area, in window pixels: all of it, and its Definition column below
# the header row.
table_area="787x395+33+165"
definition_column="500x390+316+167"
# Known harmless lines the program may print on stderr (extended regular expressions).
harmless='^QStandardPaths: XDG_RUNTIME_DIR not set'

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
emulator_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "real-window: FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "real-window: ok: $*"; }

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

# text_lines SHOT GEOMETRY: the number of separate runs of pixel rows that hold dark
# (text) pixels in GEOMETRY of SHOT; light grid lines do not count.
text_lines() {
  local height=${2#*x}
  height=${height%%+*}
  # Each pixel row averaged to one pixel: not black when the row holds any dark pixel.
  convert "$1" -crop "$2" +repage -colorspace Gray -threshold 50% -negate \
    -scale "1x${height}!" -compress none pgm:- 2>/dev/null |
    tr -s ' \n' '\n' | awk 'NR > 4 && NF { ink = ($1 > 0); if (ink && !prev) runs++; prev = ink }
                            END { print runs + 0 }'
}

# white_share SHOT GEOMETRY: the share of pure white pixels (the grid's cells).
white_share() {
  convert "$1" -crop "$2" +repage -fill black +opaque white \
    -format '%[fx:round(100 * mean)]' info: 2>/dev/null
}

# rows_shown SHOT: true when the result table shows a text line per code on white cells.
rows_shown() {
  local lines white
  lines=$(text_lines "$1" "$definition_column")
  white=$(white_share "$1" "$table_area")
  echo "real-window: $(basename "$1"): $lines definition lines, ${white}% white in the table's area"
  [ "$lines" -eq "$codes" ] && [ "$white" -ge 50 ]
}

emulator_log="$work/emulator.log"
"$dir/vx414-reader-emulator" --pending "${pending[@]}" --stored "${stored[@]}" >"$emulator_log" 2>&1 &
emulator_pid=$!
if ! wait_for 5 test -s "$emulator_log"; then
  echo "real-window: FAIL: the emulator printed no terminal"
  exit 1
fi
VX414_LINK=$(head -n 1 "$emulator_log")
export VX414_LINK

program_err="$work/vx414.err"
QT_QPA_PLATFORM=xcb "$dir/vx414" 2>"$program_err" &
program_pid=$!

find_window() { window=$(xdotool search --onlyvisible --name '^CODE Definition' 2>/dev/null | head -n 1); [ -n "$window" ]; }
window=""
if ! wait_for 20 find_window; then
  echo "real-window: FAIL: no window \"CODE Definition\" appeared"
  cat "$program_err"
  exit 1
fi
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y, WIDTH, HEIGHT
ok "window $window at $X,$Y, ${WIDTH}x${HEIGHT}"

# shot NAME: the window's part of the screen, as $work/NAME.png.
shot() {
  import -window root "$work/root.png" &&
    convert "$work/root.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$work/$1.png"
}

sleep 0.5
shot before
if rows_shown "$work/before.png"; then
  fail "the table check finds rows before LINK USB was clicked"
fi

# LINK USB's centre, in window pixels.
if [ "$click" = 1 ]; then
  xdotool mousemove --window "$window" 84 52 click 1
fi
# The read ends with the end byte 0xAA to the reader; then the table is filled.
received() { grep -qx "received $1" "$emulator_log"; }
wait_for 10 received 0xAA
sleep 1
shot after

if kill -0 "$program_pid" 2>/dev/null; then ok "the program is running"; else fail "the program has ended"; fi
if rows_shown "$work/after.png"; then
  ok "the result table shows $codes rows"
else
  fail "the result table does not show $codes rows"
  if [ -n "${VX414_SMOKE_KEEP:-}" ]; then cp "$work/after.png" "$VX414_SMOKE_KEEP"; fi
fi
# The codes are the emulator's, and the caption must say so.
title=$(xdotool getwindowname "$window")
if [ "$title" = "CODE Definition — demo: reader emulator" ]; then
  ok "the caption says \"$title\""
else
  fail "the caption says \"$title\", not that the codes come from the reader emulator"
fi
for byte in 0x55 0xAA; do
  if received "$byte"; then ok "the emulator received $byte"; else fail "the emulator did not receive $byte"; fi
done

# EXIT's centre: the program writes the end byte once more and ends.
xdotool mousemove --window "$window" 532 52 click 1
if wait_for 5 eval '! kill -0 "$program_pid" 2>/dev/null'; then
  wait "$program_pid"
  status=$?
  program_pid=""
  if [ "$status" -eq 0 ]; then ok "EXIT ended the program with status 0"; else fail "EXIT ended the program with status $status"; fi
else
  fail "the program is still running after EXIT"
fi

unexpected=$(grep -Ev "$harmless" "$program_err" || true)
if [ -z "$unexpected" ]; then
  ok "nothing unexpected on stderr"
else
  fail "the program printed on stderr:"
  echo "$unexpected" | sed 's/^/    /'
fi

if [ "$failures" -eq 0 ]; then
  echo "real-window: PASS"
  exit 0
fi
echo "real-window: FAILED ($failures checks)"
exit 1
