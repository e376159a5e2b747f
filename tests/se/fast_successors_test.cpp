#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "se/FastSuccessors.h"
#include "se/ResidualGraph.h"
#include "se/ResidualState.h"
#include "se/SE.h"
#include "se_test_support.h"

namespace {

using residual::State;

// The residual matching of `state` is a matching of `residualGraph`'s
// current edges (the literal node's graph) and is maximum there.
void ExpectMaximumResidualMatching(const State& state, const BGraph& residualGraph) {
  for (std::size_t x = 0; x < state.size(); ++x) {
    if (state[x] < 0) continue;
    const unsigned int mate = static_cast<unsigned int>(state[x]);
    ASSERT_EQ(state[mate], static_cast<std::int32_t>(x)) << "mate array not symmetric at " << x;
    const std::vector<unsigned int> neighbours =
        residualGraph.GetAdjacentVertices(static_cast<unsigned int>(x));
    ASSERT_NE(std::find(neighbours.begin(), neighbours.end(), mate), neighbours.end())
        << "matched pair " << x << "-" << mate << " is not a residual edge";
  }
  EXPECT_EQ(residual::ResidualMatchingSize(state), residualGraph.GetCardinalityOfMaxMatching());
}

// Walks one random path down the tree, holding the literal node and the
// compact state side by side, and compares every level's successors.
void CompareAlongRandomPath(const BGraph& graph, std::mt19937& rng) {
  std::mt19937_64 unused;
  SE literal(graph, 1, 1, unused);
  const unsigned int maxCardinality = graph.GetCardinalityOfMaxMatching();
  const ResidualGraph residualGraph(graph);
  ASSERT_TRUE(residualGraph.IsBipartite());
  fastse::SuccessorFinder finder(residualGraph);

  State state = residual::MakeRoot(residualGraph);
  ASSERT_EQ(residual::ResidualMatchingSize(state), maxCardinality);
  SeNode node;
  node.graph = graph;

  std::vector<unsigned int> order = graph.GetVertexList();
  std::shuffle(order.begin(), order.end(), rng);
  for (unsigned int vertex : order) {
    const std::vector<SeNode> expected = literal.GetSuccessors({node}, maxCardinality, vertex);
    std::vector<fastse::Candidate> candidates;
    finder.FindCandidates(state, static_cast<int>(vertex), candidates);
    ASSERT_EQ(candidates.size(), expected.size()) << "vertex " << vertex;
    ASSERT_FALSE(expected.empty());

    std::vector<State> children;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
      State child = state;
      finder.BuildChild(child, static_cast<int>(vertex), candidates[k]);
      ASSERT_EQ(residual::DecidedPairs(child, order), expected[k].matching)
          << "vertex " << vertex << ", successor " << k;
      ExpectMaximumResidualMatching(child, expected[k].graph);
      children.push_back(std::move(child));
    }
    const std::size_t pick = rng() % children.size();
    state = std::move(children[pick]);
    node = expected[pick];
  }
  EXPECT_EQ(residual::DecidedPairs(state, order).size(), maxCardinality);
}

}  // namespace

TEST(FastSuccessors, MatchLiteralSuccessorsOnRandomTimetables) {
  std::mt19937 rng(20261207);
  for (int instance = 0; instance < 150; ++instance) {
    const setest::Instance built =
        setest::BuildInstance(setest::RandomPassages(rng, 2 + instance % 8));
    SCOPED_TRACE("instance " + std::to_string(instance));
    for (int walk = 0; walk < 3; ++walk) CompareAlongRandomPath(built.graph, rng);
    if (HasFatalFailure()) return;
  }
}

TEST(FastSuccessors, ForcedVertexAlternatingCycleAndParallelEdges) {
  // 1->3, 1->4, 2->3, 2->4 (a 4-cycle: every vertex forced, every edge in
  // some maximum matching), 1->3 repeated (parallel edge), 5 isolated.
  const BGraph graph = setest::GraphFromPairs(5, {{1, 3}, {1, 4}, {2, 3}, {2, 4}, {1, 3}});
  std::mt19937 rng(7);
  for (int walk = 0; walk < 20; ++walk) CompareAlongRandomPath(graph, rng);

  const ResidualGraph residualGraph(graph);
  fastse::SuccessorFinder finder(residualGraph);
  const State root = residual::MakeRoot(residualGraph);
  std::vector<fastse::Candidate> candidates;
  finder.FindCandidates(root, 0, candidates);
  // Left vertex of passage 1 is forced; its partners 3 and 4 each once.
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_EQ(candidates[0].partner, 5 + 2);
  EXPECT_EQ(candidates[1].partner, 5 + 3);
  candidates.clear();
  finder.FindCandidates(root, 4, candidates);  // passage 5's left vertex: no edges
  ASSERT_EQ(candidates.size(), 1u);
  EXPECT_EQ(candidates[0].reason, fastse::Reason::Unchanged);
}

TEST(ResidualGraph, KeepsAdjacencyOrderAndParallelEdgesAndDetectsOddCycles) {
  const BGraph graph = setest::GraphFromPairs(3, {{1, 3}, {1, 2}, {1, 3}});
  const ResidualGraph residualGraph(graph);
  ASSERT_TRUE(residualGraph.IsBipartite());
  const std::vector<std::int32_t> neighbours(residualGraph.NeighboursBegin(0),
                                             residualGraph.NeighboursEnd(0));
  EXPECT_EQ(neighbours, (std::vector<std::int32_t>{5, 4, 5}));
  EXPECT_NE(residualGraph.Side(0), residualGraph.Side(5));

  BGraph triangle;
  triangle.AddEdge(0, 1);
  triangle.AddEdge(1, 2);
  triangle.AddEdge(2, 0);
  EXPECT_FALSE(ResidualGraph(triangle).IsBipartite());
}

TEST(ResidualState, RootMatchingIsMaximumOnLargerRandomGraphs) {
  std::mt19937 rng(99);
  for (int instance = 0; instance < 30; ++instance) {
    const setest::Instance built = setest::BuildInstance(setest::RandomPassages(rng, 40));
    const ResidualGraph residualGraph(built.graph);
    const State root = residual::MakeRoot(residualGraph);
    ExpectMaximumResidualMatching(root, built.graph);
  }
}

// Forced vertices against all maximum matchings: forced exactly when every
// maximum matching covers the vertex.
TEST(ForcedVertices, AreThoseEveryMaximumMatchingCovers) {
  std::mt19937 rng(77);
  int forcedSeen = 0;
  for (int instance = 0; instance < 150; ++instance) {
    const int n = 1 + instance % 9;
    const setest::Instance built = setest::BuildInstance(RandomPassages(rng, n));
    const ResidualGraph residual(built.graph);
    const std::vector<std::uint8_t> forced =
        residual::ForcedVertices(residual, residual::MakeRoot(residual));
    MaximumMatchingEnumerator enumerator(
        n, SplitEdges(built.table, built.poset));
    std::vector<int> covering(2 * n, 0);
    const std::vector<BGraph::Matching> all = enumerator.MaximumMatchings();
    for (const BGraph::Matching& matching : all)
      for (const auto& pair : matching) {
        ++covering[pair.first];
        ++covering[pair.second];
      }
    for (int v = 0; v < 2 * n; ++v) {
      const bool coveredByAll = covering[v] == static_cast<int>(all.size());
      ASSERT_EQ(forced[v] == 1, coveredByAll) << "instance " << instance << ", vertex " << v;
      forcedSeen += forced[v];
    }
  }
  EXPECT_GT(forcedSeen, 100);
}
