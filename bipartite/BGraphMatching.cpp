// Boost's matching verifier trips a false maybe-uninitialized report in
// its odd-components counter when optimised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <boost/graph/max_cardinality_matching.hpp>

#include "bipartite/BGraph.h"
#include "bipartite/FlatMatching.h"

BGraph::Matching BGraph::ComputeMaxMatchingPairs() const {
  Matching pairs;
  if (flat_) {
    // The start first: its sort array is freed before the neighbour lists
    // are built (on the first matching of a graph).
    std::vector<std::uint32_t> mate = flat::ExtraGreedyStart(edgeList, degree_);
    const std::shared_ptr<const FlatAdjacency> lists = Adjacency();
    flat::AugmentToMaximum(flat::GraphView(*lists, &edgeList), mate);
    const std::uint32_t none = flat::GraphView::null_vertex();
    for (std::size_t v = 0; v < mate.size(); ++v) {
      if (mate[v] != none && v < mate[v])
        pairs.emplace_back(static_cast<int>(v), static_cast<int>(mate[v]));
    }
    return pairs;
  }
  using Vertex = boost::graph_traits<Graph>::vertex_descriptor;
  const std::size_t vertexCount = boost::num_vertices(adjacencyList);
  std::vector<Vertex> mate(vertexCount, 0);
  boost::checked_edmonds_maximum_cardinality_matching(adjacencyList, mate.data());
  const Vertex none = boost::graph_traits<Graph>::null_vertex();
  for (std::size_t v = 0; v < vertexCount; ++v) {
    if (mate[v] != none && v < mate[v])
      pairs.emplace_back(static_cast<int>(v), static_cast<int>(mate[v]));
  }
  return pairs;
}

unsigned int BGraph::GetCardinalityOfMaxMatching() const {
  return static_cast<unsigned int>(ComputeMaxMatchingPairs().size());
}

BGraph::Matching BGraph::GetMaxMatching() const { return ComputeMaxMatchingPairs(); }

BGraph::Decomposition BGraph::GetDillworthDecomposition() const {
  Matching matching = ComputeMaxMatchingPairs();
  return GetDillworthDecompositionFromMatching(matching);
}

BGraph::Decomposition BGraph::GetDillworthDecompositionFromMatching(Matching& matching) const {
  const std::uint32_t n = static_cast<std::uint32_t>(numberOfVertices / 2);
  std::map<std::uint32_t, std::uint32_t> successor;
  std::map<std::uint32_t, std::uint32_t> predecessor;
  for (const auto& pair : matching) {
    const std::uint32_t x = static_cast<std::uint32_t>(pair.first);
    const std::uint32_t y = static_cast<std::uint32_t>(pair.second);
    const std::uint32_t lo = std::min(x, y);
    const std::uint32_t hi = std::max(x, y);
    successor[lo] = hi - n;
    predecessor[hi - n] = lo;
  }
  std::vector<bool> visited(n, false);
  Decomposition chains;
  for (std::uint32_t i = 0; i < n; ++i) {
    if (visited[i]) continue;
    // Walk back to the head of i's chain. On a cyclic rotation the walk comes
    // back to i, which then heads the chain; the visited test and the step
    // bound keep inconsistent input from looping or listing a passage twice.
    std::uint32_t head = i;
    for (std::uint32_t steps = 0; steps < n; ++steps) {
      auto back = predecessor.find(head);
      if (back == predecessor.end() || back->second >= n || visited[back->second]) break;
      if (back->second == i) {
        head = i;
        break;
      }
      head = back->second;
    }
    Chain chain{head};
    visited[head] = true;
    for (auto next = successor.find(head); next != successor.end(); next = successor.find(head)) {
      if (next->second >= n || visited[next->second]) break;
      head = next->second;
      chain.push_back(head);
      visited[head] = true;
    }
    chains.push_back(std::move(chain));
  }
  for (Chain& chain : chains)
    for (unsigned int& entry : chain) entry = idByPosition.at(entry);
  return chains;
}
