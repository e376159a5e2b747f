#include "se/ResidualGraph.h"

ResidualGraph::ResidualGraph(const BGraph& graph) {
  const BGraph::Graph& g = graph.adjacencyList;
  const std::size_t vertexCount = boost::num_vertices(g);
  offsets_.assign(vertexCount + 1, 0);
  for (std::size_t v = 0; v < vertexCount; ++v)
    offsets_[v + 1] = offsets_[v] + static_cast<std::uint32_t>(boost::out_degree(v, g));
  targets_.reserve(offsets_[vertexCount]);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    auto range = boost::adjacent_vertices(v, g);
    for (auto it = range.first; it != range.second; ++it)
      targets_.push_back(static_cast<std::int32_t>(*it));
  }
  ColourSides();
}

void ResidualGraph::ColourSides() {
  const int vertexCount = VertexCount();
  const std::uint8_t unset = 2;
  side_.assign(static_cast<std::size_t>(vertexCount), unset);
  std::vector<int> queue;
  queue.reserve(static_cast<std::size_t>(vertexCount));
  for (int start = 0; start < vertexCount; ++start) {
    if (side_[start] != unset) continue;
    side_[start] = 0;
    queue.assign(1, start);
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const int u = queue[head];
      for (const std::int32_t* w = NeighboursBegin(u); w != NeighboursEnd(u); ++w) {
        if (side_[*w] == unset) {
          side_[*w] = static_cast<std::uint8_t>(1 - side_[u]);
          queue.push_back(*w);
        } else if (side_[*w] == side_[u]) {
          bipartite_ = false;
        }
      }
    }
  }
}

ResidualGraph ResidualGraph::Without(const std::vector<std::uint8_t>& removed) const {
  ResidualGraph kept;
  kept.side_ = side_;
  kept.bipartite_ = bipartite_;
  const int vertexCount = VertexCount();
  kept.offsets_.assign(offsets_.size(), 0);
  kept.targets_.reserve(targets_.size());
  for (int v = 0; v < vertexCount; ++v) {
    if (!removed[v])
      for (const std::int32_t* w = NeighboursBegin(v); w != NeighboursEnd(v); ++w)
        if (!removed[*w]) kept.targets_.push_back(*w);
    kept.offsets_[v + 1] = static_cast<std::uint32_t>(kept.targets_.size());
  }
  return kept;
}
