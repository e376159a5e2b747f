#!/usr/bin/env bash
# Parvel's exchange search at its default on the benchmark days, against the
# best counts known for each day.
#
#   bench/exchange_default.sh [<build dir>] [--seeds A-B] [--days REGEX] [--best-known]
#                             [--options "PARVEL OPTIONS"]
#
# Days (generate_timetable): airline-like days of 200 to 5,000 passages
# (one cut to 06:00-14:00, without overnight passages), rail-like days (cut
# to a few hours, and one whole day with trains past midnight), and
# generic generated days. For each day and seed (default 1-5) it runs
#   Parvel --timetable DAY --search exchange --seed S
# and prints, as a Markdown table, the day, its passages, the bound on
# balanced chains, the best known balanced/rested counts, how many seeds
# reached the best balanced count, how many reached the best rested count
# with it and how many came within one of it, the lowest counts found (the
# lowest balanced count, and the lowest rested count among the runs with the
# most balanced chains found), and the median and largest user CPU seconds
# of the runs (GNU time). --options adds options to every Parvel run (for
# instance "--exchange_repair 0.2").
#
# With --best-known it first runs long searches (exchange_tune: 20,000
# rounds, 8 restarts, seeds 1 and 2) and raises the counts of
# bench/exchange_best_known.csv where they find better ones. The best
# known counts are the best any run has found, not proven optima.
. "$(dirname "$0")/common.sh"
seeds=1-5
only=.
longRuns=0
options=""
read_arguments seeds=seeds days=only best-known?=longRuns options=options -- "$@"
first=${seeds%-*}
last=${seeds#*-}
known=bench/exchange_best_known.csv
build_targets generate_timetable exchange_tune Parvel

# name: passages seed [generator options]
days=(
  "air200_1: 200 1 --profile airline"
  "air200_2: 200 2 --profile airline"
  "air1000_1: 1000 1 --profile airline"
  "air1000_2: 1000 2 --profile airline"
  "air1000_3_w6-14: 1000 3 --profile airline --window 6-14"
  "air2000_1: 2000 1 --profile airline"
  "air5000_1: 5000 1 --profile airline"
  "rail200_1_w7-8: 200 1 --profile rail --window 7-8"
  "rail300_1_w15-20: 300 1 --profile rail --window 15-20"
  "rail1000_1_w15-20: 1000 1 --profile rail --window 15-20"
  "rail1000_2_w6-10: 1000 2 --profile rail --window 6-10"
  "rail2000_1: 2000 1 --profile rail"
  "rail5000_1_w16-22: 5000 1 --profile rail --window 16-22"
  "gen300_3: 300 3"
  "gen1000_1: 1000 1"
  "gen2000_1_t10: 2000 1 --terminals 10"
  "gen5000_1: 5000 1"
)

# best <name>: "balanced rested" known for the day, or "0 0".
best() {
  local line
  line=$(grep "^$1," "$known" 2> /dev/null || true)
  if [ -z "$line" ]; then echo "0 0"; else echo "$line" | cut -d, -f2,3 | tr , ' '; fi
}

# better <b1> <r1> <b2> <r2>: true when (b1, r1) ranks above (b2, r2).
better() { [ "$1" -gt "$3" ] || { [ "$1" -eq "$3" ] && [ "$2" -gt "$4" ]; }; }

if [ "$longRuns" = 1 ]; then
  [ -f "$known" ] || echo "day,balanced,rested" > "$known"
  for entry in "${days[@]}"; do
    name=${entry%%:*}
    [[ "$name" =~ $only ]] || continue
    read -r -a args <<< "${entry#*: }"
    day "$name" "${args[@]}" > /dev/null
    found=$("$build/bench/exchange_tune" "$work/$name.csv" 20000 --seeds 1-2 --restarts 8 |
            sed -n 's/^best balanced \([0-9]*\) rested \([0-9]*\) .*/\1 \2/p')
    read -r b r <<< "$found"
    read -r kb kr <<< "$(best "$name")"
    if better "$b" "$r" "$kb" "$kr"; then
      grep -v "^$name," "$known" > "$work/known" || true
      echo "$name,$b,$r" >> "$work/known"
      { head -n 1 "$work/known"; tail -n +2 "$work/known" | sort; } > "$known"
    fi
  done
fi

echo "| day | passages | bound | best known | balanced reached | rested reached (within 1) | lowest found | CPU s median / max |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|"
for entry in "${days[@]}"; do
  name=${entry%%:*}
  [[ "$name" =~ $only ]] || continue
  read -r -a args <<< "${entry#*: }"
  day "$name" "${args[@]}" > /dev/null
  read -r kb kr <<< "$(best "$name")"
  reached=0 rested=0 near=0 runs=0 bound="" times=() found=()
  for seed in $(seq "$first" "$last"); do
    /usr/bin/time -f "%U" -o "$work/time" "$build/localsearch/Parvel" --timetable "$work/$name.csv" \
      --search exchange --seed "$seed" $options > "$work/out"
    final=$(grep '^final performance' "$work/out")
    b=$(echo "$final" | sed 's/.*balanced chains: \([0-9]*\) .*/\1/')
    r=$(echo "$final" | sed 's/.*: \([0-9]*\)$/\1/')
    bound=$(grep '^upper bound' "$work/out" | sed 's/.*= \([0-9]*\).*/\1/')
    times+=("$(tail -n 1 "$work/time")")
    found+=("$b $r")
    runs=$((runs + 1))
    if [ "$b" -ge "$kb" ]; then
      reached=$((reached + 1))
      [ "$r" -ge "$kr" ] && rested=$((rested + 1))
      [ "$r" -ge $((kr - 1)) ] && near=$((near + 1))
    fi
  done
  middle=$(printf '%s\n' "${times[@]}" | median)
  most=$(printf '%s\n' "${times[@]}" | sort -g | tail -n 1)
  lowB=$(printf '%s\n' "${found[@]}" | sort -n | head -n 1 | cut -d' ' -f1)
  topB=$(printf '%s\n' "${found[@]}" | sort -n | tail -n 1 | cut -d' ' -f1)
  lowR=$(printf '%s\n' "${found[@]}" | awk -v b="$topB" '$1 == b {print $2}' | sort -n | head -n 1)
  echo "| $name | ${args[0]} | $bound | $kb / $kr | $reached/$runs | $rested/$runs ($near/$runs) |" \
       "$lowB / $lowR | $middle / $most |"
done
