// The flat graph against Boost's adjacency list built pair by pair (the
// reference): every read, the maximum matching and the decompositions must
// be the same, before and after literal edits; and the lean start of
// Edmonds' matching must equal Boost's extra greedy matching.

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <gtest/gtest.h>

#include <random>

#include <boost/graph/max_cardinality_matching.hpp>

#include "bipartite/BGraph.h"
#include "bipartite/FlatMatching.h"
#include "support/Timetables.h"

namespace {

void ExpectSameGraph(const BGraph& flat, const BGraph& literal, int trial) {
  ASSERT_EQ(flat.VertexCount(), literal.VertexCount()) << trial;
  ASSERT_EQ(flat.GetVertexList(), literal.GetVertexList()) << trial;
  ASSERT_EQ(flat.EdgeCount(), literal.EdgeCount()) << trial;
  ASSERT_EQ(flat.GetEgeList(), literal.GetEgeList()) << trial;
  const auto lists = flat.Adjacency();
  for (unsigned v = 0; v < literal.VertexCount(); ++v) {
    const std::vector<unsigned> neighbours = literal.GetAdjacentVertices(v);
    ASSERT_EQ(flat.GetAdjacentVertices(v), neighbours) << trial << " vertex " << v;
    ASSERT_EQ(std::vector<unsigned>(lists->Begin(v), lists->End(v)), neighbours) << trial;
    ASSERT_EQ(flat.Degree(v), neighbours.size()) << trial;
  }
  EXPECT_FALSE(flat.IsVertexInGraph(static_cast<unsigned>(literal.VertexCount())));
}

// Boost's start on Boost's adjacency list.
std::vector<std::size_t> BoostStart(const BGraph::Graph& graph) {
  std::vector<std::size_t> mate(boost::num_vertices(graph));
  boost::extra_greedy_matching<BGraph::Graph, std::size_t*>::find_matching(graph, mate.data());
  return mate;
}

void ExpectSameStart(std::size_t vertexCount, const std::vector<std::pair<int, int>>& edges) {
  BGraph::Graph graph(vertexCount);
  std::vector<std::uint32_t> degree(vertexCount, 0);
  for (const auto& edge : edges) {
    boost::add_edge(edge.first, edge.second, graph);
    ++degree[edge.first];
    ++degree[edge.second];
  }
  const std::vector<std::size_t> expected = BoostStart(graph);
  for (bool packed : {true, false}) {
    const std::vector<std::uint32_t> mate = flat::ExtraGreedyStart(edges, degree, packed);
    ASSERT_EQ(mate.size(), expected.size());
    for (std::size_t v = 0; v < mate.size(); ++v) {
      const std::size_t want = expected[v] == boost::graph_traits<BGraph::Graph>::null_vertex()
                                   ? flat::GraphView::null_vertex()
                                   : expected[v];
      ASSERT_EQ(mate[v], want) << "vertex " << v << (packed ? " packed" : " wide");
    }
  }
}

}  // namespace

TEST(FlatGraph, ReadsMatchingsAndEditsEqualTheAdjacencyListOnRandomDays) {
  std::mt19937 random(5);
  for (int trial = 0; trial < 3000; ++trial) {
    TimeTable table = RandomHostileDay(random, trial < 2500 ? 14 : 70);
    Poset poset;
    poset.CreatePoset(table);
    BGraph flat;
    flat.InitGraphFromPoset(table, poset);
    BGraph literal;
    literal.InitLiteralGraphFromPoset(table, poset);
    ASSERT_FALSE(flat.IsLiteral());
    ExpectSameGraph(flat, literal, trial);
    ASSERT_EQ(flat.GetMaxMatching(), literal.GetMaxMatching()) << trial;
    ASSERT_EQ(flat.GetDillworthDecomposition(), literal.GetDillworthDecomposition()) << trial;
    ASSERT_EQ(flat.idByPosition, literal.idByPosition) << trial;
    ASSERT_EQ(flat.positionById, literal.positionById) << trial;

    // Copies share the arrays; an edit turns only the edited copy literal.
    const BGraph copy = flat;
    const BGraph literalBefore = literal;
    if (literal.VertexCount() == 0) continue;
    const unsigned v = std::uniform_int_distribution<unsigned>(
        0, static_cast<unsigned>(literal.VertexCount()) - 1)(random);
    flat.ClearVertexEdges(v);
    literal.ClearVertexEdges(v);
    ASSERT_TRUE(flat.IsLiteral());
    ExpectSameGraph(flat, literal, trial);
    ASSERT_EQ(flat.GetCardinalityOfMaxMatching(), literal.GetCardinalityOfMaxMatching()) << trial;
    ASSERT_FALSE(copy.IsLiteral());
    ExpectSameGraph(copy, literalBefore, trial);
    ASSERT_EQ(copy.GetMaxMatching(), literalBefore.GetMaxMatching()) << trial;
  }
}

TEST(FlatGraph, MoveKeepsTheFlatGraph) {
  BGraph graph = GraphFromPairs(3, {{1, 2}, {1, 3}, {2, 3}});
  const BGraph::Matching matching = graph.GetMaxMatching();
  BGraph moved(std::move(graph));
  EXPECT_FALSE(moved.IsLiteral());
  EXPECT_EQ(moved.GetMaxMatching(), matching);
  EXPECT_EQ(graph.VertexCount(), 0u);  // NOLINT(bugprone-use-after-move)
  BGraph assigned;
  assigned = std::move(moved);
  EXPECT_EQ(assigned.GetAdjacentVertices(0), (std::vector<unsigned>{4, 5}));
}

TEST(FlatMatchingStart, EqualsBoostsExtraGreedyMatching) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 2000; ++trial) {
    // Any graph, loops and parallel edges included: the start does not rely
    // on the split graph's shape.
    const std::size_t vertices = std::uniform_int_distribution<std::size_t>(1, 30)(random);
    const std::size_t count = std::uniform_int_distribution<std::size_t>(0, 80)(random);
    std::uniform_int_distribution<int> vertex(0, static_cast<int>(vertices) - 1);
    std::vector<std::pair<int, int>> edges;
    for (std::size_t e = 0; e < count; ++e) edges.emplace_back(vertex(random), vertex(random));
    ExpectSameStart(vertices, edges);
  }
}

TEST(FlatMatchingStart, EqualsBoostsExtraGreedyMatchingOnALargeGraph) {
  // Over a million listed edges: the sort runs its halves on two threads.
  std::mt19937 random(8);
  const int left = 4000;
  std::uniform_int_distribution<int> side(0, left - 1);
  std::vector<std::pair<int, int>> edges;
  for (int e = 0; e < 600000; ++e) edges.emplace_back(side(random), left + side(random) % 1500);
  ExpectSameStart(2 * left, edges);
}

TEST(FlatAdjacency, ListsKeepEdgeOrderOnALargeSplitGraph) {
  // Large enough for the two-thread fill; a general graph takes the
  // one-pass fill.
  std::mt19937 random(4);
  for (bool split : {true, false}) {
    const int half = 3000;
    std::uniform_int_distribution<int> side(0, half - 1);
    std::vector<std::pair<int, int>> edges;
    for (int e = 0; e < (1 << 20) + 5; ++e)
      edges.emplace_back(side(random), split ? half + side(random) : side(random) * 2 % half);
    std::vector<std::vector<std::int32_t>> lists(2 * half);
    for (const auto& edge : edges) {
      lists[edge.first].push_back(edge.second);
      lists[edge.second].push_back(edge.first);
    }
    const auto built = FlatAdjacency::FromEdges(2 * half, edges);
    ASSERT_EQ(built->EntryCount(), 2 * edges.size());
    for (std::size_t v = 0; v < lists.size(); ++v)
      ASSERT_EQ(std::vector<std::int32_t>(built->Begin(v), built->End(v)), lists[v]) << v;
  }
}
