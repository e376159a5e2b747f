#!/usr/bin/env bash
# Set-up, build, and a run of Quorlin on the bundled example timetable.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh build
./build/se/Quorlin --timetable examples/day.csv --B 5 --N 20 --seed 1 --outpath report.xml
