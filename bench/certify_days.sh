#!/usr/bin/env bash
# Parvel's certificate on the benchmark days of exchange_default.sh.
#
#   bench/certify_days.sh [<build dir>] [--days REGEX] [--seconds S] [--lps] [--prebuilt]
#
# For each day it runs
#   Parvel --timetable DAY --search exchange --seed 1 --certify [--certify_seconds S]
# and prints, as a Markdown table, the user CPU seconds of the whole run
# (GNU time), the run's seconds less those of the same run without
# --certify (the certificate's share), the balanced count found, the bound and
# whether it is proven, the rested bound's line, and the integer program's
# line (empty when it did not run). With --lps it also runs
# certify_bench on the day, which lists every linear program the
# certificate solved (its size, CPU seconds and outcome), after the table.
# --prebuilt uses the programs as they are in the build directory (for
# example a copy of an earlier build) instead of building them.
# CPU seconds on a shared machine still move by 10 to 20 %: measure again
# on a quiet machine before quoting them.
. "$(dirname "$0")/common.sh"
only=.
seconds=""
lps=0
prebuilt=0
read_arguments days=only seconds=seconds lps?=lps prebuilt?=prebuilt -- "$@"
[ "$prebuilt" = 1 ] || build_targets generate_timetable certify_bench Parvel

# The days of exchange_default.sh.
days=$(sed -n '/^days=(/,/^)/p' bench/exchange_default.sh | sed -n 's/^ *"\(.*\)"$/\1/p')

extra=()
[ -n "$seconds" ] && extra=(--certify_seconds "$seconds")
echo "| day | passages | run CPU s | certificate CPU s | balanced found | LP bound | rested | integer program |"
echo "|---|---:|---:|---:|---:|---|---|---|"
while IFS= read -r entry; do
  name=${entry%%:*}
  [[ "$name" =~ $only ]] || continue
  read -r -a args <<< "${entry#*: }"
  day "$name" "${args[@]}" > /dev/null
  run() {
    /usr/bin/time -f "%U" -o "$work/time" "$build/localsearch/Parvel" --timetable "$work/$name.csv" \
      --search exchange --seed 1 "$@" > "$work/out"
    tail -n 1 "$work/time"
  }
  plain=$(run)
  with=$(run --certify "${extra[@]}")
  found=$(sed -n 's/^final performance: # of balanced chains: \([0-9]*\) .*/\1/p' "$work/out")
  bound=$(grep -E '^LP bound (on balanced|skipped)' "$work/out" | sed 's/^LP bound //')
  rested=$(grep '^LP bound on rested' "$work/out" | sed 's/^LP bound on rested chains //')
  integer=$(grep '^integer program on balanced' "$work/out" | sed 's/^integer program on balanced chains//' || true)
  share=$(echo "$with - $plain" | bc)
  echo "| $name | ${args[0]} | $with | $share | $found | $bound | $rested | $integer |"
  if [ "$lps" = 1 ]; then
    "$build/bench/certify_bench" "${extra[@]/--certify_seconds/--seconds}" "$work/$name.csv" \
      > "$work/$name.lps"
  fi
done <<< "$days"
if [ "$lps" = 1 ]; then
  for file in "$work"/*.lps; do
    echo
    echo "$(basename "$file" .lps):"
    cat "$file"
  done
fi
