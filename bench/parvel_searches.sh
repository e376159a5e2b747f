#!/usr/bin/env bash
# Parvel's two searches side by side on generated days.
#
#   bench/parvel_searches.sh [<build dir>] [--walk-limit SECONDS]
#
# For each day: the walk at N = 1000 (stopped after the time limit, default
# 300 s), the exchange search at its default, and the exchange search 20
# times as long (N = 20000). Prints balanced and rested chains, the bound,
# Parvel's own run time and the peak resident memory (GNU time) as a
# Markdown table. Days: generated airline days (seed 1) of 200, 1,000,
# 5,000 and 20,000 passages, and days with few terminals (hubs): 1,000
# passages at 35 terminals, 2,000 at 10, 5,000 at 20.
. "$(dirname "$0")/common.sh"
limit=300
read_arguments walk-limit=limit -- "$@"
build_targets generate_timetable Parvel

# run <label> <timetable> <args...>: one table row.
run() {
  local label="$1" table="$2"
  shift 2
  local out="$work/out" timing="$work/time"
  if ! timeout "$limit" /usr/bin/time -f "%M" -o "$timing" \
      "$build/localsearch/Parvel" --timetable "$table" --seed 1 --bound "$@" > "$out"; then
    echo "| $label | $* | stopped after $limit s | | | | |"
    return
  fi
  local final bound seconds memory
  final=$(grep '^final performance' "$out")
  bound=$(grep '^upper bound' "$out" | sed 's/.*= //')
  seconds=$(grep '^Run time' "$out" | sed 's/Run time: //; s/ sec.//')
  memory=$(( $(tail -n 1 "$timing") / 1024 ))
  echo "| $label | $* | $(echo "$final" | sed 's/.*balanced chains: \([0-9]*\).*/\1/') |" \
       "$(echo "$final" | sed 's/.*: \([0-9]*\)$/\1/') | $bound | $seconds | $memory MB |"
}

echo "| day | options | balanced | rested | bound | seconds | peak memory |"
echo "|---|---|---:|---:|---|---:|---:|"
for day in 200 1000 5000 20000 1000:35 2000:10 5000:20; do
  passages=${day%%:*}
  label="$passages passages"
  if [ "$day" != "$passages" ]; then
    terminals=${day#*:}
    file=$(day "day${passages}_$terminals" "$passages" 1 --terminals "$terminals")
    label="$label, $terminals terminals"
  else
    file=$(day "day$passages" "$passages" 1)
  fi
  run "$label" "$file" --search walk --N 1000
  run "$label" "$file" --search exchange
  run "$label" "$file" --search exchange --N 20000
done
