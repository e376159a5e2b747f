#pragma once

// Neighbour lists of a graph as two flat arrays (compressed rows): the
// neighbours of v are targets[offsets[v] .. offsets[v + 1]).
//
// Built from an edge list, each list holds one entry per incident edge in
// the order of the edge list: exactly the out-edge order of Boost's
// adjacency list after add_edge(first, second) for every edge in that order
// (parallel edges stay, each once per end). Immutable once built, so copies
// of a graph and the search engines share one instance.
//
// Cost: 4 bytes per edge end (8 per edge) plus 8 per vertex; O(V + E) time
// to build (two threads for a large split graph), no other memory.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class FlatAdjacency {
 public:
  FlatAdjacency() = default;

  // Every edge's ends must lie below `vertexCount`.
  static std::shared_ptr<const FlatAdjacency> FromEdges(
      std::size_t vertexCount, const std::vector<std::pair<int, int>>& edges);
  // The same with the vertex degrees known (`degree.size()` vertices).
  static std::shared_ptr<const FlatAdjacency> FromEdges(
      const std::vector<std::uint32_t>& degree, const std::vector<std::pair<int, int>>& edges);
  // From the arrays themselves: `offsets` has V + 1 ascending entries from
  // 0 to targets.size().
  FlatAdjacency(std::vector<std::uint64_t> offsets, std::vector<std::int32_t> targets)
      : offsets_(std::move(offsets)), targets_(std::move(targets)) {}

  // This graph without the edges of the vertices flagged in `removed` (one
  // flag per vertex); every other list keeps its order.
  std::shared_ptr<FlatAdjacency> Without(const std::vector<std::uint8_t>& removed) const;
  // The same in place, in one pass, keeping the arrays' capacity.
  void RemoveInPlace(const std::vector<std::uint8_t>& removed);

  std::size_t VertexCount() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
  std::size_t EntryCount() const { return targets_.size(); }
  std::size_t Degree(std::size_t v) const {
    return static_cast<std::size_t>(offsets_[v + 1] - offsets_[v]);
  }
  const std::int32_t* Begin(std::size_t v) const { return targets_.data() + offsets_[v]; }
  const std::int32_t* End(std::size_t v) const { return targets_.data() + offsets_[v + 1]; }

 private:
  std::vector<std::uint64_t> offsets_;
  std::vector<std::int32_t> targets_;
};
