#!/bin/sh
# Every benchmark of the project, each figure beside its reference measured in the same
# run, with their ratio and the target; then the start-up against the plain and the empty window.
#
#   bench/run.sh [BUILD_DIR]        (default: build)
#
# Builds the `bench` target first (configuring BUILD_DIR if it is not yet). The machine is
# assumed shared and noisy: every figure is the median of VX414_BENCH_REPETITIONS runs
# (default 9; live data's of VX414_LIVE_BENCH_REPETITIONS, default 3), start-up that of
# VX414_STARTUP_RUNS process starts (default 21). Live data's figures are the time of one
# round of all the values followed (its target: 100 ms is 10 rounds a second); a figure
# without a reference (-) stands alone.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
reps=${VX414_BENCH_REPETITIONS:-9}
startup_runs=${VX414_STARTUP_RUNS:-21}
live_reps=${VX414_LIVE_BENCH_REPETITIONS:-3}

[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target bench -j"${VX414_BUILD_JOBS:-2}" >/dev/null

export QT_QPA_PLATFORM=offscreen
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/xdg"
export XDG_RUNTIME_DIR="$work/xdg"

# "<name> <median real time in microseconds>" for every benchmark.
for area in reader elm327 definitions window live kept_reads; do
  binary=$build/bench/${area}_bench
  [ -x "$binary" ] || { echo "run.sh: $binary not built" >&2; exit 1; }
  echo "running $area benchmarks ..." >&2
  # Live data polls the timed emulator for seconds a case: fewer runs of it.
  area_reps=$reps
  [ "$area" = live ] && area_reps=$live_reps
  "$binary" --benchmark_repetitions="$area_reps" --benchmark_report_aggregates_only=true \
    --benchmark_format=json 2>"$work/$area.log" >"$work/$area.json" || { cat "$work/$area.log" >&2; exit 1; }
  # Google Benchmark's JSON has one key per line; each run ends with "}".
  # With one repetition there are no aggregates: the run itself is the median.
  single=0
  [ "$area_reps" -eq 1 ] && single=1
  awk -F': ' -v single="$single" '
    /"name":/ { name = $2; gsub(/[",]/, "", name) }
    /"aggregate_name":/ { aggregate = $2; gsub(/[",]/, "", aggregate) }
    /"real_time":/ { time = $2; gsub(/,/, "", time) }
    /"time_unit":/ { unit = $2; gsub(/[",]/, "", unit) }
    /^ *}/ {
      if (aggregate == "median" || (single && aggregate == "" && name != "" && time != "")) {
        sub(/_median$/, "", name); sub(/\/iterations:[0-9]+/, "", name); sub(/\/repeats:[0-9]+/, "", name)
        sub(/\/manual_time$/, "", name)
        f = (unit == "ns") ? 0.001 : (unit == "us") ? 1 : (unit == "ms") ? 1000 : 1000000
        print name, time * f
      }
      aggregate = ""; name = ""; time = ""
    }' "$work/$area.json" >>"$work/medians"
done

# figure | reference | target in microseconds (0: none) | target ratio (0: none)
cat >"$work/pairs" <<'PAIRS'
BM_ReceiveReport61Codes|BM_CopyReport61Codes|50|0
BM_IdleDeviceReadByte|BM_IdleBareRead|1000000|1.3
BM_Elm327RequestToReport|BM_Elm327Bare03|500000|0
vx414-read/can_adapter|vx414-read/ref:version|900000|0
LINK_USB_to_table/first_read|LINK_USB_to_table/ref:first_exchange|700000|0
LINK_USB_to_table/later_read|LINK_USB_to_table/ref:later_exchange|300000|0
GUI_thread/longest_gap_in_read|GUI_thread/ref:longest_gap_idle|50000|0
LiveData/longest_gap_charting_12|LiveData/ref:longest_gap_closed|16000|0
BM_LiveCan/6|-|100000|0
BM_LiveCan/12|-|0|0
BM_LiveSlowBus/pids:6/late_ms:40|-|500000|0
BM_LiveSlowBus/pids:6/late_ms:95|-|500000|0
BM_LiveJ1850Vpw/pids:6/late_ms:13|-|500000|0
BM_LiveJ1850Vpw/pids:6/late_ms:100|-|500000|0
BM_GlossaryLoad|BM_GlossaryReference|0|0
BM_FordWalk|BM_FordReference|0|0
TimerBar_Timer/tick|TimerBar_Timer/ref:plain_fill|1000|0
Form_Load/shipped|Form_Load/ref:plain_read|0|0
Vehicle_Click/generic|Vehicle_Click/ref:plain_read/generic|0|0
Vehicle_Click/ford|Vehicle_Click/ref:plain_read/ford|2000|3
Vehicle_Click/geo|Vehicle_Click/ref:plain_read/geo|0|0
loadglossary/shipped|loadglossary/ref:plain_read|2000|0
CODESearch_Change/10000_rows_no_match|CODESearch_Change/ref:plain_prefix_compare|100|0
BM_ListKeptReads/warm|BM_ListKeptReads/ref:stat|50000|0
BM_ListKeptReads/cold|BM_ListKeptReads/ref:stat|0|0
PAIRS

awk -F'|' '
  function shown(us) {
    if (us >= 1000000) return sprintf("%.3f s", us / 1000000)
    if (us >= 1000) return sprintf("%.3f ms", us / 1000)
    if (us >= 1) return sprintf("%.2f us", us)
    return sprintf("%.2f ns", us * 1000)
  }
  FNR == NR { split($0, f, " "); median[f[1]] = f[2]; next }
  !header++ {
    printf "%-38s %12s  %-45s %12s %8s  %-22s %s\n", "figure", "median", "reference", "median", "ratio", "target", ""
  }
  {
    figure = $1; reference = $2; limit = $3 + 0; ratioLimit = $4 + 0
    if (!(figure in median) || (reference != "-" && !(reference in median))) { printf "%-40s missing from the run\n", figure; bad = 1; next }
    m = median[figure]
    if (reference == "-") {
      r = 0; ratio = 0
    } else {
      r = median[reference]; ratio = m / r
    }
    target = ""; verdict = "-"
    if (limit > 0) target = "<= " shown(limit)
    if (ratioLimit > 0) target = target (target == "" ? "" : ", ") "<= " ratioLimit "x"
    if (target != "") {
      verdict = "met"
      if (limit > 0 && m > limit) verdict = sprintf("missed by %.0f%%", (m / limit - 1) * 100)
      if (ratioLimit > 0 && ratio > ratioLimit) verdict = "missed (ratio)"
    } else target = "-"
    if (reference == "-")
      printf "%-38s %12s  %-45s %12s %8s  %-22s %s\n", figure, shown(m), "-", "-", "-", target, verdict
    else
      printf "%-38s %12s  %-45s %12s %8.2f  %-22s %s\n", figure, shown(m), reference, shown(r), ratio, target, verdict
  }
' "$work/medians" "$work/pairs"

echo
echo "running start-up ..." >&2
"$root/bench/startup.sh" "$build" "$startup_runs"
