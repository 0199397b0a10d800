#!/bin/sh
# Builds vx414 and runs every test. Usage: tools/build-and-test.sh [build-dir] [extra cmake args...]
set -eu
cd "$(dirname "$0")/.."
tools/install-deps.sh --test
dir=${1:-build}
[ $# -gt 0 ] && shift
cmake -S . -B "$dir" "$@"
cmake --build "$dir" -j"$(nproc)"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
chmod 700 "$XDG_RUNTIME_DIR"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure
