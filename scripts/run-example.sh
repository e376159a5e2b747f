#!/usr/bin/env bash
# Set-up, build, a run of Quorlin on the bundled example timetable, and the
# example day's best rotations from Parvel as a table and a picture.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# The two programs only: the tests and benchmarks build with scripts/test.sh
# or on demand.
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$(nproc)" --target programs
./build/se/Quorlin --timetable examples/day.csv --B 5 --N 20 --seed 1 --outpath report.xml
./build/localsearch/Parvel --timetable examples/day.csv --search exchange --seed 3 \
  --rotations rotations.csv --outpath opt.xml
/usr/bin/python3 tools/plot_rotations.py rotations.csv rotations.png
echo "Rotations of the example day: rotations.csv, rotations.png"
