#include "bipartite/Components.h"

#include <algorithm>
#include <limits>

GraphComponents::GraphComponents(const FlatAdjacency& graph) {
  const std::size_t vertexCount = graph.VertexCount();
  constexpr std::uint32_t kUnseen = std::numeric_limits<std::uint32_t>::max();
  componentOf_.assign(vertexCount, kUnseen);
  indexOf_.assign(vertexCount, 0);
  vertices_.reserve(vertexCount);
  offsets_.push_back(0);
  for (std::size_t start = 0; start < vertexCount; ++start) {
    if (componentOf_[start] != kUnseen) continue;
    const std::uint32_t component = static_cast<std::uint32_t>(offsets_.size() - 1);
    const std::size_t first = vertices_.size();
    componentOf_[start] = component;
    vertices_.push_back(static_cast<std::uint32_t>(start));
    for (std::size_t head = first; head < vertices_.size(); ++head) {
      const std::uint32_t v = vertices_[head];
      for (const std::int32_t* w = graph.Begin(v); w != graph.End(v); ++w) {
        if (componentOf_[*w] != kUnseen) continue;
        componentOf_[*w] = component;
        vertices_.push_back(static_cast<std::uint32_t>(*w));
      }
    }
    std::sort(vertices_.begin() + static_cast<std::ptrdiff_t>(first), vertices_.end());
    for (std::size_t k = first; k < vertices_.size(); ++k)
      indexOf_[vertices_[k]] = static_cast<std::uint32_t>(k - first);
    offsets_.push_back(vertices_.size());
  }
}
