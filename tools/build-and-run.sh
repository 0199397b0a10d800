#!/bin/sh
# Builds vx414 and starts it as an installed program starts: the reader or the ELM327
# adapter attached (or named by VX414_LINK) is what LINK USB reads.
#
#   tools/build-and-run.sh --demo   first starts the reader emulator with a sample report
#                                   and points the program at it, so that LINK USB shows
#                                   codes with no reader and no car; the window's title
#                                   then ends in "demo: reader emulator"
#
# Any other arguments go to the program (vx414 --help lists them).
set -eu
cd "$(dirname "$0")/.."
demo=0
if [ "${1:-}" = "--demo" ]; then
  demo=1
  shift
fi
tools/install-deps.sh
cmake -S . -B build
# Only what runs here: the program, its data file and help, and the reader emulator. The
# tools, tests and benchmarks are built by tools/build-and-test.sh.
cmake --build build -j"$(nproc)" --target vx414 vx414_data_file vx414_help_file vx414-reader-emulator

if [ "$demo" = 0 ]; then
  exec build/vx414 "$@"
fi

emulator_pid=""
cleanup() { [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null || true; }
trap cleanup EXIT INT TERM
log=$(mktemp)
build/vx414-reader-emulator --pending P0300 P0171 --stored C1234 U0100 P0420 >"$log" &
emulator_pid=$!
for _ in $(seq 50); do [ -s "$log" ] && break; sleep 0.1; done
link=$(head -n 1 "$log")
rm -f "$log"
if [ -z "$link" ]; then
  echo "build-and-run: the reader emulator did not start" >&2
  exit 1
fi
echo "Demo: the codes come from the reader emulator on $link, not from a car"
# --link wins over a VX414_LINK in the environment: the demo never reads a real device.
build/vx414 --link "$link" "$@"
