#!/usr/bin/env bash
# Configures and builds into the given directory (default: build).
# Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/compiler-cache.sh
build_dir="${1:-build}"
shift || true
# DT_CMAKE_ARGS (CI sets -DDT_WERROR=ON) goes to the configure step too.
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" ${DT_CMAKE_ARGS:-} "$@" \
  > /dev/null
cmake --build "$build_dir" -j "$(nproc)"
