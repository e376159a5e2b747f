#!/usr/bin/env bash
# The polish of the exchange search (--exchange_polish) against the default,
# as whole processes, paired: wall and CPU seconds and the counts found.
#
#   bench/exchange_polish.sh [<build dir>] [--runs R] [--seed S] [--days REGEX]
#
# For each day (the benchmark days of 1,000 and 5,000 passages of
# exchange_default.sh) it runs R times (default 3), alternating,
#   Parvel --timetable DAY --search exchange --seed S [--exchange_polish]
# and prints, as a Markdown table, the median wall and user seconds of each
# (GNU time), the median of the per-pair ratios of wall seconds (polish /
# default) and the balanced / rested counts of both. Run it on a quiet
# machine for the wall times of the targets (2 s for 1,000 passages, 20 s
# for 5,000).
. "$(dirname "$0")/common.sh"
runs=3
seed=1
only=.
read_arguments runs=runs seed=seed days=only -- "$@"
build_targets generate_timetable Parvel

days=(
  "air1000_1: 1000 1 --profile airline"
  "gen1000_1: 1000 1"
  "rail1000_2_w6-10: 1000 2 --profile rail --window 6-10"
  "air5000_1: 5000 1 --profile airline"
  "gen5000_1: 5000 1"
  "rail5000_1_w16-22: 5000 1 --profile rail --window 16-22"
)

# run <day file> <times file> [options]: appends "wall user" to the times
# file and prints "balanced / rested".
run() {
  local file="$1" times="$2"
  shift 2
  /usr/bin/time -f "%e %U" -o "$work/time" "$build/localsearch/Parvel" --timetable "$file" \
    --search exchange --seed "$seed" "$@" > "$work/out"
  tail -n 1 "$work/time" >> "$times"
  grep '^final performance' "$work/out" |
    sed 's/.*balanced chains: \([0-9]*\) .*: \([0-9]*\)$/\1 \/ \2/'
}

echo "| day | default wall / user s | polish wall / user s | wall ratio | default found | polish found |"
echo "|---|---:|---:|---:|---:|---:|"
for entry in "${days[@]}"; do
  name=${entry%%:*}
  [[ "$name" =~ $only ]] || continue
  read -r -a args <<< "${entry#*: }"
  file=$(day "$name" "${args[@]}")
  : > "$work/plain" ; : > "$work/polish" ; : > "$work/ratios"
  for k in $(seq 1 "$runs"); do
    if [ $((k % 2)) = 1 ]; then
      plain=$(run "$file" "$work/plain")
      polish=$(run "$file" "$work/polish" --exchange_polish)
    else
      polish=$(run "$file" "$work/polish" --exchange_polish)
      plain=$(run "$file" "$work/plain")
    fi
    paste -d' ' <(tail -n 1 "$work/polish") <(tail -n 1 "$work/plain") |
      awk '{ printf "%.4f\n", $1 / $3 }' >> "$work/ratios"
  done
  plainWall=$(cut -d' ' -f1 "$work/plain" | median)
  plainUser=$(cut -d' ' -f2 "$work/plain" | median)
  polishWall=$(cut -d' ' -f1 "$work/polish" | median)
  polishUser=$(cut -d' ' -f2 "$work/polish" | median)
  ratio=$(median < "$work/ratios")
  echo "| $name | $plainWall / $plainUser | $polishWall / $polishUser | $ratio | $plain | $polish |"
done
