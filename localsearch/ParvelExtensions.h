#pragma once

// Parvel's options beyond the optimising program's own: which search runs
// and whether the bound on balanced chains is reported, the rotations file,
// the memory the run may take, restarts of the exchange search over
// threads and MPI ranks, whether a timetable that draws a warning is
// refused, and the LP certificate of the best decomposition. They form a group
// of their own, listed after the own options, so that a run without them
// behaves and prints as before.

#include <string>
#include <vector>

#include <boost/program_options.hpp>

#include "common/MemoryLimit.h"
#include "common/ProgramFrame.h"
#include "localsearch/SearchKind.h"

namespace parvel {

// A time budget in seconds: a positive finite number.
struct PositiveSeconds {
  double value = 0.0;
};

// Reads a PositiveSeconds option value; anything else is a command-line
// error.
void validate(boost::any& value, const std::vector<std::string>& tokens, PositiveSeconds*, int);

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
};

// The group, without caption (see frame::DescribeOptions). An unknown search
// name is a command-line error.
boost::program_options::options_description MakeExtensionOptions(ExtensionSettings& settings);

}  // namespace parvel

// Reads a search option value ("walk" or "exchange").
void validate(boost::any& value, const std::vector<std::string>& tokens, SearchKind*, int);
