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

const char* const kTitleLine = "* Local search procedure for Dilworth's problem             * \n";
const char* const kUsageLine =
    " (Usage example: Parvel --timetable <path to timetable> --N <Maximum iterations number>  "
    "--treshold <the rest time between flights> --seed <seed> --outpath <outpath for external "
    "output analysis>)";

}  // namespace

int main(int argc, char* argv[]) {
  std::string timetablePath;
  unsigned int iterations = 1000;
  double tresholdRest = 11.0;
  int seed = -1;
  int recordPerformance = 0;
  std::string outpath;

  po::options_description desc(frame::MakeBanner(kTitleLine), 80, 40);
  desc.add_options()
      ("help", "produce help message")
      ("timetable", po::value<std::string>(&timetablePath), "input timetable instance file")
      ("N", po::value<unsigned int>(&iterations), "Maximum iterations (N) (default is 1000)")
      ("treshold_rest", po::value<double>(&tresholdRest),
       "the rest time between flights in hours (default is 11 h)")
      ("seed", po::value<int>(&seed), "random number generator seed (default is none)")
      ("record_performance_by_iteration", po::value<int>(&recordPerformance),
       "record performance (1 - yes, 0 otherwise) (default is 0)")
      ("outpath", po::value<std::string>(&outpath), "output file (optional)");

  const frame::Clock::time_point start = frame::Clock::now();
  try {
    const po::variables_map vm = frame::ParseCommandLine(argc, argv, desc, {"N"});
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
    report.add("OPT.<xmlattr>.version", "1.0");
    return frame::FinishRun(report, outpath, frame::ElapsedSeconds(start, stop));
  } catch (std::exception&) {
    std::cout << desc << "\n";
    return 1;
  }
}
