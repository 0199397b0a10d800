#!/bin/bash
# Accessibility smoke test: the program in a real window (Xvfb, xcb) with the AT-SPI bus
# of a private D-Bus session, read as a screen reader reads it (accessibility.py):
#   1. against the reader emulator with codes: every showing control has a name, LINK
#      USB is pressed through its accessible action, the result table's cells read each
#      code with its kind, and the total line;
#   2. against a silent reader: the failure's message box, its text and its OK button;
#   3. the windows: the main window and the help window are frames, the about box a
#      dialog, each named by its title.
#
# Usage: tests/smoke/accessibility.sh [DIR]   DIR holds vx414 and vx414-reader-emulator
# (default build). Needs xvfb, xauth, dbus, at-spi2-core, gir1.2-atspi-2.0 and python3-gi
# (tools/install-deps.sh --test).
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=$(cd "${1:-build}" && pwd) || exit 2

if [ -z "${VX414_SMOKE_SESSION:-}" ]; then
  export VX414_SMOKE_SESSION=1
  # The session's bus daemons chatter on stderr; their lines are dropped.
  xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- "$0" "$dir" 2>&1 |
    grep -v -e '^dbus-daemon\[' -e '^SpiRegistry daemon is running'
  exit "${PIPESTATUS[0]}"
fi

work=$(mktemp -d)
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Qt's AT-SPI bridge, without a desktop that would switch it on.
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_QPA_PLATFORM=xcb
# Debian's python3, which has the GObject bindings.
python=/usr/bin/python3
emulator_pid=""
program_pid=""
stop() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null
  wait 2>/dev/null
  program_pid=""
  emulator_pid=""
}
trap 'stop; rm -rf "$work"' EXIT

# run CHECK EMULATOR-ARGS...: the emulator, the program against it, the checker.
run() {
  local check=$1
  shift
  "$dir/vx414-reader-emulator" "$@" >"$work/emulator.log" 2>&1 &
  emulator_pid=$!
  for _ in $(seq 50); do [ -s "$work/emulator.log" ] && break; sleep 0.1; done
  VX414_LINK=$(head -n 1 "$work/emulator.log") "$dir/vx414" 2>"$work/vx414.err" &
  program_pid=$!
  $python "$here/accessibility.py" $check
  local status=$?
  stop
  return $status
}

status=0
run "read P0300:Pending P0171:Pending C0035:Stored U0100:Stored P0420:Stored" \
  --pending P0300 P0171 --stored C0035 U0100 P0420 || status=1
run failure --fault silent || status=1
run windows || status=1

if [ "$status" -eq 0 ]; then echo "accessibility: PASS"; else echo "accessibility: FAILED"; fi
exit $status
