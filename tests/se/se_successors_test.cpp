// Successor generation of the search tree: which children a level gets when
// one vertex is decided, and in which order.

#include <random>

#include <gtest/gtest.h>

#include "se/SE.h"
#include "se_test_support.h"

namespace {

using Matching = BGraph::Matching;

SeNode Root(const BGraph& graph) {
  SeNode root;
  root.graph = graph;
  return root;
}

std::vector<Matching> MatchingsOf(const std::vector<SeNode>& nodes) {
  std::vector<Matching> matchings;
  for (const SeNode& node : nodes) matchings.push_back(node.matching);
  return matchings;
}

std::vector<std::vector<unsigned int>> Adjacency(const BGraph& graph) {
  std::vector<std::vector<unsigned int>> adjacency;
  for (unsigned int v : graph.GetVertexList()) adjacency.push_back(graph.GetAdjacentVertices(v));
  return adjacency;
}

// Passages 1..5 (left 0..4, right 5..9): 1 may precede 2 and 3, 4 may
// precede 2, 5 may precede 3. Maximum matchings have 2 edges.
BGraph ThreeWayGraph() { return setest::GraphFromPairs(5, {{1, 2}, {1, 3}, {4, 2}, {5, 3}}); }

class Successors : public testing::Test {
 protected:
  std::mt19937_64 engine{1};
};

}  // namespace

TEST_F(Successors, EmptyLevelHasNoSuccessors) {
  SE se(ThreeWayGraph(), 4, 1, engine);
  EXPECT_TRUE(se.GetSuccessors({}, 2, 0).empty());
}

TEST_F(Successors, UnmatchedThenEachNeighbourInAdjacencyOrder) {
  const BGraph graph = ThreeWayGraph();
  SE se(graph, 4, 1, engine);
  const std::vector<SeNode> next = se.GetSuccessors({Root(graph)}, 2, 0);
  EXPECT_EQ(MatchingsOf(next), (std::vector<Matching>{{}, {{0, 6}}, {{0, 7}}}));
  // Deciding 0 removes its edges everywhere; matching it to 6 also removes
  // the edge 3-6, leaving only 4-7.
  for (const SeNode& node : next) EXPECT_TRUE(node.graph.GetAdjacentVertices(0).empty());
  EXPECT_TRUE(next[1].graph.GetAdjacentVertices(3).empty());
  EXPECT_EQ(next[1].graph.GetAdjacentVertices(4), (std::vector<unsigned int>{7}));
  EXPECT_EQ(next[0].graph.GetAdjacentVertices(6), (std::vector<unsigned int>{3}));
}

TEST_F(Successors, AllChildrenOfOneNodeComeBeforeThoseOfTheNext) {
  const BGraph graph = ThreeWayGraph();
  SE se(graph, 4, 1, engine);
  const std::vector<SeNode> level = se.GetSuccessors({Root(graph)}, 2, 0);
  // Deciding 4 (passage 5): with 0 left free, 4 must take 7 to reach two
  // pairs; with (0, 6) likewise; after (0, 7) it has no edge left and the
  // node passes through unchanged.
  const std::vector<SeNode> next = se.GetSuccessors(level, 2, 4);
  EXPECT_EQ(MatchingsOf(next),
            (std::vector<Matching>{{{4, 7}}, {{0, 6}, {4, 7}}, {{0, 7}}}));
}

TEST_F(Successors, VertexWithoutEdgesKeepsTheNodeAsItIs) {
  const BGraph graph = ThreeWayGraph();
  SE se(graph, 4, 1, engine);
  const SeNode root = Root(graph);
  for (unsigned int isolated : {1u, 2u, 5u, 8u, 9u}) {
    ASSERT_TRUE(graph.GetAdjacentVertices(isolated).empty()) << isolated;
    const std::vector<SeNode> next = se.GetSuccessors({root}, 2, isolated);
    ASSERT_EQ(next.size(), 1u) << isolated;
    EXPECT_TRUE(next[0].matching.empty());
    EXPECT_EQ(Adjacency(next[0].graph), Adjacency(graph));
  }
}

TEST_F(Successors, SingleEdgeIsForcedFromEitherEnd) {
  const BGraph graph = setest::GraphFromPairs(2, {{1, 2}});  // edge 0-3
  SE se(graph, 4, 1, engine);
  const std::vector<SeNode> fromLeft = se.GetSuccessors({Root(graph)}, 1, 0);
  ASSERT_EQ(fromLeft.size(), 1u);
  EXPECT_EQ(fromLeft[0].matching, (Matching{{0, 3}}));
  EXPECT_EQ(fromLeft[0].graph.GetCardinalityOfMaxMatching(), 0u);
  EXPECT_TRUE(fromLeft[0].graph.GetAdjacentVertices(3).empty());
  const std::vector<SeNode> fromRight = se.GetSuccessors({Root(graph)}, 1, 3);
  ASSERT_EQ(fromRight.size(), 1u);
  EXPECT_EQ(fromRight[0].matching, (Matching{{3, 0}}));
}

TEST_F(Successors, CoveredVertexGetsNoUnmatchedChild) {
  // Passage 1 may precede 2 or 3 and nothing else has edges: every maximum
  // matching covers left 0.
  const BGraph graph = setest::GraphFromPairs(3, {{1, 2}, {1, 3}});
  SE se(graph, 4, 1, engine);
  const std::vector<SeNode> next = se.GetSuccessors({Root(graph)}, 1, 0);
  EXPECT_EQ(MatchingsOf(next), (std::vector<Matching>{{{0, 4}}, {{0, 5}}}));
}

TEST_F(Successors, VertexBeyondTheGraphCopiesEveryNode) {
  const BGraph graph = ThreeWayGraph();
  SE se(graph, 4, 1, engine);
  const std::vector<SeNode> level = se.GetSuccessors({Root(graph)}, 2, 0);
  const std::vector<SeNode> next = se.GetSuccessors(level, 2, 10);
  EXPECT_EQ(MatchingsOf(next), MatchingsOf(level));
  for (std::size_t k = 0; k < level.size(); ++k)
    EXPECT_EQ(Adjacency(next[k].graph), Adjacency(level[k].graph));
}

TEST_F(Successors, ParallelEdgesGiveOneChildPerPartner) {
  // Two passages numbered 7: both may precede passage 8, so the poset holds
  // the pair (7, 8) twice and the graph two parallel edges 1-5.
  const setest::Instance instance = setest::BuildInstance(
      {{7, 1, 2, 6, 7}, {7, 1, 2, 6, 7}, {8, 2, 1, 8, 9}});
  ASSERT_EQ(instance.graph.GetAdjacentVertices(1), (std::vector<unsigned int>{5, 5}));
  SE se(instance.graph, 4, 1, engine);
  const std::vector<SeNode> next = se.GetSuccessors({Root(instance.graph)}, 1, 1);
  EXPECT_EQ(MatchingsOf(next), (std::vector<Matching>{{{1, 5}}}));
}

TEST_F(Successors, EveryChildKeepsTheInvariant) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 20; ++trial) {
    const setest::Instance instance = setest::BuildInstance(setest::RandomPassages(rng, 5));
    const unsigned int maxCardinality = instance.graph.GetCardinalityOfMaxMatching();
    SE se(instance.graph, 1000, 1, engine);
    std::vector<SeNode> level{Root(instance.graph)};
    for (unsigned int vertex : instance.graph.GetVertexList()) {
      level = se.GetSuccessors(level, maxCardinality, vertex);
      ASSERT_FALSE(level.empty());
      for (const SeNode& node : level)
        EXPECT_EQ(node.matching.size() + node.graph.GetCardinalityOfMaxMatching(), maxCardinality);
    }
  }
}
