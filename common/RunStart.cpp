#include "common/RunStart.h"

#include <iostream>
#include <utility>

#include "common/OptionMistakes.h"
#include "common/Poset.h"
#include "common/ProgramFrame.h"

namespace po = boost::program_options;

namespace frame {

RunStart::RunStart(const po::options_description& own, const std::string& caption,
                   const po::options_description& extensions, std::string usageLine)
    : own_(own), optionsText_(DescribeOptions(own, caption, extensions)),
      usageLine_(std::move(usageLine)) {
  all_.add(own).add(extensions);
}

int RunStart::Parse(int argc, char* argv[], const std::vector<std::string>& unsignedOptions) {
  memory::SetActivity("reading the command line");
  try {
    options_ = ParseCommandLine(argc, argv, all_, unsignedOptions, &own_);
  } catch (const po::error& error) {
    const std::string line = ExplainOptionError(error, all_);
    NoteErrorLine(line);
    std::cerr << line << std::endl;
    std::cout << optionsText_ << "\n";
    return 1;
  }
  return CheckCommonOptions(options_, optionsText_, usageLine_);
}

int RunStart::Lay(bool perStream, const Share& share, const output::OutputFiles* outputs,
                  bool strict, const FollowRule& rule, Ground& ground) const {
  const int seed = options_.count("seed") ? options_["seed"].as<int>() : -1;
  const std::string& path = options_["timetable"].as<std::string>();
  ground.streamSeed = Seed(seed, perStream, ground.engine, share);
  if (outputs != nullptr && CheckOutputs(*outputs, path) >= 0) return 1;
  if (Load(path, strict, ground.plan, ground.table) >= 0) return 1;
  ground.fit = PlanGraph(ground.table, rule, ground.plan);
  return -1;
}

std::uint32_t RunStart::Seed(int seed, bool perStream, std::mt19937_64& engine,
                             const Share& share) {
  std::random_device device("default");
  if (perStream) return share(RunSeed(device, seed));
  SeedEngine(engine, device, seed);
  return 0;
}

int RunStart::CheckOutputs(const output::OutputFiles& outputs, const std::string& timetablePath) {
  const std::string refusal = outputs.Check(timetablePath);
  return refusal.empty() ? -1 : Stop(refusal);
}

int RunStart::Load(const std::string& path, bool strict, memory::Plan& plan, TimeTable& table) {
  memory::SetActivity("loading the timetable");
  // A loaded passage holds its record, its map entry and its line number
  // (with room for the lists' growth): a timetable whose passages alone pass
  // the limit is refused as soon as that many are read.
  constexpr std::uint64_t perPassage = 128;
  TimeTable::LoadChecks checks;
  checks.strict = strict;
  checks.maxPassages = static_cast<std::size_t>(plan.Room() / perPassage);
  memory::Plan over = plan;
  over.Add("the timetable's passages (more than " + std::to_string(checks.maxPassages) + ")",
           memory::SaturatingProduct(checks.maxPassages + 1, perPassage));
  checks.tooMany = over.Refusal();
  LoadWarnings warnings(path);
  std::string error;
  if (!table.Load(path, checks, error, &warnings)) {
    std::cout << error << std::flush;
    return 1;
  }
  for (const std::string& line : warnings.Lines()) std::cerr << line << std::endl;
  return -1;
}

memory::GraphCheck RunStart::PlanGraph(const TimeTable& table, const FollowRule& rule,
                                       memory::Plan& plan) {
  memory::SetActivity("counting the precedence pairs");
  memory::GraphCheck fit =
      memory::CheckGraph(Poset::CountPairs(table.passages, rule), table.passages.size(), plan.Room());
  if (fit.fits) {
    plan.Add("the precedence graph (" + std::to_string(fit.pairs) + " pairs)", fit.bytes);
  } else {
    // The graph's own line names the limit the user set, not what was left.
    fit.message = memory::CheckGraph(fit.pairs, table.passages.size(), plan.Limit()).fits
                      ? [&] {
                          memory::Plan over = plan;
                          over.Add("the precedence graph (" + std::to_string(fit.pairs) +
                                       " pairs)",
                                   fit.bytes);
                          return over.Refusal();
                        }()
                      : memory::CheckGraph(fit.pairs, table.passages.size(), plan.Limit()).message;
  }
  memory::SetActivity("building the precedence graph");
  return fit;
}

int RunStart::Stop(const std::string& line) {
  std::cout << line << std::endl;
  return 1;
}

}  // namespace frame
