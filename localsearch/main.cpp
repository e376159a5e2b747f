#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <boost/program_options.hpp>
#include <boost/property_tree/ptree.hpp>

#include "bipartite/BGraph.h"
#include "common/MemoryLimit.h"
#include "common/Poset.h"
#include "common/ProgramFrame.h"
#include "common/TimeTable.h"
#include "localsearch/Decomposition.h"
#include "localsearch/LocalSearch.h"

namespace po = boost::program_options;

namespace {

const char* const kTitleLine = "* Local search procedure for Dilworth's problem             * \n";
const char* const kUsageLine =
    " (Usage example: Parvel --timetable <path to timetable> --N <Maximum iterations number>  "
    "--treshold <the rest time between flights> --seed <seed> --outpath <outpath for external "
    "output analysis>)";

template <typename T>
std::string JoinWithCommas(const std::vector<T>& values) {
  std::string text;
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (k > 0) text += ",";
    text += std::to_string(values[k]);
  }
  return text;
}

void PrintCounts(const char* label, int balanced, int rest, double threshold) {
  std::cout << label << " performance: # of balanced chains: " << balanced
            << " # of chains with rest time >= " << threshold << ": " << rest << std::endl;
}

struct FinalResult {
  BGraph::Decomposition decomposition;
  int balanced = 0;
  int rest = 0;
};

boost::property_tree::ptree BuildReport(const FinalResult& result, double threshold,
                                        double elapsedSeconds, const LocalSearch& search,
                                        bool recordPerformance) {
  boost::property_tree::ptree report;
  report.add("OPT.<xmlattr>.version", "1.0");
  report.add("OPT.decomposition_size", result.decomposition.size());
  report.add("OPT.number_of_balanced_chains", result.balanced);
  report.add("OPT.treshold_rest", threshold);
  report.add("OPT.number_of_chains_with_rest", result.rest);
  report.add("OPT.elapsed_seconds", elapsedSeconds);
  boost::property_tree::ptree& decomp = report.add("OPT.opt_decomp", "");
  for (const BGraph::Chain& chain : result.decomposition)
    decomp.add("chain", JoinWithCommas(chain));
  if (recordPerformance) {
    decomp.add("performance.balances", JoinWithCommas(search.Balances()));
    decomp.add("performance.rest", JoinWithCommas(search.Rests()));
  }
  return report;
}

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
  memory::Size maxMemory{memory::DefaultLimit()};
  po::options_description extensionOptions(80, 40);
  extensionOptions.add_options()
      ("max_memory", po::value<memory::Size>(&maxMemory),
       "memory the precedence graph may take, in bytes or with K, M, G (512M, 8G; default: half "
       "the machine's memory)");
  po::options_description allOptions;
  allOptions.add(desc).add(extensionOptions);
  const std::string optionsText = frame::DescribeOptions(desc, "Extensions", extensionOptions);

  const frame::Clock::time_point start = frame::Clock::now();
  try {
    const po::variables_map vm = frame::ParseCommandLine(argc, argv, allOptions, {"N"});
    const int status = frame::CheckCommonOptions(vm, optionsText, kUsageLine);
    if (status >= 0) return status;

    std::random_device device("default");
    std::mt19937_64 engine;
    frame::SeedEngine(engine, device, seed);

    TimeTable table;
    table.LoadInstance(timetablePath);
    const memory::GraphCheck fit = memory::CheckGraph(
        Poset::CountPairs(table.passages), table.passages.size(), maxMemory.bytes);
    if (!fit.fits) {
      std::cout << fit.message << std::endl;
      return 1;
    }
    Poset poset;
    poset.CreatePoset(table);

    BGraph graph;
    graph.InitGraphFromPoset(table, poset);
    poset = Poset();  // the graph holds the pairs; nothing reads them again
    const bool recording = recordPerformance != 0;
    LocalSearch search(graph, table, engine, tresholdRest, recording);
    std::cout << "Running local search with sample size N=" << iterations << std::endl
              << std::endl;
    PrintCounts("initial", search.InitialBalanced(), search.InitialRest(), tresholdRest);
    std::cout << std::endl;
    search.Run(iterations);
    PrintCounts("final", search.BestBalanced(), search.BestRest(), tresholdRest);
    const frame::Clock::time_point stop = frame::Clock::now();

    FinalResult result;
    BGraph::Matching matching = search.Best().ToMatching();
    result.decomposition = graph.GetDillworthDecompositionFromMatching(matching);
    Decomposition::GetNumberOfBalancedAndRest(table, result.decomposition, result.balanced,
                                              result.rest, tresholdRest);
    const double elapsed = frame::ElapsedSeconds(start, stop);
    return frame::FinishRun(BuildReport(result, tresholdRest, elapsed, search, recording),
                            outpath, elapsed);
  } catch (std::exception&) {
    std::cout << optionsText << "\n";
    return 1;
  }
}
