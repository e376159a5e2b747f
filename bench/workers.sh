#!/usr/bin/env bash
# Run time against threads and MPI ranks on a generated 1,000-passage day:
# Quorlin at B = 1000, N = 1 (levels on threads), Quorlin at B = 10, N = 64
# with a stream per repetition (repetitions on threads, then on ranks), and
# Parvel's exchange search with 8 restarts. Prints the median wall seconds
# of RUNS runs (default 5) of each configuration, and checks that every
# configuration of a row prints the same report.
#
#   bash bench/workers.sh [build directory] [runs]
. "$(dirname "$0")/common.sh"
build="${1:-build}"
runs="${2:-5}"
build_targets Quorlin Parvel generate_timetable
day=$(day day 1000 1)
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1

# median wall seconds of the command, and its report without the time
median_seconds() {
  local report="$1"
  shift
  local times=()
  for _ in $(seq "$runs"); do
    local begin end
    begin=$(date +%s%N)
    "$@" --outpath "$report" > /dev/null
    end=$(date +%s%N)
    times+=("$(awk -v ns=$((end - begin)) 'BEGIN {printf "%.2f", ns / 1e9}')")
  done
  printf '%s\n' "${times[@]}" | median
}

row() {
  local name="$1" base="$2"
  shift 2
  local line="| $name |" first=""
  for config in "$@"; do
    local report="$work/r.xml"
    local seconds
    # shellcheck disable=SC2086
    seconds=$(median_seconds "$report" $config $base)
    local sum
    sum=$(timeless "$report")
    [ -z "$first" ] && first="$sum"
    [ "$sum" = "$first" ] || { echo "different report for: $config" >&2; exit 1; }
    line="$line $seconds |"
  done
  echo "$line"
}

quorlin="$build/se/Quorlin --timetable $day --seed 1"
parvel="$build/localsearch/Parvel --timetable $day --seed 1 --search exchange --N 1000"
echo "| benchmark | 1 worker | 2 workers |"
echo "|---|---:|---:|"
row "Quorlin B=1000 N=1, threads" "--B 1000 --N 1" "$quorlin --threads 1" "$quorlin --threads 2"
row "Quorlin B=10 N=64 streams, threads" "--B 10 --N 64 --streams repetition" \
  "$quorlin --threads 1" "$quorlin --threads 2"
row "Quorlin B=10 N=64 streams, ranks" "--B 10 --N 64 --streams repetition" \
  "mpirun --oversubscribe -np 1 $quorlin" "mpirun --oversubscribe -np 2 $quorlin"
row "Parvel --restarts 8, threads" "--restarts 8" "$parvel --threads 1" "$parvel --threads 2"
row "Parvel --restarts 8, ranks" "--restarts 8" \
  "mpirun --oversubscribe -np 1 $parvel" "mpirun --oversubscribe -np 2 $parvel"
