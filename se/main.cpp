#include <iostream>
#include <random>
#include <string>

#include <boost/program_options.hpp>
#include <boost/property_tree/ptree.hpp>

#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "common/ProgramFrame.h"
#include "common/TimeTable.h"

namespace po = boost::program_options;

namespace {

const char* const kTitleLine =
    "* Stochastic Enumeration package for Dilworth's problem counting   * \n";
const char* const kUsageLine =
    " (Usage example: Quorlin --timetable <path to timetable> --B <SE budget> --N <SE "
    "repetitions number> --seed <seed> --outpath <outpath for external output analysis>)";

}  // namespace

int main(int argc, char* argv[]) {
  std::string timetablePath;
  unsigned int budget = 1;
  unsigned int repetitions = 100;
  int seed = -1;
  std::string outpath;

  po::options_description desc(frame::MakeBanner(kTitleLine), 80, 40);
  desc.add_options()
      ("help", "produce help message")
      ("timetable", po::value<std::string>(&timetablePath), "input timetable instance file")
      ("B", po::value<unsigned int>(&budget), "Stochastic Enumeration budget (B) (default is 1)")
      ("N", po::value<unsigned int>(&repetitions),
       "Stochastic Enumeration repetitions (N) (default is 100)")
      ("seed", po::value<int>(&seed), "random number generator seed (default is none)")
      ("outpath", po::value<std::string>(&outpath), "output file (optional)");

  const frame::Clock::time_point start = frame::Clock::now();
  try {
    const po::variables_map vm = frame::ParseCommandLine(argc, argv, desc, {"B", "N"});
    const int status = frame::CheckCommonOptions(vm, desc, kUsageLine);
    if (status >= 0) return status;

    std::random_device device("default");
    std::mt19937_64 engine;
    frame::SeedEngine(engine, device, seed);

    TimeTable table;
    table.LoadInstance(timetablePath);
    Poset poset;
    poset.CreatePoset(table);

    const frame::Clock::time_point stop = frame::Clock::now();
    boost::property_tree::ptree report;
    report.add("SE.<xmlattr>.version", "1.0");
    return frame::FinishRun(report, outpath, frame::ElapsedSeconds(start, stop));
  } catch (std::exception&) {
    std::cout << desc << "\n";
    return 1;
  }
}
