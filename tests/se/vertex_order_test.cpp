#include <gtest/gtest.h>

#include "se/VertexOrder.h"
#include "support/Timetables.h"

namespace {

// Passages 1..4; pairs give left degrees 2,1,0,0 and right degrees 0,1,1,1.
BGraph MakeGraph() { return GraphFromPairs(4, {{1, 2}, {1, 3}, {2, 4}}); }

}  // namespace

TEST(VertexOrder, NamesRoundTripAndUnknownNamesAreRefused) {
  VertexOrder order = VertexOrder::Random;
  EXPECT_TRUE(ParseVertexOrder("degree", order));
  EXPECT_EQ(order, VertexOrder::Degree);
  EXPECT_EQ(VertexOrderName(order), "degree");
  EXPECT_TRUE(ParseVertexOrder("random", order));
  EXPECT_EQ(order, VertexOrder::Random);
  EXPECT_EQ(VertexOrderName(order), "random");
  EXPECT_FALSE(ParseVertexOrder("Degree", order));
  EXPECT_FALSE(ParseVertexOrder("", order));
}

TEST(VertexOrder, RandomKeepsTheShuffledList) {
  const BGraph graph = MakeGraph();
  std::vector<unsigned int> vertices{5, 0, 7, 2, 1, 6, 4, 3};
  const std::vector<unsigned int> before = vertices;
  ApplyVertexOrder(VertexOrder::Random, graph, vertices);
  EXPECT_EQ(vertices, before);
}

TEST(VertexOrder, DegreePutsRightSideFirstByAscendingDegreeAndKeepsTiesInShuffledOrder) {
  const BGraph graph = MakeGraph();
  std::vector<unsigned int> vertices{5, 0, 7, 2, 1, 6, 4, 3};
  ApplyVertexOrder(VertexOrder::Degree, graph, vertices);
  // Right: 4 (degree 0), then 5, 7, 6 (degree 1) in shuffled order.
  // Left: 2, 3 (degree 0) in shuffled order, then 1 (degree 1), then 0 (degree 2).
  EXPECT_EQ(vertices, (std::vector<unsigned int>{4, 5, 7, 6, 2, 3, 1, 0}));
}
