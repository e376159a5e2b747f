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
  // `own`: the program's own options; `extensions`: its extensions group,
  // printed under `caption`. Both must outlive the run start.
  RunStart(const boost::program_options::options_description& own, const std::string& caption,
           const boost::program_options::options_description& extensions,
           std::string usageLine);

  // The options description as printed (help, command-line mistakes).
  const std::string& OptionsText() const { return optionsText_; }

  // Parses, stores and notifies; then the help, seed and timetable checks.
  // A command-line error prints its line on standard error, then the
  // options description on standard output.
  int Parse(int argc, char* argv[], const std::vector<std::string>& unsignedOptions);
  const boost::program_options::variables_map& Options() const { return options_; }

  // What the common start leaves: the seeded engine (or the streams'
  // seed), the loaded timetable, the plan holding its passages and, when it
  // fits, the graph, and the graph's check.
  struct Ground {
    explicit Ground(std::uint64_t memoryLimit) : plan(memoryLimit) {}
    std::mt19937_64 engine;
    std::uint32_t streamSeed = 0;
    TimeTable table;
    memory::Plan plan;
    memory::GraphCheck fit;
  };
  using Share = std::function<std::uint32_t(std::uint32_t)>;
  // After Parse and the run's own checks: Seed (with the parsed seed), the
  // check of `outputs` when given (the leader's), Load and PlanGraph of the
  // parsed timetable. A graph that does not fit is no stop here:
  // `ground.fit` holds its line.
  int Lay(bool perStream, const Share& share, const output::OutputFiles* outputs, bool strict,
          const FollowRule& rule, Ground& ground) const;

  // Seeds `engine` (SeedEngine), or, with `perStream`, draws the seed of
  // the run's streams once and hands it to `share` (which gives every
  // process the leader's), returning what it gives.
  static std::uint32_t Seed(int seed, bool perStream, std::mt19937_64& engine,
                            const Share& share);

  // The outputs' refusal (OutputFiles::Check), before any work.
  static int CheckOutputs(const output::OutputFiles& outputs, const std::string& timetablePath);

  // Loads the timetable, holding its passages against `plan` as they are
  // read. Warnings go to standard error; with `strict` the first one stops
  // the run instead.
  static int Load(const std::string& path, bool strict, memory::Plan& plan, TimeTable& table);

  // The precedence graph's check: when it fits, its need joins `plan`.
  static memory::GraphCheck PlanGraph(const TimeTable& table, const FollowRule& rule,
                                      memory::Plan& plan);

  // Prints the one line of a run that cannot go on; returns its status, 1.
  static int Stop(const std::string& line);

 private:
  const boost::program_options::options_description& own_;
  boost::program_options::options_description all_;
  std::string optionsText_;
  std::string usageLine_;
  boost::program_options::variables_map options_;
};

}  // namespace frame
