#pragma once

// Connected components of a graph given by its neighbour lists.
//
// The split graph of a timetable falls apart into one piece per terminal
// board, plus single vertices that nothing can follow or precede. The
// pieces are found from the edges themselves, so that whatever rule made
// the edges, the pieces are right.
//
// Numbering: components in ascending order of their smallest vertex;
// inside a component, vertices ascending. `componentOf` and `indexOf`
// give each vertex's component and its place in that component's list.
//
// Cost: O(V + E) time (one breadth-first search per component), 16 bytes
// per vertex.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bipartite/FlatAdjacency.h"

class GraphComponents {
 public:
  GraphComponents() = default;
  explicit GraphComponents(const FlatAdjacency& graph);

  std::size_t Count() const { return offsets_.empty() ? 0 : offsets_.size() - 1; }
  std::size_t Size(std::size_t component) const {
    return static_cast<std::size_t>(offsets_[component + 1] - offsets_[component]);
  }
  const std::uint32_t* Begin(std::size_t component) const {
    return vertices_.data() + offsets_[component];
  }
  const std::uint32_t* End(std::size_t component) const {
    return vertices_.data() + offsets_[component + 1];
  }
  std::uint32_t ComponentOf(std::size_t vertex) const { return componentOf_[vertex]; }
  std::uint32_t IndexOf(std::size_t vertex) const { return indexOf_[vertex]; }

 private:
  std::vector<std::uint32_t> componentOf_;
  std::vector<std::uint32_t> indexOf_;
  std::vector<std::uint64_t> offsets_;
  std::vector<std::uint32_t> vertices_;
};
