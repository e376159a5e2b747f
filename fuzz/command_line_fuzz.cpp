// Fuzz target for the command line of both programs: the input is split
// at line feeds into arguments and parsed with Quorlin's and Parvel's
// option sets (the shared frame and each program's extensions group). Malformed command lines must end in the standard exceptions the
// programs catch, never in a crash or a sanitizer report.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include <boost/program_options.hpp>

#include "common/MemoryLimit.h"
#include "common/ProgramFrame.h"
#include "localsearch/ParvelExtensions.h"
#include "se/QuorlinExtensions.h"

namespace po = boost::program_options;

namespace {

std::vector<std::string> Arguments(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args{"program"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      args.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty()) args.push_back(current);
  return args;
}

void Parse(const std::vector<const char*>& argv, const po::options_description& own,
           const po::options_description& options, const std::string& optionsText,
           const std::vector<std::string>& unsignedOptions) {
  try {
    const po::variables_map vm = frame::ParseCommandLine(
        static_cast<int>(argv.size()), argv.data(), options, unsignedOptions, &own);
    frame::CheckCommonOptions(vm, optionsText, "usage");
  } catch (std::exception&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::cout.setstate(std::ios::failbit);  // help texts are not the point here
  const std::vector<std::string> args = Arguments(data, size);
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());

  std::string timetable;
  std::string outpath;
  unsigned int budget = 1;
  unsigned int repetitions = 100;
  int seed = -1;
  double threshold = 11.0;
  int record = 0;

  po::options_description quorlin(frame::MakeBanner("title\n"), 80, 40);
  quorlin.add_options()("help", "help")("timetable", po::value<std::string>(&timetable), "t")(
      "B", po::value<unsigned int>(&budget), "b")("N", po::value<unsigned int>(&repetitions), "n")(
      "seed", po::value<int>(&seed), "s")("outpath", po::value<std::string>(&outpath), "o");
  quorlin::ExtensionSettings settings;
  const po::options_description extensionOptions = quorlin::MakeExtensionOptions(settings);
  po::options_description allQuorlin;
  allQuorlin.add(quorlin).add(extensionOptions);
  Parse(argv, quorlin, allQuorlin, frame::DescribeOptions(quorlin, "Extensions", extensionOptions),
        {"B", "N"});

  po::options_description parvel(frame::MakeBanner("title\n"), 80, 40);
  parvel.add_options()("help", "help")("timetable", po::value<std::string>(&timetable), "t")(
      "N", po::value<unsigned int>(&repetitions), "n")(
      "treshold_rest", po::value<double>(&threshold), "r")("seed", po::value<int>(&seed), "s")(
      "record_performance_by_iteration", po::value<int>(&record), "p")(
      "outpath", po::value<std::string>(&outpath), "o");
  parvel::ExtensionSettings parvelSettings;
  const po::options_description parvelExtensions = parvel::MakeExtensionOptions(parvelSettings);
  po::options_description allParvel;
  allParvel.add(parvel).add(parvelExtensions);
  Parse(argv, parvel, allParvel, frame::DescribeOptions(parvel, "Extensions", parvelExtensions),
        {"N"});

  for (const std::string& arg : args) {
    std::uint64_t bytes = 0;
    if (memory::ParseSize(arg, bytes) && bytes == 0) std::abort();
  }
  return 0;
}
