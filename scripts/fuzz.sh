#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz and runs each target for the
# given number of seconds (default 30) from a copy of its seed corpus.
# Fails on any crash, sanitizer report, time-out or memory blow-up, and
# shows the input that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
each="${1:-30}"
targets=(timetable command_line engines writers)
bash scripts/setup.sh --fuzz
source scripts/compiler-cache.sh
# shellcheck disable=SC2086
cmake -S . -B build-fuzz -DDT_FUZZ=ON -DDT_BUILD_TESTS=OFF -DDT_BUILD_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1" "${launcher[@]}" ${DT_CMAKE_ARGS:-} > /dev/null
cmake --build build-fuzz --target fuzz_targets -j "$(nproc)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for target in "${targets[@]}"; do
  mkdir -p "$work/$target" "$work/$target-artifacts"
  cp fuzz/corpus/"$target"/* "$work/$target/"
  echo "Fuzzing $target for $each s"
  status=0
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/scripts/lsan-suppressions.txt" \
    build-fuzz/fuzz/"$target"_fuzz -max_total_time="$each" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/$target-artifacts/" "$work/$target" \
    > "$work/$target.log" 2>&1 || status=$?
  grep -E '^(Done|stat::number_of_executed_units)' "$work/$target.log" || true
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/$target-artifacts")" ]; then
    echo "Fuzzing $target failed (status $status):"
    tail -n 60 "$work/$target.log"
    for artifact in "$work/$target-artifacts"/*; do
      [ -e "$artifact" ] || continue
      echo "Input $artifact (base64):"
      base64 "$artifact"
    done
    exit 1
  fi
done
