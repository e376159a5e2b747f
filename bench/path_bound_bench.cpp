// path_bound_bench [--seconds S] [--columns C] <day.csv> ...
//
// The balanced bound by the chain formulation (column generation) against
// the time-space model's LP, on each day: for the chain formulation, its
// bound (the Lagrangian bound, rounded down), the last master's optimum,
// how it ended, rounds, columns, the most pricing sweeps, and CPU seconds
// (of which in the simplex); for the time-space model (every home a
// commodity, Clp's dual simplex after presolve, as the certificate solves
// it), its size, bound and CPU seconds. Both get S CPU seconds (default
// 60); C chains enter per home and round (default 3). Both bound the open
// balanced chains of every maximum matching; on days whose relation has
// cycles the chain formulation is a relaxation of the time-space model
// (passages on cycles need not be covered) and may bound higher.
//
// Times are CPU seconds of this process (std::clock): on a shared machine
// compare them, not wall times.

#include <ctime>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "bipartite/BGraph.h"
#include "certify/Certificate.h"
#include "certify/PathBound.h"
#include "certify/TimeSpaceModel.h"
#include "common/Poset.h"

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

void Measure(const std::string& file, double seconds, int columns) {
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
  const certify::PathBoundResult path = certify::SolvePathBound(day, maximum, settings);
  std::cout << std::fixed << std::setprecision(2) << "  chains: bound " << path.bound
            << " (Lagrangian " << path.lagrangian << ", master " << path.lpValue << "), "
            << Ending(path.status) << (path.cyclic ? ", cyclic" : ", acyclic") << ", "
            << path.rounds << " rounds, " << path.columns << " columns, "
            << path.largestSweeps << " sweeps at most, " << path.seconds << " CPU s ("
            << path.lpSeconds << " in the simplex)" << std::endl;
  if (path.cyclic)
    std::cout << "  chains, passages on cycles covered at most once: bound " << path.relaxedBound
              << ", " << path.relaxedRounds << " rounds, " << path.relaxedSeconds << " CPU s"
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
  int columns = 3;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--seconds" && i + 1 < argc) {
      seconds = std::stod(argv[++i]);
    } else if (argument == "--columns" && i + 1 < argc) {
      columns = std::stoi(argv[++i]);
    } else if (argument.size() > 4 && argument.compare(argument.size() - 4, 4, ".csv") == 0) {
      files.push_back(argument);
    } else {
      std::cout << "Usage: path_bound_bench [--seconds S] [--columns C] <day.csv> ..." << std::endl;
      return 1;
    }
  }
  for (const std::string& file : files) Measure(file, seconds, columns);
  return 0;
}
