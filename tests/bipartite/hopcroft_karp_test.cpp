#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "bipartite/HopcroftKarp.h"

namespace {

// Flat arrays of a random bipartite graph on left 0..n-1 and right n..2n-1,
// parallel edges included, and the same graph as a BGraph.
struct RandomBipartite {
  std::vector<std::uint64_t> offsets;
  std::vector<std::int32_t> targets;
  std::vector<std::uint8_t> side;
  BGraph graph;

  RandomBipartite(int n, double density, std::mt19937& rng) {
    std::bernoulli_distribution edge(density);
    std::vector<std::vector<std::int32_t>> neighbours(2 * n);
    graph.numberOfVertices = 2 * n;
    graph.adjacencyList = BGraph::Graph(2 * n);
    for (int u = 0; u < n; ++u)
      for (int v = n; v < 2 * n; ++v) {
        const int copies = edge(rng) ? 1 + static_cast<int>(rng() % 4 == 0) : 0;
        for (int k = 0; k < copies; ++k) {
          neighbours[u].push_back(v);
          neighbours[v].push_back(u);
          graph.AddEdge(u, v);
        }
      }
    offsets.push_back(0);
    for (int v = 0; v < 2 * n; ++v) {
      targets.insert(targets.end(), neighbours[v].begin(), neighbours[v].end());
      offsets.push_back(targets.size());
      side.push_back(v < n ? 0 : 1);
    }
  }

  FlatAdjacency View() const { return FlatAdjacency(offsets, targets); }
};

}  // namespace

// A valid matching (symmetric, on edges) of Boost's Edmonds size, on random
// graphs from empty to complete, parallel edges included.
TEST(HopcroftKarp, ValidMatchingOfEdmondsSizeOnRandomBipartiteGraphs) {
  std::mt19937 rng(2024);
  for (int instance = 0; instance < 300; ++instance) {
    const int n = instance % 13;
    const double density = (instance % 7) / 6.0;
    const RandomBipartite random(n, density, rng);
    const std::vector<std::int32_t> mate = HopcroftKarpMates(random.View(), random.side);
    ASSERT_EQ(mate.size(), static_cast<std::size_t>(2 * n));
    std::size_t matched = 0;
    for (int v = 0; v < 2 * n; ++v) {
      if (mate[v] == kUnmatched) continue;
      ++matched;
      ASSERT_EQ(mate[mate[v]], v) << "instance " << instance;
      const std::vector<unsigned int> around = random.graph.GetAdjacentVertices(v);
      ASSERT_NE(std::find(around.begin(), around.end(), static_cast<unsigned>(mate[v])),
                around.end())
          << "instance " << instance << ": matched pair is no edge";
    }
    EXPECT_EQ(matched / 2, random.graph.GetCardinalityOfMaxMatching()) << "instance " << instance;
  }
}
