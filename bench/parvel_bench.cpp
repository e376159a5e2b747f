// parvel_bench [<passages>:<iterations> ...]
//
// Local-search iterations per second on generated day timetables (seed 1),
// by default 200, 1,000 and 5,000 passages. Each size runs the same number
// of iterations from the same engine seed three ways, so all three take the
// very same random walk:
//
// - "Parvel search": the `WalkSearch` that Parvel runs (chains counted
//   straight from the partner table, trajectories sharing the graph's
//   vertex and edge lists);
// - "lean loop": the same iteration written out with a clock around the
//   walk, to split its time into the walk and the rest of the iteration;
// - "plain loop": the iteration done plainly, likewise split: a full
//   decomposition per iteration (as `GetPerformance` builds it), and per
//   assignment a copy of the vertex and edge lists besides the partner
//   table, as a member-wise copy of a trajectory would make.
//
// All three must end at the same best matching with the same counts. The
// number of random steps (engine outputs) the walk took is counted after
// the run, by replaying the engine.
// Times are wall clock of the iterations alone, not of building the
// instance (poset, graph, first maximum matching).

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench/TimetableGenerator.h"
#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "localsearch/ChainCounter.h"
#include "localsearch/Decomposition.h"
#include "localsearch/WalkSearch.h"
#include "localsearch/Trajectory.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr std::uint64_t kTimetableSeed = 1;
constexpr std::uint64_t kEngineSeed = 3;
constexpr double kThreshold = 11.0;

double SecondsSince(SteadyClock::time_point start) {
  return std::chrono::duration<double>(SteadyClock::now() - start).count();
}

// How many outputs `used` has drawn since it was seeded with `seed`: the
// place where a fresh engine's outputs run on as the used one's do.
std::uint64_t CountDraws(std::mt19937_64 used, std::uint64_t seed) {
  constexpr int kWindow = 4;
  std::uint64_t next[kWindow];
  for (std::uint64_t& output : next) output = used();
  std::mt19937_64 fresh(seed);
  std::uint64_t window[kWindow] = {};
  for (std::uint64_t draws = 0;; ++draws) {
    for (int k = 0; k + 1 < kWindow; ++k) window[k] = window[k + 1];
    window[kWindow - 1] = fresh();
    if (draws + 1 >= kWindow && std::equal(window, window + kWindow, next))
      return draws + 1 - kWindow;
  }
}

struct Outcome {
  std::uint64_t draws = 0;   // engine outputs taken by the walk
  double seconds = 0.0;      // all iterations
  double walkSeconds = 0.0;  // inside TransformMaxMatching (split loops only)
  DecompositionCounts best;
  std::vector<int> bestMate;

  bool SameResult(const Outcome& other) const {
    return best.chains == other.best.chains && best.balanced == other.best.balanced &&
           best.rest == other.best.rest && bestMate == other.bestMate;
  }
};

Outcome RunParvelSearch(BGraph& graph, TimeTable& table, unsigned iterations) {
  std::mt19937_64 engine(kEngineSeed);
  WalkSearch search(graph, table, engine, kThreshold, false);
  const SteadyClock::time_point start = SteadyClock::now();
  search.Run(iterations);
  Outcome outcome;
  outcome.seconds = SecondsSince(start);
  outcome.best = search.BestCounts();
  outcome.bestMate = search.Best().Mate();
  outcome.draws = CountDraws(engine, kEngineSeed);
  return outcome;
}

// Counts a candidate: straight from the partner table, or through a full
// decomposition.
class Scorer {
 public:
  Scorer(BGraph& graph, TimeTable& table, bool plain)
      : graph(graph), table(table), plain(plain), counter(graph, table) {}

  DecompositionCounts Score(const Trajectory& trajectory) {
    DecompositionCounts counts;
    if (plain) {
      BGraph::Matching matching = trajectory.ToMatching();
      BGraph::Decomposition chains = graph.GetDillworthDecompositionFromMatching(matching);
      counts.chains = static_cast<int>(chains.size());
      Decomposition::GetNumberOfBalancedAndRest(table, chains, counts.balanced, counts.rest,
                                                kThreshold);
    } else {
      counts.chains = counter.Count(trajectory.Mate(), kThreshold, counts.balanced, counts.rest);
    }
    return counts;
  }

 private:
  BGraph& graph;
  TimeTable& table;
  bool plain;
  ChainCounter counter;
};

// The costs a member-wise trajectory copy adds: its vertex and edge lists.
struct ListCopies {
  std::vector<unsigned int> vertices;
  std::vector<Trajectory::Edge> edges;

  void Take(const Trajectory& source) {
    vertices = source.Vertices();
    edges = source.Edges();
  }
};

Outcome RunSplitLoop(BGraph& graph, TimeTable& table, unsigned iterations, bool plain) {
  std::mt19937_64 engine(kEngineSeed);
  Trajectory best(graph, engine);
  Trajectory working(best);
  Scorer scorer(graph, table, plain);
  ListCopies copies;
  Outcome outcome;
  outcome.best = scorer.Score(working);
  const SteadyClock::time_point start = SteadyClock::now();
  for (unsigned k = 0; k < iterations; ++k) {
    const SteadyClock::time_point walkStart = SteadyClock::now();
    working.TransformMaxMatching();
    outcome.walkSeconds += SecondsSince(walkStart);
    const DecompositionCounts candidate = scorer.Score(working);
    if (IsAccepted(candidate, outcome.best)) {
      outcome.best = candidate;
      best = working;
      if (plain) copies.Take(working);
    } else {
      working = best;
      if (plain) copies.Take(best);
    }
  }
  outcome.seconds = SecondsSince(start);
  outcome.bestMate = best.Mate();
  return outcome;
}

void PrintRate(const char* label, const Outcome& outcome, unsigned iterations) {
  std::cout << "  " << label << outcome.seconds << " s, " << iterations / outcome.seconds
            << " it/s";
  if (outcome.walkSeconds > 0.0) {
    const double restMicros = (outcome.seconds - outcome.walkSeconds) / iterations * 1e6;
    std::cout << " (walk " << outcome.walkSeconds << " s; rest of an iteration " << restMicros
              << " us)";
  }
  std::cout << std::endl;
}

bool RunSize(std::size_t passages, unsigned iterations) {
  TimeTable table = bench::GenerateTimetable(passages, kTimetableSeed);
  Poset poset;
  poset.CreatePoset(table);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  std::cout << passages << " passages, " << graph.edgeList.size() << " precedence pairs, "
            << iterations << " iterations" << std::endl;

  const Outcome search = RunParvelSearch(graph, table, iterations);
  const Outcome lean = RunSplitLoop(graph, table, iterations, false);
  const Outcome plain = RunSplitLoop(graph, table, iterations, true);
  PrintRate("Parvel search: ", search, iterations);
  PrintRate("lean loop:     ", lean, iterations);
  PrintRate("plain loop:    ", plain, iterations);
  std::cout << "  random steps: " << static_cast<double>(search.draws) / iterations
            << " per iteration, " << lean.walkSeconds / static_cast<double>(search.draws) * 1e9
            << " ns each" << std::endl;
  std::cout << "  best: " << search.best.chains << " chains, " << search.best.balanced
            << " balanced, " << search.best.rest << " rested"
            << ", plain loop / Parvel search time: " << plain.seconds / search.seconds << std::endl;
  const bool same = search.SameResult(lean) && search.SameResult(plain);
  std::cout << "  same result in all three: " << (same ? "yes" : "NO") << std::endl;
  return same;
}

// "<passages>:<iterations>", both positive whole numbers.
bool ParseSize(const std::string& text, std::pair<std::size_t, unsigned>& size) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  const std::string digits = "0123456789";
  const std::string passages = text.substr(0, colon);
  const std::string iterations = text.substr(colon + 1);
  if (passages.find_first_not_of(digits) != std::string::npos ||
      iterations.find_first_not_of(digits) != std::string::npos || passages.size() > 7 ||
      iterations.size() > 9)
    return false;
  size = {std::stoul(passages), static_cast<unsigned>(std::stoul(iterations))};
  return size.first > 0 && size.second > 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<std::pair<std::size_t, unsigned>> sizes;
  for (int k = 1; k < argc; ++k) {
    std::pair<std::size_t, unsigned> size;
    if (!ParseSize(argv[k], size)) {
      std::cout << "not <passages>:<iterations>: " << argv[k] << std::endl;
      std::cout << "Usage: parvel_bench [<passages>:<iterations> ...]" << std::endl;
      return 1;
    }
    sizes.push_back(size);
  }
  if (sizes.empty()) sizes = {{200, 20000}, {1000, 5000}, {5000, 100}};
  bool allSame = true;
  for (const auto& size : sizes) allSame = RunSize(size.first, size.second) && allSame;
  return allSame ? 0 : 1;
}
