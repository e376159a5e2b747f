#pragma once

// Builders and independent checkers shared by the local-search tests.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bipartite/BGraph.h"
#include "bipartite/DecompositionVerifier.h"
#include "common/Poset.h"
#include "common/TimeTable.h"
#include "localsearch/Decomposition.h"
#include "localsearch/Search.h"
#include "support/SmallDays.h"
#include "support/Timetables.h"

namespace lstest {

using ::MakeTable;

// Graph of the timetable's precedence order under `rule`.
inline void BuildGraph(TimeTable& table, BGraph& graph, const FollowRule& rule = {}) {
  Poset poset;
  poset.CreatePoset(table, rule);
  graph.InitGraphFromPoset(table, poset);
}

// Graph on n passages (numbered 1..n) with the given (left, right) edges, in
// this order; right vertices are n..2n-1.
inline void BuildGraphFromEdges(unsigned n, const std::vector<std::pair<int, int>>& edges,
                                BGraph& graph) {
  graph.numberOfVertices = static_cast<int>(2 * n);
  graph.adjacencyList = BGraph::Graph(2 * n);
  for (unsigned p = 0; p < n; ++p) {
    graph.positionById[p + 1] = p;
    graph.idByPosition[p] = p + 1;
  }
  for (const auto& edge : edges) {
    graph.AddEdge(static_cast<unsigned>(edge.first), static_cast<unsigned>(edge.second));
    graph.edgeList.push_back(edge);
  }
}

// Random bipartite edges on n + n vertices, each pair present with
// probability `density`; parallel edges on purpose now and then.
inline std::vector<std::pair<int, int>> RandomEdges(unsigned n, double density,
                                                    std::mt19937& random) {
  std::bernoulli_distribution present(density);
  std::bernoulli_distribution twice(0.05);
  std::vector<std::pair<int, int>> edges;
  for (unsigned i = 0; i < n; ++i) {
    for (unsigned j = 0; j < n; ++j) {
      if (!present(random)) continue;
      edges.emplace_back(static_cast<int>(i), static_cast<int>(n + j));
      if (twice(random)) edges.emplace_back(static_cast<int>(i), static_cast<int>(n + j));
    }
  }
  std::shuffle(edges.begin(), edges.end(), random);
  return edges;
}

// A day of n passages between a few terminals, with overnight passages
// (arrival clock time before departure), so the follow relation has cycles.
inline TimeTable RandomDay(unsigned n, unsigned terminals, std::mt19937& random) {
  std::uniform_int_distribution<unsigned> terminal(1, terminals);
  std::uniform_int_distribution<int> quarter(0, 95);
  std::uniform_int_distribution<int> length(1, 24);  // quarters of an hour
  std::vector<Passage> passages;
  for (unsigned k = 0; k < n; ++k) {
    Passage passage;
    passage.id = 100 + 3 * k;
    passage.origin = terminal(random);
    do passage.destination = terminal(random);
    while (terminals > 1 && passage.destination == passage.origin);
    passage.departure = quarter(random) * 0.25;
    passage.arrival = std::fmod(passage.departure + length(random) * 0.25, 24.0);
    passages.push_back(passage);
  }
  return MakeTable(passages);
}

// Size of a maximum matching by augmenting paths, independent of the
// graph's own matching routine.
inline unsigned AugmentingPathMatchingSize(unsigned n,
                                           const std::vector<std::pair<int, int>>& edges) {
  std::vector<std::vector<unsigned>> adjacent(n);
  for (const auto& edge : edges)
    adjacent[static_cast<unsigned>(edge.first)].push_back(static_cast<unsigned>(edge.second) - n);
  std::vector<int> leftOf(n, -1);
  unsigned size = 0;
  for (unsigned start = 0; start < n; ++start) {
    std::vector<bool> seen(n, false);
    std::function<bool(unsigned)> augment = [&](unsigned u) {
      for (unsigned w : adjacent[u]) {
        if (seen[w]) continue;
        seen[w] = true;
        if (leftOf[w] == -1 || augment(static_cast<unsigned>(leftOf[w]))) {
          leftOf[w] = static_cast<int>(u);
          return true;
        }
      }
      return false;
    };
    if (augment(start)) ++size;
  }
  return size;
}

// The engine value a uniform [0, 1) draw turns into an edge index, worked
// out by hand: nearest double of the output times 2^-64, kept below 1.
inline int IndexOfDraw(std::uint64_t output, std::size_t edgeCount) {
  double x = std::ldexp(static_cast<double>(output), -64);
  if (x >= 1.0) x = std::nextafter(1.0, 0.0);
  return static_cast<int>(std::floor(x * static_cast<double>(edgeCount)));
}

// An engine whose next draws select the given edge indices among
// `edgeCount` edges: the first seed that does so.
inline std::mt19937_64 EngineSelecting(const std::vector<int>& indices, std::size_t edgeCount) {
  for (std::uint64_t seed = 1;; ++seed) {
    std::mt19937_64 probe(seed);
    bool fits = true;
    for (int index : indices) {
      if (IndexOfDraw(probe(), edgeCount) != index) {
        fits = false;
        break;
      }
    }
    if (fits) return std::mt19937_64(seed);
  }
}

// Chains, balanced and rested chains of a matching, through its decomposition.
inline DecompositionCounts CountsOf(BGraph& graph, TimeTable& table, BGraph::Matching matching,
                                    double threshold) {
  BGraph::Decomposition chains = graph.GetDillworthDecompositionFromMatching(matching);
  DecompositionCounts counts;
  counts.chains = static_cast<int>(chains.size());
  Decomposition::GetNumberOfBalancedAndRest(table, chains, counts.balanced, counts.rest, threshold);
  return counts;
}

// Every maximum matching of the graph, by brute force.
inline std::vector<BGraph::Matching> AllMaximumMatchings(const BGraph& graph) {
  const std::set<SplitEdge> edges(graph.edgeList.begin(), graph.edgeList.end());
  return MaximumMatchingEnumerator(graph.numberOfVertices / 2, edges).MaximumMatchings();
}

// The best counts over `all` (every maximum matching): fewest chains, then
// most balanced, then most rested, compared here as plain tuples.
inline DecompositionCounts BruteForceBest(BGraph& graph, TimeTable& table,
                                          const std::vector<BGraph::Matching>& all,
                                          double threshold) {
  DecompositionCounts best = CountsOf(graph, table, all.front(), threshold);
  for (const BGraph::Matching& matching : all) {
    const DecompositionCounts c = CountsOf(graph, table, matching, threshold);
    if (std::make_tuple(-c.chains, c.balanced, c.rest) >
        std::make_tuple(-best.chains, best.balanced, best.rest))
      best = c;
  }
  return best;
}

// A small day: a few terminals, quarter-hour times, overnight passages;
// now and then a round trip, two passages at one time, or a NaN time.
inline TimeTable SmallDay(unsigned n, std::mt19937& random) {
  std::uniform_int_distribution<unsigned> terminals(1, 4);
  TimeTable table = RandomDay(n, terminals(random), random);
  std::bernoulli_distribution sometimes(0.15);
  for (Passage& passage : table.passages) {
    if (sometimes(random)) passage.destination = passage.origin;
    if (sometimes(random)) passage.departure = table.passages.front().departure;
  }
  if (sometimes(random)) table.passages.back().arrival = std::nan("");
  return MakeTable(table.passages);
}

// The verifier's word on a search's best decomposition, with the closed
// rotations its chain count declares (chains beyond passages less pairs).
inline std::string VerifyBest(const TimeTable& table, const Search& search) {
  BGraph::Matching best = search.BestMatching();
  const int passages = static_cast<int>(table.passages.size());
  const int loops = search.BestCounts().chains - (passages - static_cast<int>(best.size()));
  BGraph graph;
  TimeTable copy = table;
  BuildGraph(copy, graph);
  return VerifyDecomposition(table, graph.GetDillworthDecompositionFromMatching(best), loops);
}

}  // namespace lstest
