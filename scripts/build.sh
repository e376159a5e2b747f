#!/usr/bin/env bash
# Configures and builds into the given directory (default: build).
# Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build}"
shift || true
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "$@" > /dev/null
cmake --build "$build_dir" -j "$(nproc)"
