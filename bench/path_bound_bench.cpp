// path_bound_bench [--seconds S] [--columns C] [--smoothing A] [--search] <day.csv> ...
//
// The balanced bound by the chain formulation (column generation) against
// the time-space model's LP, on each day: for the chain formulation, its
// bound (the Lagrangian bound, rounded down), the last master's optimum,
// how it ended, the backward passages, rounds, columns, rows and CPU
// seconds (of which in the simplex); for the time-space model (every home a
// commodity, Clp's dual simplex after presolve, as the certificate solves
// it), its size, bound and CPU seconds. Both get S CPU seconds (default
// 60); C segments enter per commodity and round (default 30). Both bound
// the open balanced chains of every maximum matching. With --search, as the
// certificate would use it: the exchange search (seed 1, 1,000 rounds)
// first, whose best decomposition gives the first columns, and the
// generation stops once its bound proves the best's open balanced chains.
// --smoothing A prices by A times the duals of the best bound so far plus
// 1 - A times the master's (default 0: the master's).
//
// Times are CPU seconds of this process (std::clock): on a shared machine
// compare them, not wall times.

#include <ctime>
#include <memory>
#include <random>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "bipartite/BGraph.h"
#include "certify/Certificate.h"
#include "certify/PathBound.h"
#include "certify/TimeSpaceModel.h"
#include "common/Poset.h"
#include "localsearch/Search.h"
#include "localsearch/SearchKind.h"

namespace {

const char* Ending(certify::PathBoundResult::Status status) {
  switch (status) {
    case certify::PathBoundResult::Status::Converged: return "converged";
    case certify::PathBoundResult::Status::Stopped: return "stopped";
    case certify::PathBoundResult::Status::OutOfTime: return "out of time";
    case certify::PathBoundResult::Status::Failed: break;
  }
  return "failed";
}

void Measure(const std::string& file, double seconds, int columns, bool search,
             double smoothing) {
  TimeTable table;
  std::string error;
  if (!table.Load(file, error)) {
    std::cout << error << std::endl;
    return;
  }
  Poset poset;
  poset.CreatePoset(table);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  const BGraph::Matching maximum = graph.GetMaxMatching();
  const certify::Day day = certify::ReadDay(graph, table, maximum);
  std::cout << file << ": " << day.passages.size() << " passages, " << day.openChains
            << " open chains" << std::endl;

  certify::PathBoundSettings settings;
  settings.seconds = seconds;
  settings.columnsPerHome = columns;
  settings.smoothing = smoothing;
  BGraph::Matching first = maximum;
  if (search) {
    constexpr double kThreshold = 11.0;
    std::mt19937_64 engine(1);
    const std::clock_t start = std::clock();
    const std::unique_ptr<Search> exchange =
        MakeSearch(SearchKind::Exchange, graph, table, engine, kThreshold, false);
    exchange->Run(1000);
    first = exchange->BestMatching();
    const DecompositionCounts counts = exchange->BestCounts();
    const int closed = counts.chains - static_cast<int>(day.passages.size() - first.size());
    settings.stopBelow = counts.balanced - closed + 1;
    std::cout << std::fixed << std::setprecision(2) << "  search: best " << counts.balanced
              << " balanced (" << counts.balanced - closed << " open), "
              << static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC << " CPU s"
              << std::endl;
  }
  const certify::PathBoundResult path = certify::SolvePathBound(day, first, settings);
  std::cout << std::fixed << std::setprecision(2) << "  chains: bound " << path.bound
            << " (Lagrangian " << path.lagrangian << ", master " << path.lpValue << "), "
            << Ending(path.status) << ", " << path.backward << " backward passages, "
            << path.rounds << " rounds, " << path.columns << " columns, " << path.rows
            << " rows, " << path.seconds << " CPU s (" << path.lpSeconds << " in the simplex)"
            << std::endl;

  const std::clock_t start = std::clock();
  const certify::TimeSpaceModel model(day, certify::Aim::Balanced, 0.0,
                                      certify::kBalancedColumnBudget);
  std::cout << "  time-space: " << model.Size().columns << " columns, ";
  if (!model.Fits()) {
    std::cout << "too large" << std::endl;
    return;
  }
  const certify::LpSolution solution = certify::MakeLpSolver()->Solve(model.Build(), seconds);
  const double cpu = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  if (solution.status == certify::LpSolution::Status::Optimal)
    std::cout << "bound " << model.IntegerBound(solution.objective);
  else
    std::cout << "no optimum";
  std::cout << ", " << cpu << " CPU s" << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 60.0;
  int columns = 30;
  bool search = false;
  double smoothing = 0.0;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--seconds" && i + 1 < argc) {
      seconds = std::stod(argv[++i]);
    } else if (argument == "--smoothing" && i + 1 < argc) {
      smoothing = std::stod(argv[++i]);
    } else if (argument == "--search") {
      search = true;
    } else if (argument == "--columns" && i + 1 < argc) {
      columns = std::stoi(argv[++i]);
    } else if (argument.size() > 4 && argument.compare(argument.size() - 4, 4, ".csv") == 0) {
      files.push_back(argument);
    } else {
      std::cout << "Usage: path_bound_bench [--seconds S] [--columns C] [--smoothing A] [--search] <day.csv> ..."
                << std::endl;
      return 1;
    }
  }
  for (const std::string& file : files) Measure(file, seconds, columns, search, smoothing);
  return 0;
}
