#!/bin/bash
# The rooms keep their doors (docs/architecture.md): what each folder's code may include,
# and every top-level folder named in the README's layout table and in the architecture page.
# Prints each breach and exits 1; prints "rooms: ok" and exits 0 when there is none.
set -uo pipefail
cd "$(dirname "$0")/.."

breaches=0
breach() {
    echo "rooms: $1" >&2
    breaches=$((breaches + 1))
}

# Files of the given folders (recursively, or only the folder itself with -maxdepth 1 in
# $depth) that include one of the patterns; tests left out with $code_only.
including() {
    local pattern=$1
    shift
    find "$@" ${depth:-} -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.in' \) |
        { if [ -n "${code_only:-}" ]; then grep -v -e '_test\.cpp$' -e '/testing/'; else cat; fi; } |
        sort | xargs -r grep -l -E "^#include \"($pattern)" || true
}

for f in $(depth="-maxdepth 1" including 'reader/elm327/|reader/vx414/' reader | grep -v '^reader/default_device_library'); do
    breach "$f: the seam includes a back-end (only default_device_library puts them together)"
done
for f in $(including 'report/|window/' reader definitions); do
    breach "$f: reader/ and definitions/ include neither report/ nor window/"
done
for f in $(including 'reader/elm327/|reader/vx414/|window/' report); do
    breach "$f: report/ includes the seam's types, never a back-end or the window"
done
for f in $(including 'reader/elm327/|reader/vx414/' window); do
    breach "$f: the window reaches a back-end through the seam only (tests: reader/testing/)"
done
for f in $(code_only=1 including 'reader/' definitions); do
    breach "$f: the data file's code knows nothing of the reader"
done
for f in $(code_only=1 including 'definitions/' reader); do
    breach "$f: the reader's code knows nothing of the data file"
done
for f in $(code_only=1 including 'tools/|tests/|bench/' reader report definitions window); do
    breach "$f: the program's code includes no tool, test or benchmark"
done
for f in $(find report -name '*.h' -o -name '*.cpp' | grep -v '_test\.cpp$' | sort | xargs -r grep -l '^#include <Q' || true); do
    breach "$f: report/ builds without Qt"
done

# Every folder at the top of the clone (those git knows, when it is a clone) is in the
# README's layout table and on the architecture page.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    layout=$(sed -n '/^## Layout/,/^## /p' README.md)
    for folder in $(git ls-files | grep / | cut -d/ -f1 | grep -v '^\.' | sort -u); do
        grep -q "\`$folder/" <<<"$layout" || breach "$folder/ is not in the README's layout table"
        grep -q "\`$folder/" docs/architecture.md || breach "$folder/ is not on docs/architecture.md"
    done
fi

if [ "$breaches" -gt 0 ]; then
    echo "rooms: $breaches breaches" >&2
    exit 1
fi
echo "rooms: ok"
