#!/usr/bin/env bash
# The plot scripts on large inputs: whole processes timed with GNU time
# (median of RUNS runs, default 3; user + system seconds, wall seconds and
# peak resident memory).
#
#   bench/plots.sh [<build dir>] [--runs RUNS]
#
# Inputs, all made here:
# - the best rotations of a generated airline day of 3,000 passages
#   (generate_timetable 3000 2, Parvel --search exchange --seed 1): 635
#   rotations, drawn folded (the default) and on one running clock
#   (--unfolded);
# - 200,000 rows: those rotations repeated and renumbered, drawn without a
#   selection (refused by the size guard) and with --select longest:50;
# - a Parvel report with ten million recorded entries per list, drawn by
#   plot_search.py.
# Prints a Markdown table.
. "$(dirname "$0")/common.sh"
runs=3
read_arguments runs=runs -- "$@"
build_targets generate_timetable Parvel
python=/usr/bin/python3

table=$(day day 3000 2)
"$build/localsearch/Parvel" --timetable "$table" --search exchange --seed 1 \
  --rotations "$work/r635.csv" > /dev/null
"$python" - "$work" <<'EOF'
import sys
work = sys.argv[1]
lines = open(f"{work}/r635.csv").read().splitlines()
header, body = lines[0], lines[1:]
rows, offset = [header], 0
while len(rows) <= 200000:
    for line in body:
        fields = line.split(",")
        fields[0] = str(int(fields[0]) + offset)
        rows.append(",".join(fields))
    offset = int(rows[-1].split(",")[0])
open(f"{work}/r200k.csv", "w").write("\n".join(rows[:200001]) + "\n")
n = 10 ** 7
balances = ",".join(str(400 + 30 * i // n) for i in range(n))
rest = ",".join(str(600 - 20 * i // n) for i in range(n))
open(f"{work}/walk.xml", "w").write(
    '<?xml version="1.0" encoding="utf-8"?>\n<OPT version="1.0"><decomposition_size>635'
    "</decomposition_size><number_of_balanced_chains>430</number_of_balanced_chains>"
    "<treshold_rest>11</treshold_rest><number_of_chains_with_rest>580"
    "</number_of_chains_with_rest><elapsed_seconds>3600</elapsed_seconds><opt_decomp>"
    f"<chain>1</chain><performance><balances>{balances}</balances><rest>{rest}</rest>"
    "</performance></opt_decomp></OPT>")
EOF

# measure <label> <command...>: one table row, the medians of the runs.
measure() {
  local label="$1"
  shift
  local cpu=() wall=() memory=() status=0
  for _ in $(seq "$runs"); do
    status=0
    /usr/bin/time -f "%U %S %e %M" -o "$work/time" "$@" > "$work/out" || status=$?
    read -r user system elapsed peak < <(tail -n 1 "$work/time")
    cpu+=("$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')")
    wall+=("$elapsed")
    memory+=("$((peak / 1024))")
  done
  middle() { printf '%s\n' "$@" | median; }
  echo "| $label | $(middle "${cpu[@]}") | $(middle "${wall[@]}") | $(middle "${memory[@]}") MB" \
       "| $status: $(head -c 90 "$work/out") |"
}

echo "| input and command | cpu s | wall s | peak memory | exit: output |"
echo "|---|---:|---:|---:|---|"
measure "635 rotations, folded, PNG" \
  "$python" tools/plot_rotations.py "$work/r635.csv" "$work/fold.png"
measure "635 rotations, folded, SVG" \
  "$python" tools/plot_rotations.py "$work/r635.csv" "$work/fold.svg"
measure "635 rotations, --unfolded, PNG" \
  "$python" tools/plot_rotations.py "$work/r635.csv" "$work/wide.png" --unfolded
measure "200,000 rows, no option" \
  "$python" tools/plot_rotations.py "$work/r200k.csv" "$work/all.png"
measure "200,000 rows, --select longest:50" \
  "$python" tools/plot_rotations.py "$work/r200k.csv" "$work/some.png" --select longest:50
measure "report of 10,000,000 entries, plot_search" \
  "$python" tools/plot_search.py "$work/walk.xml" "$work/search.png"
