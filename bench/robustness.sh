#!/usr/bin/env bash
# Time and peak memory of the runs that the memory plan and the streaming
# loader must refuse early or keep small:
#   1. a 1 GB timetable under --max_memory 1G (refused while loading);
#   2. a timetable whose one data line is 1 GB of commas (loads in little);
#   3. Quorlin --B 4294967295 on the 42-passage example (refused at once);
#   4. Parvel --restarts 64 --threads 64 --max_memory 200M on a 20,000-passage
#      day (refused at once);
#   5. Quorlin --B 1000 --N 1 on a 20,000-passage day of 5,000 terminals:
#      peak memory against the report's size and the plan's estimate.
# Prints wall and user seconds, peak resident memory and the first line of
# output of each. Needs about 3 GB of free disk in TMPDIR.
#
#   bash bench/robustness.sh [build directory]
. "$(dirname "$0")/common.sh"
build="${1:-build}"
build_targets Quorlin Parvel generate_timetable

measure() {
  local name="$1"
  shift
  local status=0
  /usr/bin/time -f '%e %U %M' -o "$work/time" "$@" > "$work/out" 2> /dev/null || status=$?
  read -r wall user peak < <(tail -n 1 "$work/time")
  printf '%-34s wall %6.2f s  user %6.2f s  peak %8.1f MB  status %d\n' "$name" "$wall" "$user" \
    "$(awk -v kb="$peak" 'BEGIN {print kb / 1024}')" "$status"
  printf '    %s\n' "$(head -c 240 "$work/out" | head -n 1)"
}

# 1. About 1 GB of passages (26 bytes a line).
big="$work/big.csv"
awk 'BEGIN {print "id,o,d,dep,arr"; for (k = 0; k < 41300000; ++k)
       printf "%d,%d,%d,6.5,8.25\n", k, k % 997, (k + 1) % 997}' > "$big"
echo "timetable of $(du -m "$big" | cut -f1) MB"
measure "1 GB timetable, --max_memory 1G" "$build/localsearch/Parvel" --timetable "$big" \
  --N 0 --max_memory 1G
rm -f "$big"

# 2. One line of 1 GB of commas.
commas="$work/commas.csv"
{ echo "id,o,d,dep,arr"; head -c 1073741824 /dev/zero | tr '\0' ','; echo; } > "$commas"
measure "1 GB line of commas" "$build/localsearch/Parvel" --timetable "$commas" --N 0
rm -f "$commas"

# 3. The largest budget on the example.
measure "--B 4294967295, 42 passages" "$build/se/Quorlin" --timetable examples/day.csv \
  --B 4294967295 --N 1

# 4 and 5. A day of 20,000 passages on 5,000 terminals.
day=$(day day 20000 1 --terminals 5000)
measure "Parvel 64 restarts, --max_memory 200M" "$build/localsearch/Parvel" --timetable "$day" \
  --N 100 --search exchange --restarts 64 --threads 64 --max_memory 200M
measure "Quorlin --B 1000, 20,000 passages" "$build/se/Quorlin" --timetable "$day" --B 1000 \
  --N 1 --seed 1 --outpath "$work/report.xml"
echo "    report: $(du -m "$work/report.xml" | cut -f1) MB"
measure "  its plan (--max_memory 64M)" "$build/se/Quorlin" --timetable "$day" --B 1000 --N 1 \
  --max_memory 64M
