#!/bin/sh
# Start-up to first paint and peak resident memory: the program's window (frmMain after
# Form_Load with the shipped data file) against the same window written plainly in Qt
# (bench/window/plain_window.h) and against an empty Qt Widgets window of the same size,
# each started RUNS times as a new process, offscreen, the kinds taking turns.
#
#   bench/startup.sh [BUILD_DIR] [RUNS]     (defaults: build, 21)
#
# Prints the medians: wall time of the whole process (start to exit right after the first
# paint), the time from main() to the first paint, and the peak resident memory; each
# for the program and its reference, with their ratio. Where valgrind is installed it
# first counts, with callgrind, the instructions from the start of the process to the
# window's map request (show()), for the program and the plain window.
set -eu

build=${1:-build}
runs=${2:-21}
harness=$build/bench/vx414-startup-harness
if [ ! -x "$harness" ]; then
  echo "startup.sh: $harness not built; run: cmake --build $build --target bench" >&2
  exit 1
fi

export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/xdg"
export XDG_RUNTIME_DIR="$work/xdg"

# The empty window takes the size the program's window has.
size=$("$harness" form | sed -n 's/.*size=\([0-9]*x[0-9]*\).*/\1/p')
[ -n "$size" ] || { echo "startup.sh: the program's window did not paint" >&2; exit 1; }

# One run: "<wall microseconds> <first paint microseconds> <peak rss kB>".
run() {
  start=$(date +%s%N)
  line=$("$harness" "$@")
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000 )) $(echo "$line" | sed -n 's/.*first_paint_us=\([0-9]*\) peak_rss_kb=\([0-9]*\).*/\1 \2/p')"
}

# Instructions to the map request: exact, so one run each.
count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "$harness" --at-map "$@" 2>&1 |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
if command -v valgrind >/dev/null 2>&1; then
  f=$(count form)
  p=$(count plain)
  awk -v f="$f" -v p="$p" 'BEGIN {
    r = f / p
    printf "%-40s %10.1f M   %10.1f M   %7.2f  %-8s %s\n", "instructions to the map request", f / 1e6, p / 1e6, r,
           "<= 1.2x", r <= 1.2 ? "met" : sprintf("missed by %.0f%%", (r / 1.2 - 1) * 100)
  }'
fi

i=0
while [ "$i" -lt "$runs" ]; do
  run form >>"$work/form"
  run plain >>"$work/plain"
  run empty "$size" >>"$work/empty"
  i=$((i + 1))
done

median() {  # column $1 of file $2
  cut -d' ' -f"$1" "$2" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

line() {  # label, column, unit divisor, unit, target ratio (0: none), reference
  f=$(median "$2" "$work/form")
  e=$(median "$2" "$work/$6")
  awk -v l="$1" -v f="$f" -v e="$e" -v d="$3" -v u="$4" -v t="$5" 'BEGIN {
    r = f / e; target = "-"; verdict = ""
    if (t > 0) { target = "<= " t "x"; verdict = r <= t ? "met" : sprintf("missed by %.0f%%", (r / t - 1) * 100) }
    printf "%-40s %10.2f %-3s %10.2f %-3s %7.2f  %-8s %s\n", l, f / d, u, e / d, u, r, target, verdict
  }'
}

printf '%-40s %14s %14s %7s  %s\n' "start-up: $runs runs each, medians" "program" "reference" "ratio" "target"
echo "against the plain window:"
line "process start to exit after first paint" 1 1000 ms 1.1 plain
line "main() to first paint" 2 1000 ms 0 plain
line "peak resident memory" 3 1024 MiB 1.2 plain
echo "against the empty window:"
line "process start to exit after first paint" 1 1000 ms 0 empty
line "main() to first paint" 2 1000 ms 0 empty
line "peak resident memory" 3 1024 MiB 0 empty
echo "(window $size pixels, offscreen)"
