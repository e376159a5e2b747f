// exchange_tune <timetable.csv> <rounds> [--default] [--seeds A-B] [--restarts R] [--weight W]
//               [--start T0] [--end T1] [--aimed S] [--rest_aims S]
//               [--repair S] [--repair_start F] [--polish P] [--polish_every R]
//               [--polish_from F] [--polish_shuffle 0|1] [--polish_span K]
//               [--polish_once 0|1] [--min_turn M]
//
// Runs the exchange search alone on a timetable file for each seed from A
// to B (default 1-1), each the best of R restarts (default 1) of the given
// schedule (with --default: the rounds and restarts Parvel's exchange
// search runs by default on this day, <rounds> ignored; the same results as
// `Parvel --search exchange --seed S`), and prints per seed the best balanced and rested counts, the
// bounds, and the search's CPU seconds; then the best of all seeds. For
// choosing the schedule's defaults: compare a schedule's counts with the
// best known (the best over long runs). --polish 1 polishes each search's
// best at its end (BoardPolish), --polish 2 also at its two returns to the
// best; --polish_every R also the state every R rounds from the part F of
// the run on (by plateau jumps with --polish_shuffle 1); --polish_span and
// --polish_once set the polish's windows (AnnealingSchedule). With --polish
// each seed's line counts the re-pairings that raised the score.
// Parvel's --exchange_polish is --polish 1 --polish_every 50
// --polish_shuffle 1.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <random>
#include <string>

#include "bipartite/BGraph.h"
#include "common/FollowRule.h"
#include "common/Poset.h"
#include "common/TimeTable.h"
#include "localsearch/BalancedBound.h"
#include "localsearch/ExchangePlan.h"
#include "localsearch/ExchangeSearch.h"
#include "localsearch/SearchBounds.h"
#include "parallel/Streams.h"

namespace {

double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::cout << "usage: exchange_tune <timetable.csv> <rounds> [--default] [--seeds A-B] "
                 "[--restarts R] "
                 "[--weight W] [--start T0] [--end T1] [--aimed S] [--rest_aims S] "
                 "[--repair S] [--repair_start F] [--polish P] [--polish_every R] "
                 "[--polish_from F] [--polish_shuffle 0|1] [--polish_span K] "
                 "[--polish_once 0|1] [--min_turn M]\n";
    return 1;
  }
  const std::string path = argv[1];
  const unsigned roundsGiven = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
  unsigned firstSeed = 1;
  unsigned lastSeed = 1;
  unsigned restarts = 1;
  bool plan = false;
  AnnealingSchedule schedule;
  FollowRule rule;
  for (int k = 3; k < argc; k += 2) {
    const std::string flag = argv[k];
    if (flag == "--default") {
      plan = true;
      --k;
      continue;
    }
    if (k + 1 == argc) {
      std::cout << "option " << flag << " needs a value\n";
      return 1;
    }
    const std::string text = argv[k + 1];
    const double value = std::strtod(text.c_str(), nullptr);
    if (flag == "--seeds") {
      firstSeed = static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 10));
      const std::size_t dash = text.find('-');
      lastSeed = dash == std::string::npos
                     ? firstSeed
                     : static_cast<unsigned>(std::strtoul(text.c_str() + dash + 1, nullptr, 10));
    } else if (flag == "--restarts") {
      restarts = std::max(1u, static_cast<unsigned>(value));
    } else if (flag == "--weight") {
      schedule.restWeight = value;
    } else if (flag == "--start") {
      schedule.startTemperature = value;
    } else if (flag == "--end") {
      schedule.endTemperature = value;
    } else if (flag == "--aimed") {
      schedule.aimedShare = value;
    } else if (flag == "--rest_aims") {
      schedule.restAimShare = value;
    } else if (flag == "--repair") {
      schedule.repairShare = value;
    } else if (flag == "--repair_start") {
      schedule.repairStart = value;
    } else if (flag == "--polish") {
      schedule.polish = value >= 1;
      schedule.polishReturns = value >= 2;
    } else if (flag == "--polish_every") {
      schedule.polishEvery = static_cast<unsigned>(value);
    } else if (flag == "--polish_shuffle") {
      schedule.polishShuffle = value >= 1;
    } else if (flag == "--polish_span") {
      schedule.polishSpan = static_cast<unsigned>(value);
    } else if (flag == "--polish_once") {
      schedule.polishOnce = value >= 1;
    } else if (flag == "--polish_from") {
      schedule.polishFrom = value;
    } else if (flag == "--min_turn") {
      rule.minTurn = value;
    } else {
      std::cout << "unknown option " << flag << "\n";
      return 1;
    }
  }
  TimeTable table;
  table.LoadInstance(path);
  Poset poset;
  poset.CreatePoset(table, rule);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  const BGraph::Matching maximum = graph.GetMaxMatching();
  const SearchBounds bounds = CombinatorialBounds(graph, table, maximum);
  const int terminalBound = OpenBalancedChainsBound(graph, table, maximum);
  unsigned rounds = roundsGiven;
  if (plan) {
    const ExchangePlan byDay = PlanExchange(std::nullopt, std::nullopt, RowsWithCells(graph));
    restarts = byDay.restarts;
    rounds = byDay.rounds;
    std::cout << "default plan: " << byDay.rounds << " rounds, " << restarts << " restarts\n";
  }

  DecompositionCounts overall;
  overall.chains = -1;
  double totalSeconds = 0.0;
  for (unsigned seed = firstSeed; seed <= lastSeed; ++seed) {
    DecompositionCounts best;
    best.chains = -1;
    const double started = CpuSeconds();
    unsigned repaired = 0;
    for (unsigned r = 0; r < restarts; ++r) {
      std::mt19937_64 engine = parallel::MakeStream(seed, r);
      ExchangeSearch search(graph, table, engine, 11.0, false, maximum, schedule, rule);
      search.Run(rounds);
      repaired += search.Polished().improvements;
      if (best.chains < 0 || IsBetter(search.BestCounts(), best)) best = search.BestCounts();
    }
    const double seconds = CpuSeconds() - started;
    totalSeconds += seconds;
    if (overall.chains < 0 || IsBetter(best, overall)) overall = best;
    std::cout << "seed " << seed << " balanced " << best.balanced << " rested " << best.rest
              << " chains " << best.chains << " seconds " << seconds;
    if (schedule.polish) std::cout << " polish raised " << repaired;
    std::cout << "\n";
  }
  std::cout << "best balanced " << overall.balanced << " rested " << overall.rest << " bound "
            << terminalBound << " part bound " << *bounds.balanced << " fewest chains "
            << bounds.chains << " mean seconds "
            << totalSeconds / (lastSeed - firstSeed + 1) << "\n";
  return 0;
}
