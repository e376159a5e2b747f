// exchange_tune <timetable.csv> <rounds> [--seed S] [--weight W] [--start T0] [--end T1]
//
// Runs the exchange search alone on a timetable file with the given
// annealing schedule and prints balanced, rested, bound and the search's
// seconds: for choosing the schedule's defaults.

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>

#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "common/TimeTable.h"
#include "localsearch/BalancedBound.h"
#include "localsearch/ExchangeSearch.h"

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::cout << "usage: exchange_tune <timetable.csv> <rounds> [--seed S] [--weight W] "
                 "[--start T0] [--end T1]\n";
    return 1;
  }
  const std::string path = argv[1];
  const unsigned rounds = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
  std::uint64_t seed = 1;
  AnnealingSchedule schedule;
  for (int k = 3; k + 1 < argc; k += 2) {
    const std::string flag = argv[k];
    const double value = std::strtod(argv[k + 1], nullptr);
    if (flag == "--seed") seed = static_cast<std::uint64_t>(value);
    if (flag == "--weight") schedule.restWeight = value;
    if (flag == "--start") schedule.startTemperature = value;
    if (flag == "--end") schedule.endTemperature = value;
  }
  TimeTable table;
  table.LoadInstance(path);
  Poset poset;
  poset.CreatePoset(table);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  std::mt19937_64 engine(seed);
  BGraph::Matching maximum = graph.GetMaxMatching();
  const int bound = OpenBalancedChainsBound(graph, table, maximum);
  ExchangeSearch search(graph, table, engine, 11.0, false, maximum, schedule);
  const auto start = std::chrono::steady_clock::now();
  search.Run(rounds);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::cout << "balanced " << search.BestCounts().balanced << " rested "
            << search.BestCounts().rest << " bound " << bound << " chains "
            << search.BestCounts().chains << " seconds " << seconds << "\n";
  return 0;
}
