#include <gtest/gtest.h>

#include "bipartite/BGraph.h"
#include "support/Timetables.h"

namespace {

using Neighbours = std::vector<unsigned int>;

std::string Printed(const BGraph& graph) {
  testing::internal::CaptureStdout();
  graph.PrintGraph();
  return testing::internal::GetCapturedStdout();
}

const std::string kDashes(42, '-');

}  // namespace

TEST(BGraph, EmptyTimetableGivesEmptyGraph) {
  const BGraph graph = GraphFromPairs({}, {});
  EXPECT_EQ(graph.numberOfVertices, 0);
  EXPECT_TRUE(graph.GetVertexList().empty());
  EXPECT_EQ(Printed(graph), kDashes + "\n\n" + kDashes + "\n");
}

TEST(BGraph, PassagesWithoutPairsGiveIsolatedVertices) {
  const BGraph graph = GraphFromPairs({3, 1, 2}, {});
  EXPECT_EQ(graph.numberOfVertices, 6);
  EXPECT_EQ(graph.GetVertexList(), (Neighbours{0, 1, 2, 3, 4, 5}));
  for (unsigned int v = 0; v < 6; ++v) EXPECT_TRUE(graph.GetAdjacentVertices(v).empty());
  EXPECT_EQ(graph.idByPosition.at(0), 3u);
  EXPECT_EQ(graph.positionById.at(2), 2u);
}

TEST(BGraph, EdgesJoinLeftOfPredecessorToRightOfSuccessorInPosetOrder) {
  const BGraph graph = GraphFromPairs({10, 20, 30}, {{10, 20}, {10, 30}, {20, 30}});
  EXPECT_EQ(graph.GetAdjacentVertices(0), (Neighbours{4, 5}));
  EXPECT_EQ(graph.GetAdjacentVertices(5), (Neighbours{0, 1}));
  EXPECT_EQ(graph.GetAdjacentVertices(1), (Neighbours{5}));
  EXPECT_EQ(graph.GetEgeList(), (std::vector<std::pair<int, int>>{{0, 4}, {0, 5}, {1, 5}}));
  EXPECT_TRUE(graph.IsVertexInGraph(5));
  EXPECT_FALSE(graph.IsVertexInGraph(6));
}

TEST(BGraph, ClearVertexEdgesIsolatesOnlyThatVertexAndLeavesCopiesAlone) {
  BGraph graph = GraphFromPairs({10, 20, 30}, {{10, 20}, {10, 30}, {20, 30}});
  const BGraph before = graph;
  graph.ClearVertexEdges(0);
  EXPECT_TRUE(graph.GetAdjacentVertices(0).empty());
  EXPECT_TRUE(graph.GetAdjacentVertices(4).empty());
  EXPECT_EQ(graph.GetAdjacentVertices(5), (Neighbours{1}));
  EXPECT_EQ(graph.GetVertexList().size(), 6u);
  EXPECT_TRUE(graph.IsVertexInGraph(0));
  EXPECT_EQ(before.GetAdjacentVertices(0), (Neighbours{4, 5}));
  EXPECT_EQ(before.GetAdjacentVertices(5), (Neighbours{0, 1}));
  graph.ClearVertexEdges(0);  // nothing left to clear
  EXPECT_EQ(graph.GetAdjacentVertices(5), (Neighbours{1}));
  EXPECT_EQ(graph.GetEgeList().size(), 3u);  // the edge list is not touched
}

TEST(BGraph, CopyKeepsAdjacencyOrderAfterClearing) {
  BGraph graph = GraphFromPairs({1, 2, 3, 4}, {{1, 2}, {3, 2}, {4, 2}, {1, 3}, {2, 4}, {3, 4}});
  graph.ClearVertexEdges(2);  // left vertex of passage 3
  const BGraph copy = graph;
  for (unsigned int v = 0; v < 8; ++v)
    EXPECT_EQ(copy.GetAdjacentVertices(v), graph.GetAdjacentVertices(v)) << v;
  EXPECT_EQ(copy.GetAdjacentVertices(5), (Neighbours{0, 3}));
}

TEST(BGraph, DuplicatePassageNumbersAttachToTheLaterPassage) {
  const BGraph graph = GraphFromPairs({7, 8, 7}, {{7, 8}, {7, 8}});
  EXPECT_EQ(graph.GetAdjacentVertices(2), (Neighbours{4, 4}));  // parallel edges kept
  EXPECT_TRUE(graph.GetAdjacentVertices(0).empty());
  EXPECT_TRUE(graph.GetAdjacentVertices(3).empty());
  EXPECT_EQ(graph.idByPosition.size(), 3u);
}

TEST(BGraph, AddEdgeGrowsAndRemoveVertexRenumbers) {
  BGraph graph;
  graph.AddEdge(0, 3);
  EXPECT_EQ(graph.GetVertexList().size(), 4u);
  graph.RemoveVertex(1);
  EXPECT_EQ(graph.GetVertexList().size(), 3u);
  EXPECT_EQ(graph.GetAdjacentVertices(0), (Neighbours{2}));
  EXPECT_EQ(graph.GetAdjacentVertices(2), (Neighbours{0}));
}

TEST(BGraph, PrintGraphListsNeighboursWithTrailingBlank) {
  const BGraph graph = GraphFromPairs({7, 9}, {{7, 9}});
  EXPECT_EQ(Printed(graph), kDashes + "\n0: 3 \n1: \n2: \n3: 0 \n\n" + kDashes + "\n");
}

TEST(BGraph, MoveTakesTheGraphOverAndLeavesAnEmptyOne) {
  BGraph source = GraphFromPairs({4, 7, 9}, {{4, 7}, {7, 9}, {4, 9}});
  const BGraph copy = source;
  BGraph moved(std::move(source));
  EXPECT_EQ(Printed(moved), Printed(copy));
  EXPECT_EQ(moved.GetEgeList(), copy.GetEgeList());
  EXPECT_EQ(moved.idByPosition, copy.idByPosition);
  EXPECT_EQ(source.numberOfVertices, 0);            // NOLINT(bugprone-use-after-move)
  EXPECT_TRUE(source.GetVertexList().empty());      // NOLINT(bugprone-use-after-move)

  BGraph target = GraphFromPairs({1, 2}, {{1, 2}});
  target = std::move(moved);
  EXPECT_EQ(Printed(target), Printed(copy));
  EXPECT_EQ(target.GetMaxMatching(), copy.GetMaxMatching());
  EXPECT_TRUE(moved.GetVertexList().empty());       // NOLINT(bugprone-use-after-move)
}
