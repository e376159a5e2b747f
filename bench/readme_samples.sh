#!/usr/bin/env bash
# The documentation's sample check (the ctest tools_readme_samples) timed as
# a whole process: median of RUNS runs (default 5) of wall seconds and of CPU
# seconds (user + system, the commands it runs included), for all pages and
# for the README alone.
#
#   bench/readme_samples.sh [<build dir>] [--runs RUNS]
. "$(dirname "$0")/common.sh"
runs=5
read_arguments runs=runs -- "$@"

measure() {
  local label="$1"; shift
  : > "$work/times"
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S" -o "$work/time" /usr/bin/python3 tools/readme_samples.py \
      --check --build "$build" "$@" > "$work/out" || { cat "$work/out"; exit 1; }
    awk '{ print $1, $2 + $3 }' "$work/time" >> "$work/times"
  done
  echo "| $label | $(cut -d' ' -f1 "$work/times" | median) | $(cut -d' ' -f2 "$work/times" | median) |"
}

echo "| pages | wall s | cpu s |"
echo "|---|---:|---:|"
measure "README.md and docs/*.md"
measure "README.md" README.md
