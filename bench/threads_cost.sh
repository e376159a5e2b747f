#!/usr/bin/env bash
# Two threads against one, pair by pair, where a second thread cannot help:
# one allowed CPU (taskset), and every CPU busy with other processes; and
# on the idle machine as it is. Each row runs the one-thread and the
# two-thread command in turn RUNS times (default 5) and prints the medians
# of the per-pair ratios (two threads / one) of wall and user seconds, and
# checks that both print the same report. Target: no wall ratio above 1.2
# under "one CPU" and "busy".
#
#   bash bench/threads_cost.sh [build directory] [runs] [condition...]
#
# Conditions: one-cpu, busy, idle (default: all three). "busy" starts one
# spinning process per CPU for the duration of its rows.
. "$(dirname "$0")/common.sh"
build="${1:-build}"
runs="${2:-5}"
shift $(($# < 2 ? $# : 2))
conditions=("${@:-one-cpu busy idle}")
# shellcheck disable=SC2206
conditions=(${conditions[*]})
build_targets Quorlin generate_timetable
spinners=()
stop_spinners() { for pid in "${spinners[@]}"; do kill "$pid" 2> /dev/null || true; done; }
at_exit stop_spinners
for passages in 40 200 961 1000 5000 20000; do
  day "day$passages" "$passages" 1 > /dev/null
done
first_cpu=$(taskset -pc $$ | sed -E 's/.*: *([0-9]+).*/\1/')

# "wall user" seconds of one run; the report goes to $2
timed() {
  local report="$1"
  shift
  local TIMEFORMAT='%R %U'
  { time "$@" --outpath "$report" > /dev/null 2>&1; } 2>&1
}

# row LABEL PREFIX... -- ARGS...: one-thread and two-thread runs in turn
row() {
  local label="$1"
  shift
  local prefix=()
  while [ "$1" != "--" ]; do prefix+=("$1"); shift; done
  shift
  local walls=() users=() one two
  for _ in $(seq "$runs"); do
    read -r w1 u1 < <(timed "$work/one.xml" "${prefix[@]}" "$build/se/Quorlin" "$@" --threads 1)
    read -r w2 u2 < <(timed "$work/two.xml" "${prefix[@]}" "$build/se/Quorlin" "$@" --threads 2)
    walls+=("$(awk -v a="$w2" -v b="$w1" 'BEGIN {printf "%.3f", a / b}')")
    users+=("$(awk -v a="$u2" -v b="$u1" 'BEGIN {printf "%.3f", (b > 0 ? a / b : 1)}')")
    one="$w1"
    two="$w2"
  done
  [ "$(timeless "$work/one.xml")" = "$(timeless "$work/two.xml")" ] ||
    { echo "different reports: $label $*" >&2; exit 1; }
  local args="$*"
  printf '| %s | %s | %s s | %s s | %s | %s |\n' "$label" "${args//$work\//}" "$one" "$two" \
    "$(printf '%s\n' "${walls[@]}" | median)" "$(printf '%s\n' "${users[@]}" | median)"
}

runs_of() {
  local label="$1"
  shift
  local day
  for day in 40 200 961 1000; do
    for budget in 1 30 100 1000; do
      row "$label" "$@" -- --timetable "$work/day$day.csv" --B "$budget" --N 1 --seed 1
    done
  done
  row "$label" "$@" -- --timetable "$work/day1000.csv" --B 1000 --N 1 --seed 1 --vertex_order degree
  row "$label" "$@" -- --timetable "$work/day1000.csv" --B 10 --N 16 --seed 1 --streams repetition
  row "$label" "$@" -- --timetable "$work/day5000.csv" --B 30 --N 1 --seed 1
  row "$label" "$@" -- --timetable "$work/day20000.csv" --B 1 --N 1 --seed 1
  row "$label" "$@" -- --timetable "$work/day20000.csv" --B 3 --N 1 --seed 1
}

echo "| condition | run | last 1-thread wall | last 2-thread wall | wall ratio | user ratio |"
echo "|---|---|---:|---:|---:|---:|"
for condition in "${conditions[@]}"; do
  case "$condition" in
    one-cpu) runs_of one-cpu taskset -c "$first_cpu" ;;
    busy)
      for _ in $(seq "$(nproc)"); do
        sh -c 'while :; do :; done' &
        spinners+=("$!")
      done
      runs_of busy
      for pid in "${spinners[@]}"; do kill "$pid"; done
      spinners=()
      ;;
    idle) runs_of idle ;;
    *) echo "unknown condition: $condition" >&2; exit 1 ;;
  esac
done
