#pragma once

// The start of a run, the same for both programs: the command line (with a
// line that explains a mistake), the common checks, the seeding of the run's
// random engine or streams, the check of the output files, the load of the
// timetable (its warnings, or under --strict its first one as the error),
// and the memory plan of the passages and the precedence graph.
//
// Every step returns -1 to go on, or the exit status with which the run
// stops, after its one line (or the help). The steps keep the order in
// which the run prints: parse and checks, seed, outputs, load, graph.

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <boost/program_options.hpp>

#include "common/FollowRule.h"
#include "common/MemoryLimit.h"
#include "common/MemoryPlan.h"
#include "common/OutputFiles.h"
#include "common/TimeTable.h"

namespace frame {

class RunStart {
 public:
  // `own`: the program's own options; `all`: those and the extensions, as
  // parsed; `optionsText`: the description as printed.
  RunStart(const boost::program_options::options_description& own,
           const boost::program_options::options_description& all, std::string optionsText,
           std::string usageLine);

  // Parses, stores and notifies; then the help, seed and timetable checks.
  // A command-line error prints its line on standard error, then the
  // options description on standard output.
  int Parse(int argc, char* argv[], const std::vector<std::string>& unsignedOptions);
  const boost::program_options::variables_map& Options() const { return options_; }

  // Seeds `engine` (SeedEngine), or, with `perStream`, draws the seed of
  // the run's streams once and hands it to `share` (which gives every
  // process the leader's), returning what it gives.
  static std::uint32_t Seed(int seed, bool perStream, std::mt19937_64& engine,
                            const std::function<std::uint32_t(std::uint32_t)>& share);

  // The outputs' refusal (OutputFiles::Check), before any work.
  static int CheckOutputs(const output::OutputFiles& outputs, const std::string& timetablePath);

  // Loads the timetable, holding its passages against `plan` as they are
  // read. Warnings go to standard error; with `strict` the first one stops
  // the run instead.
  static int Load(const std::string& path, bool strict, memory::Plan& plan, TimeTable& table);

  // The precedence graph's check: when it fits, its need joins `plan`.
  static memory::GraphCheck PlanGraph(const TimeTable& table, const FollowRule& rule,
                                      memory::Plan& plan);

 private:
  const boost::program_options::options_description& own_;
  const boost::program_options::options_description& all_;
  std::string optionsText_;
  std::string usageLine_;
  boost::program_options::variables_map options_;
};

}  // namespace frame
