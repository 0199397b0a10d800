#!/bin/bash
# The README's commands, run as a reader pastes them. Every indented block that follows a
# line "<!-- tests/smoke/readme.sh runs this -->" runs in its own bash (-e) from the top of
# the clone and must end with status 0. A block marked "...; the window stays open" starts
# the program, which a person closes: it must still be running 10 seconds after the
# program has started (a bad link name, or a race with an emulator, ends it at once); it is
# then ended with everything it started. Then every option each program's --help names
# must appear in its manual page under data/linux/.
#
# Usage: tests/smoke/readme.sh [README]   (the program's window is offscreen unless
# QT_QPA_PLATFORM says otherwise). The blocks build into build/, as the README says.
set -uo pipefail
cd "$(dirname "$0")/../.."
readme=$(realpath "${1:-README.md}")

work=$(mktemp -d)
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$work/runtime}"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export MANPAGER=cat PAGER=cat
session=""
cleanup() {
  [ -n "$session" ] && kill -- -"$session" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() { echo "readme: FAIL: $*"; failures=$((failures + 1)); }

# Each marked block into $work/N.plain or $work/N.window; a block ends at its first line that
# is not indented by four spaces, blank lines included.
awk -v dir="$work" '
  /^<!-- tests\/smoke\/readme\.sh runs this/ {
    n++; kind = ($0 ~ /the window stays open/) ? "window" : "plain"; want = 1; started = 0; next
  }
  want && /^    / { started = 1; print substr($0, 5) > (dir "/" n "." kind); next }
  want && started { want = 0 }
' "$readme"
blocks=$(cd "$work" && ls | grep -E '^[0-9]+\.(plain|window)$' | sort -n)
[ -n "$blocks" ] || fail "no marked blocks in $readme"

# Waits up to SECONDS for COMMAND... to succeed, polling every half second.
wait_for() {
  local halves=$(( $1 * 2 ))
  shift
  for _ in $(seq "$halves"); do
    "$@" && return 0
    sleep 0.5
  done
  return 1
}

for block in $blocks; do
  echo "== readme: block $block"
  sed 's/^/   | /' "$work/$block"
  log="$work/$block.log"
  if [[ $block == *.plain ]]; then
    # Builds come first in some blocks: up to half an hour on a slow machine.
    timeout 1800 bash -e "$work/$block" >"$log" 2>&1
    status=$?
    sed 's/^/   > /' "$log" | tail -n 40
    [ "$status" = 0 ] || fail "block $block ended with status $status"
    continue
  fi
  # The block in a session of its own, so that all it starts can be ended together.
  setsid bash -e "$work/$block" >"$log" 2>&1 &
  session=$!
  running() { pgrep -s "$session" -x vx414 >/dev/null; }
  ended() { ! kill -0 "$session" 2>/dev/null; }
  if ! wait_for 1800 bash -c "pgrep -s $session -x vx414 >/dev/null || ! kill -0 $session 2>/dev/null"; then
    fail "block $block: the program did not start within half an hour"
  elif ended; then
    wait "$session"
    fail "block $block ended (status $?) before the program was up"
  else
    sleep 10
    if ! running; then
      fail "block $block: the program ended within 10 seconds of its start"
    else
      echo "   the program is running; ending it"
    fi
  fi
  kill -- -"$session" 2>/dev/null
  wait "$session" 2>/dev/null
  session=""
  sed 's/^/   > /' "$log" | tail -n 20
done

# Every option a program's --help names is in its manual page, so that neither falls
# behind the other unnoticed. The programs are the ones the blocks built.
echo "== readme: every option of each --help in its manual page"
for program in vx414 vx414-read vx414-reader-emulator vx414-elm327-emulator; do
  page="data/linux/$program.1"
  if [ ! -x "build/$program" ]; then
    fail "build/$program was not built by the README's commands"
    continue
  fi
  # The page's source with roff's escapes undone: "\-\-no\-header" reads "--no-header".
  text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
  options=$("build/$program" --help 2>&1 | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u)
  [ -n "$options" ] || fail "build/$program --help names no option"
  missing=""
  for option in $options; do
    grep -qF -- "$option" <<<"$text" || missing="$missing $option"
  done
  if [ -n "$missing" ]; then
    fail "$page lacks options its program's --help names:$missing"
  else
    echo "   $page: all $(wc -w <<<"$options") options of --help"
  fi
done

[ "$failures" = 0 ] && echo "readme: PASS"
exit $((failures > 0))
