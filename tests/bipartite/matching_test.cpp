#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "bipartite/BGraph.h"
#include "support/Timetables.h"

namespace {

using Matching = BGraph::Matching;
using Decomposition = BGraph::Decomposition;

// Size of a maximum matching by exhaustive search over the left vertices.
unsigned BruteForceMaxMatching(const BGraph& graph, unsigned left, std::vector<bool>& used) {
  const unsigned n = static_cast<unsigned>(graph.numberOfVertices / 2);
  if (left == n) return 0;
  unsigned best = BruteForceMaxMatching(graph, left + 1, used);
  for (unsigned w : graph.GetAdjacentVertices(left)) {
    if (used[w]) continue;
    used[w] = true;
    best = std::max(best, 1 + BruteForceMaxMatching(graph, left + 1, used));
    used[w] = false;
  }
  return best;
}

}  // namespace

TEST(Matching, EmptyGraph) {
  const BGraph graph;
  EXPECT_EQ(graph.GetCardinalityOfMaxMatching(), 0u);
  EXPECT_TRUE(graph.GetMaxMatching().empty());
  EXPECT_TRUE(graph.GetDillworthDecomposition().empty());
}

TEST(Matching, NoEdgesGiveOneChainPerPassageInTimetableOrder) {
  const BGraph graph = GraphFromPairs({9, 4, 6}, {});
  const Decomposition expected{{9}, {4}, {6}};
  EXPECT_EQ(graph.GetCardinalityOfMaxMatching(), 0u);
  EXPECT_EQ(graph.GetDillworthDecomposition(), expected);
  Matching empty;
  EXPECT_EQ(graph.GetDillworthDecompositionFromMatching(empty), expected);
}

TEST(Matching, UniqueMaximumMatchingGivesOneChain) {
  BGraph graph = GraphFromPairs({10, 20, 30}, {{10, 20}, {10, 30}, {20, 30}});
  EXPECT_EQ(graph.GetCardinalityOfMaxMatching(), 2u);
  EXPECT_EQ(graph.GetMaxMatching(), (Matching{{0, 4}, {1, 5}}));
  EXPECT_EQ(graph.GetDillworthDecomposition(), (Decomposition{{10, 20, 30}}));
  Matching reversed{{5, 1}, {4, 0}};
  EXPECT_EQ(graph.GetDillworthDecompositionFromMatching(reversed), (Decomposition{{10, 20, 30}}));
  EXPECT_EQ(reversed, (Matching{{5, 1}, {4, 0}}));  // left unchanged
  graph.ClearVertexEdges(1);
  EXPECT_EQ(graph.GetCardinalityOfMaxMatching(), 1u);
}

TEST(Matching, ChainsOrderedBySmallestMemberPosition) {
  const BGraph graph = GraphFromPairs({5, 6, 7, 8}, {});
  Matching m1{{1, 7}};
  EXPECT_EQ(graph.GetDillworthDecompositionFromMatching(m1), (Decomposition{{5}, {6, 8}, {7}}));
  Matching m2{{2, 4}};
  EXPECT_EQ(graph.GetDillworthDecompositionFromMatching(m2), (Decomposition{{7, 5}, {6}, {8}}));
}

TEST(Matching, CyclicRotationIsListedOnceFromItsSmallestPosition) {
  // Positions 0 -> 2 -> 1 -> 0 form a cycle, as overnight rotations can; 3 stands alone.
  const BGraph graph = GraphFromPairs({10, 11, 12, 13}, {});
  Matching cycle{{0, 6}, {2, 5}, {1, 4}};
  EXPECT_EQ(graph.GetDillworthDecompositionFromMatching(cycle),
            (Decomposition{{10, 12, 11}, {13}}));
  Matching twoCycle{{3, 6}, {2, 7}};
  EXPECT_EQ(graph.GetDillworthDecompositionFromMatching(twoCycle),
            (Decomposition{{10}, {11}, {12, 13}}));
}

TEST(Matching, InconsistentMatchingNeitherHangsNorRepeatsPassages) {
  const BGraph graph = GraphFromPairs({1, 2, 3}, {});
  Matching clash{{0, 4}, {0, 5}, {2, 4}, {1, 3}};  // vertices in several pairs
  const Decomposition chains = graph.GetDillworthDecompositionFromMatching(clash);
  std::vector<unsigned> seen;
  for (const auto& chain : chains) seen.insert(seen.end(), chain.begin(), chain.end());
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<unsigned>{1, 2, 3}));
}

TEST(Matching, RandomGraphsAgreeWithExhaustiveSearchAndDecomposeValidly) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    const unsigned n = 1 + random() % 7;
    std::vector<std::uint32_t> ids;
    for (unsigned i = 0; i < n; ++i) ids.push_back(100 + i);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    for (unsigned a = 0; a < n; ++a)
      for (unsigned b = 0; b < n; ++b)
        if (a != b && random() % 3 == 0) pairs.emplace_back(100 + a, 100 + b);
    const BGraph graph = GraphFromPairs(ids, pairs);
    std::vector<bool> used(2 * n, false);
    const unsigned best = BruteForceMaxMatching(graph, 0, used);
    EXPECT_EQ(graph.GetCardinalityOfMaxMatching(), best);
    const Matching matching = graph.GetMaxMatching();
    ASSERT_EQ(matching.size(), best);
    for (const auto& [u, v] : matching) {
      const auto adjacent = graph.GetAdjacentVertices(static_cast<unsigned>(u));
      EXPECT_NE(std::find(adjacent.begin(), adjacent.end(), static_cast<unsigned>(v)),
                adjacent.end());
    }
    const Decomposition chains = graph.GetDillworthDecomposition();
    std::vector<unsigned> members;
    for (const auto& chain : chains) members.insert(members.end(), chain.begin(), chain.end());
    std::sort(members.begin(), members.end());
    EXPECT_EQ(members, std::vector<unsigned>(ids.begin(), ids.end()));
    // Without cycles the chain count is n - |M|; with cycles every passage still appears once.
    EXPECT_GE(chains.size(), n - best);
  }
}
