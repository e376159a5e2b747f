#pragma once

// Parvel's options beyond the optimising program's own: which search runs
// and whether the bound on balanced chains is reported, the rotations file,
// the memory the run may take, restarts of the exchange search over
// threads and MPI ranks, its time limit, the minimum turnaround time of the
// follow rule, whether a timetable that draws a warning is refused, the
// LP certificate of the best decomposition, the exchange search's share
// of re-pairing proposals, and its polish. They form a group of their own,
// listed after the own options, so that a run without them behaves and
// prints as before.

#include <string>
#include <vector>

#include <boost/program_options.hpp>

#include "common/FollowRule.h"
#include "common/MemoryLimit.h"
#include "common/ProgramFrame.h"
#include "localsearch/SearchKind.h"
#include "localsearch/SearchStop.h"

namespace parvel {

// A time budget in seconds: a positive finite number.
struct PositiveSeconds {
  double value = 0.0;
};

// Reads a PositiveSeconds option value; anything else is a command-line
// error.
void validate(boost::any& value, const std::vector<std::string>& tokens, PositiveSeconds*, int);

// Value of the "time_limit" option: seconds, more than 0; or the line that
// says why the given text is not a time limit.
struct TimeLimit {
  double seconds = 0.0;
  std::string error;
  bool given = false;
};

// Reads a "time_limit" value; a text that is not one is kept as its error
// line (a repeated option is a command-line error).
void validate(boost::any& value, const std::vector<std::string>& tokens, TimeLimit*, int);

// Value of the "exchange_repair" option: a share from 0 to 1; or the line
// that says why the given text is not one.
struct RepairShare {
  double share = 0.0;
  std::string error;
  bool given = false;
};

// Reads an "exchange_repair" value; a text that is not one is kept as its
// error line (a repeated option is a command-line error).
void validate(boost::any& value, const std::vector<std::string>& tokens, RepairShare*, int);

// Variables bound to the options of the group.
struct ExtensionSettings {
  SearchKind search = SearchKind::Walk;
  bool bound = false;
  std::string rotationsPath;  // empty: no rotations file
  memory::Size maxMemory{memory::DefaultLimit()};
  frame::Count restarts;  // read only when the option is given
  frame::Count threads;
  bool strict = false;  // a timetable warning is an error
  bool certify = false;
  PositiveSeconds certifySeconds{60.0};
  TimeLimit timeLimit;
  MinTurnOption minTurn;
  RepairShare repair;
  bool polish = false;
};

// The group, without caption (see frame::DescribeOptions). An unknown search
// name is a command-line error.
boost::program_options::options_description MakeExtensionOptions(ExtensionSettings& settings);

// The checks of the group's values that stop a run with one line: a
// minimum turn, a time limit or a repair share that is not one, a time
// limit, a repair share or the polish for the walk.
// Prints the line and returns 1, or returns -1 to go on.
int CheckExtensionValues(const ExtensionSettings& settings);

// A stop with the time limit's deadline, counted from `runStart` (none
// without the option).
SearchStop TimeLimitStop(const ExtensionSettings& settings, frame::Clock::time_point runStart);

// True when any option of `group` was given.
bool AnyGiven(const boost::program_options::variables_map& vm,
              const boost::program_options::options_description& group);

}  // namespace parvel

// Reads a search option value ("walk" or "exchange").
void validate(boost::any& value, const std::vector<std::string>& tokens, SearchKind*, int);
