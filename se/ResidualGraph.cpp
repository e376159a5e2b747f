#include "se/ResidualGraph.h"

#include <utility>

ResidualGraph::ResidualGraph(const BGraph& graph) : lists_(graph.Adjacency()) { ColourSides(); }

ResidualGraph::ResidualGraph(std::shared_ptr<const FlatAdjacency> lists) : lists_(std::move(lists)) {
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
  if (lists_) kept.lists_ = lists_->Without(removed);
  return kept;
}

void ResidualGraph::Drop(const std::vector<std::uint8_t>& removed) {
  if (!lists_) return;
  if (own_ && own_.use_count() == 2) {  // held here as own_ and lists_ only
    own_->RemoveInPlace(removed);
    return;
  }
  own_ = lists_->Without(removed);
  lists_ = own_;
}
