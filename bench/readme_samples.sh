#!/usr/bin/env bash
# The documentation's sample check (the ctest tools_readme_samples) timed as
# a whole process: median of RUNS runs (default 5) of wall seconds and of CPU
# seconds (user + system, the commands it runs included), for all pages and
# for the README alone.
#
#   bench/readme_samples.sh [<build dir>] [--runs RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build
runs=5
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    *) build="$1"; shift ;;
  esac
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

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
