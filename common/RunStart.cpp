#include "common/RunStart.h"

#include <iostream>

#include "common/OptionMistakes.h"
#include "common/Poset.h"
#include "common/ProgramFrame.h"

namespace po = boost::program_options;

namespace frame {

RunStart::RunStart(const po::options_description& own, const po::options_description& all,
                   std::string optionsText, std::string usageLine)
    : own_(own), all_(all), optionsText_(std::move(optionsText)),
      usageLine_(std::move(usageLine)) {}

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

std::uint32_t RunStart::Seed(int seed, bool perStream, std::mt19937_64& engine,
                             const std::function<std::uint32_t(std::uint32_t)>& share) {
  std::random_device device("default");
  if (perStream) return share(RunSeed(device, seed));
  SeedEngine(engine, device, seed);
  return 0;
}

int RunStart::CheckOutputs(const output::OutputFiles& outputs, const std::string& timetablePath) {
  const std::string refusal = outputs.Check(timetablePath);
  if (refusal.empty()) return -1;
  std::cout << refusal << std::endl;
  return 1;
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

}  // namespace frame
