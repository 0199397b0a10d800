#!/bin/sh
# Builds vx414 and starts it. With no reader attached (neither VX414_LINK set nor
# /dev/vx414 present) it first starts the reader emulator with a sample report and points
# the program at it, so that LINK USB shows codes.
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build
# Only what runs here: the program, its data file and help, and the reader emulator. The
# tools, tests and benchmarks are built by tools/build-and-test.sh.
cmake --build build -j"$(nproc)" --target vx414 vx414_data_file vx414_help_file vx414-reader-emulator

emulator_pid=""
cleanup() { [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null || true; }
trap cleanup EXIT INT TERM

if [ -z "${VX414_LINK:-}" ] && [ ! -e /dev/vx414 ]; then
  log=$(mktemp)
  build/vx414-reader-emulator --pending P0300 P0171 --stored C1234 U0100 P0420 >"$log" &
  emulator_pid=$!
  for _ in $(seq 50); do [ -s "$log" ] && break; sleep 0.1; done
  VX414_LINK=$(head -n 1 "$log")
  export VX414_LINK
  echo "No reader attached: using the reader emulator on $VX414_LINK"
fi
build/vx414
