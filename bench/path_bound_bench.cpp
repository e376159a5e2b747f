// path_bound_bench [--seconds S] [--columns C] [--smoothing A] [--search] [--short_homes]
//                  <day.csv> ...
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
// 1 - A times the master's (default 0: the master's). --short_homes (with
// --search) gives a commodity only to the homes where the search's best
// has fewer balanced chains than the chains starting and ending there
// allow, as the certificate's first program does, and adds the others'
// minima to the bound (the time-space LP then likewise).
//
// Times are CPU seconds of this process (std::clock): on a shared machine
// compare them, not wall times.

#include <ctime>
#include <memory>
#include <random>
#include <iomanip>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "bench/ModelDay.h"
#include "bipartite/BGraph.h"
#include "certify/Certificate.h"
#include "certify/PathBound.h"
#include "certify/TimeSpaceModel.h"
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

// Open chains that start, end, and (in `best`) are balanced, per terminal
// number.
struct Counts {
  std::map<std::uint32_t, int> starts, ends, balanced;
};

Counts CountChains(const std::vector<Passage>& passages, const BGraph::Matching& matching) {
  const auto n = static_cast<std::uint32_t>(passages.size());
  std::vector<std::uint32_t> next(n, n);
  std::vector<bool> hasPrevious(n, false);
  for (const auto& pair : matching) {
    const auto left = static_cast<std::uint32_t>(std::min(pair.first, pair.second));
    const auto right = static_cast<std::uint32_t>(std::max(pair.first, pair.second)) - n;
    next[left] = right;
    hasPrevious[right] = true;
  }
  Counts counts;
  for (std::uint32_t p = 0; p < n; ++p) {
    if (next[p] == n) ++counts.ends[passages[p].destination];
    if (hasPrevious[p]) continue;
    ++counts.starts[passages[p].origin];
    std::uint32_t last = p;
    while (next[last] != n) last = next[last];
    if (passages[last].destination == passages[p].origin) ++counts.balanced[passages[p].origin];
  }
  return counts;
}

// The homes where `best` has fewer balanced chains than min(starts, ends)
// there (which every maximum matching shares), and the sum of that minimum
// over the others: a bound on their balanced chains.
int ShortHomes(const certify::Day& day, const BGraph::Matching& maximum,
               const BGraph::Matching& best, std::vector<std::uint32_t>& homes) {
  const Counts all = CountChains(day.passages, maximum);
  Counts found = CountChains(day.passages, best);
  homes.clear();
  int minima = 0;
  for (const auto& [terminal, starts] : all.starts) {
    const auto ends = all.ends.find(terminal);
    const int most = ends == all.ends.end() ? 0 : std::min(starts, ends->second);
    if (found.balanced[terminal] < most) homes.push_back(terminal);
    else minima += most;
  }
  if (homes.empty()) homes.push_back(certify::kNoHome);  // not empty: no home at all
  return minima;
}

void Measure(const std::string& file, double seconds, int columns, bool search,
             double smoothing, bool shortHomes) {
  ModelDay loaded;
  if (!loaded.Load(file)) return;
  auto& [table, graph, maximum, day] = loaded;
  std::cout << file << ": " << day.passages.size() << " passages, " << day.openChains
            << " open chains" << std::endl;

  certify::PathBoundSettings settings;
  settings.seconds = seconds;
  settings.columnsPerHome = columns;
  settings.smoothing = smoothing;
  BGraph::Matching first = maximum;
  int minima = 0;
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
    if (shortHomes) {
      minima = ShortHomes(day, maximum, first, day.homes);
      settings.stopBelow -= minima;
      std::cout << "  short homes: " << day.homes.size() << ", the others' minima " << minima
                << std::endl;
    }
  }
  const certify::PathBoundResult path = certify::SolvePathBound(day, first, settings);
  if (shortHomes)
    std::cout << "  chains bound with the minima: " << path.bound + minima << std::endl;
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
    std::cout << "bound " << model.IntegerBound(solution.objective) + minima;
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
  bool shortHomes = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--seconds" && i + 1 < argc) {
      seconds = std::stod(argv[++i]);
    } else if (argument == "--smoothing" && i + 1 < argc) {
      smoothing = std::stod(argv[++i]);
    } else if (argument == "--short_homes") {
      shortHomes = search = true;
    } else if (argument == "--search") {
      search = true;
    } else if (argument == "--columns" && i + 1 < argc) {
      columns = std::stoi(argv[++i]);
    } else if (argument.size() > 4 && argument.compare(argument.size() - 4, 4, ".csv") == 0) {
      files.push_back(argument);
    } else {
      std::cout << "Usage: path_bound_bench [--seconds S] [--columns C] [--smoothing A] [--search] "
                   "[--short_homes] <day.csv> ..."
                << std::endl;
      return 1;
    }
  }
  for (const std::string& file : files)
    Measure(file, seconds, columns, search, smoothing, shortHomes);
  return 0;
}
