#!/usr/bin/env bash
# Quorlin's estimate against the exact count, with and without the part-wise
# options, on generated days, days with many overnight passages and round
# trips, days of few terminals and the GTFS test feed's day.
#
#   bench/estimates.sh [<build dir>] [accuracy|options|honesty|all]
#
# accuracy: --split boards --importance sinkhorn --vertex_order degree --B 1
#   --N 10 --seed 1 on every day: log10(mean / exact), the printed standard
#   error of log10, components (exact), Quorlin's own run time, the process's
#   CPU time (user) and peak resident memory (GNU time), beside the same for
#   --N 0 (the fixed part: reading, pairs, graph, first matching, exact
#   count).
# options: on the 1,000- and 5,000-passage days (and the 20,000 for B = 1),
#   the estimator as it was (random and degree order), each option alone
#   and both together, at B = 1 and B = 100, N = 10, seed 1.
# honesty: 20 seeds of the 5,000-passage day with both options: how many
#   estimates lie within 3 printed standard errors of the exact count.
# Prints Markdown tables. Times are wall clock: compare them on an idle
# machine.
. "$(dirname "$0")/common.sh"
what=all
for arg in "$@"; do
  case "$arg" in
    accuracy|options|honesty|all) what="$arg" ;;
    *) build="$arg" ;;
  esac
done
build_targets generate_timetable Quorlin
quorlin="$build/se/Quorlin"

harbour() {
  [ -f "$work/harbour.csv" ] ||
    python3 tools/gtfs2timetable.py tests/tools/feeds/harbour --date 20240304 \
      --merge-radius 150 --out "$work/harbour.csv" > /dev/null
  echo "$work/harbour.csv"
}

# quorlin <timetable> <args...>: runs it; sets ratio, error, parts, seconds,
# cpu (user seconds), memory (MB).
quorlin() {
  local table="$1"
  shift
  rm -f "$work/report.xml"
  "/usr/bin/time" -f "%U %M" -o "$work/time" "$quorlin" --timetable "$table" --exact "$@" \
    --outpath "$work/report.xml" > "$work/out"
  # From the report: all digits, rounded here to 4 decimals and 3 digits.
  ratio=$(sed -n 's/.*<log10_ratio_to_exact>\([^<]*\)<.*/\1/p' "$work/report.xml")
  ratio=$(awk -v r="$ratio" 'BEGIN { printf "%.4f", r }')
  error=$(sed -n 's/.*<log10_standard_error>\([^<]*\)<.*/\1/p' "$work/report.xml")
  [ -n "$error" ] && error=$(awk -v e="$error" 'BEGIN { printf "%.3g", e }')
  parts=$(sed -n 's/^components = \(.*\), counted exactly = \(.*\)/\1 (\2)/p' "$work/out")
  seconds=$(sed -n 's/^Run time: \(.*\) sec\./\1/p' "$work/out")
  read -r cpu memory < <(tail -n 1 "$work/time")
  memory=$((memory / 1024))
}

accuracy() {
  echo "| day | log10 exact | log10(mean / exact) | standard error | components (exact) | run time | CPU | peak memory | --N 0: run time, CPU, memory |"
  echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|"
  local rows=(
    "1,000 passages|$(day d1000 1000 1)"
    "5,000 passages|$(day d5000 5000 1)"
    "20,000 passages|$(day d20000 20000 1)"
    "30,000 passages|$(day d30000 30000 1)"
    "100,000 passages|$(day d100000 100000 1)"
    "5,000 passages, 20% overnight|$(day n5000 5000 1 --overnight 20)"
    "5,000 passages, 300 round trips|$(day r5000 5000 1 --round_trips 300)"
    "5,000 passages, 20% overnight, 300 round trips|$(day o5000 5000 1 --overnight 20 --round_trips 300)"
    "20,000 passages, 20% overnight, 1,000 round trips|$(day o20000 20000 1 --overnight 20 --round_trips 1000)"
    "2,000 passages, 10 terminals|$(day t2000 2000 1 --terminals 10)"
    "5,000 passages, 20 terminals|$(day t5000 5000 1 --terminals 20)"
    "GTFS test feed, Monday|$(harbour)"
    "examples/day.csv|examples/day.csv")
  local row label table fixed exact
  for row in "${rows[@]}"; do
    label=${row%%|*}
    table=${row#*|}
    quorlin "$table" --N 0
    fixed="$seconds s, $cpu s, $memory MB"
    exact=$(sed -n 's/^exact number of decompositions = //p' "$work/out")
    quorlin "$table" --split boards --importance sinkhorn --vertex_order degree --B 1 --N 10 \
      --seed 1
    echo "| $label | $exact | $ratio | $error | $parts | $seconds s | $cpu s | $memory MB | $fixed |"
  done
}

options() {
  echo "| day | options | B | log10(mean / exact) | standard error | run time | CPU |"
  echo "|---|---|---:|---:|---:|---:|---:|"
  local size budget table option
  for size in 1000 5000 20000; do
    table=$(day "d$size" "$size" 1)
    for budget in 1 100; do
      [ "$size" = 20000 ] && [ "$budget" = 100 ] && continue
      for option in "--vertex_order random" "--vertex_order degree" \
          "--vertex_order degree --split boards" "--vertex_order degree --importance sinkhorn" \
          "--vertex_order degree --split boards --importance sinkhorn"; do
        # shellcheck disable=SC2086
        quorlin "$table" $option --B "$budget" --N 10 --seed 1
        echo "| $size passages | \`$option\` | $budget | $ratio | ${error:--} | $seconds s | $cpu s |"
      done
    done
  done
}

honesty() {
  local table within=0 seed
  table=$(day d5000 5000 1)
  echo "| seed | log10(mean / exact) | standard error | within 3 standard errors |"
  echo "|---:|---:|---:|---|"
  for seed in $(seq 1 20); do
    quorlin "$table" --split boards --importance sinkhorn --vertex_order degree --B 1 --N 10 \
      --seed "$seed"
    local inside
    inside=$(awk -v r="$ratio" -v e="$error" 'BEGIN { print (r < 0 ? -r : r) <= 3 * e ? "yes" : "no" }')
    [ "$inside" = yes ] && within=$((within + 1))
    echo "| $seed | $ratio | $error | $inside |"
  done
  echo
  echo "$within of 20 seeds within 3 standard errors"
}

case "$what" in
  accuracy) accuracy ;;
  options) options ;;
  honesty) honesty ;;
  all)
    accuracy
    echo
    options
    echo
    honesty
    ;;
esac
