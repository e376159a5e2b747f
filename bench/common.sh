# The preamble of the benchmark scripts, sourced by each of them:
#
#   . "$(dirname "$0")/common.sh"
#
# Stops at the first error, runs from the checkout's root and makes $work, a
# temporary folder removed at exit (after the commands given to at_exit).
# $build is the build directory, "build" unless read_arguments reads another.

set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=build
work=$(mktemp -d)
exit_commands=()
leave() {
  local command
  for command in "${exit_commands[@]}"; do eval "$command"; done
  rm -rf "$work"
}
trap leave EXIT

# at_exit <command>: run at exit, before $work goes.
at_exit() { exit_commands+=("$1"); }

# read_arguments <name>=<variable>... -- "$@": "--<name> <value>" sets the
# variable to the value, or, for a <name> that ends in "?", "--<name>" alone
# sets it to 1. Any other argument is the build directory.
read_arguments() {
  local _known=() _option _name _found
  while [ "$1" != "--" ]; do _known+=("$1"); shift; done
  shift
  while [ $# -gt 0 ]; do
    _found=0
    for _option in "${_known[@]}"; do
      _name=${_option%%=*}
      [ "$1" = "--${_name%\?}" ] || continue
      _found=1
      if [ "$_name" != "${_name%\?}" ]; then
        printf -v "${_option#*=}" 1
        shift
      else
        printf -v "${_option#*=}" '%s' "$2"
        shift 2
      fi
      break
    done
    [ "$_found" = 1 ] || { build="$1"; shift; }
  done
}

# build_targets <target>...: builds them in $build, one at a time, since make
# races when given several at once.
build_targets() {
  local target
  for target in "$@"; do
    cmake --build "$build" --target "$target" -j 2 > /dev/null
  done
}

# day <name> <generate_timetable arguments...>: writes the generated day to
# $work/<name>.csv, once, and prints that path.
day() {
  local name="$1"
  shift
  [ -f "$work/$name.csv" ] || "$build/bench/generate_timetable" "$@" "$work/$name.csv"
  echo "$work/$name.csv"
}

# The median of the numbers on standard input, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# A short checksum of a report without its run time, to compare the reports
# of runs that must agree.
timeless() { sed -E 's#<(exec_time_sec|elapsed_seconds)>[^<]*##' "$1" | md5sum | cut -c1-8; }
