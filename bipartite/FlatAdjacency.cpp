#include "bipartite/FlatAdjacency.h"

std::shared_ptr<const FlatAdjacency> FlatAdjacency::FromEdges(
    std::size_t vertexCount, const std::vector<std::pair<int, int>>& edges) {
  auto built = std::make_shared<FlatAdjacency>();
  std::vector<std::uint64_t>& offsets = built->offsets_;
  offsets.assign(vertexCount + 1, 0);
  for (const auto& edge : edges) {
    ++offsets[static_cast<std::size_t>(edge.first) + 1];
    ++offsets[static_cast<std::size_t>(edge.second) + 1];
  }
  for (std::size_t v = 0; v < vertexCount; ++v) offsets[v + 1] += offsets[v];
  built->targets_.resize(offsets[vertexCount]);
  std::vector<std::uint64_t> next(offsets.begin(), offsets.end() - 1);
  std::int32_t* targets = built->targets_.data();
  for (const auto& edge : edges) {
    targets[next[static_cast<std::size_t>(edge.first)]++] = edge.second;
    targets[next[static_cast<std::size_t>(edge.second)]++] = edge.first;
  }
  return built;
}

std::shared_ptr<FlatAdjacency> FlatAdjacency::Without(
    const std::vector<std::uint8_t>& removed) const {
  const std::size_t vertexCount = VertexCount();
  std::vector<std::uint64_t> offsets(offsets_.size(), 0);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    std::uint64_t kept = 0;
    if (!removed[v])
      for (const std::int32_t* w = Begin(v); w != End(v); ++w) kept += removed[*w] ? 0 : 1;
    offsets[v + 1] = offsets[v] + kept;
  }
  std::vector<std::int32_t> targets;
  targets.reserve(offsets[vertexCount]);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    if (removed[v]) continue;
    for (const std::int32_t* w = Begin(v); w != End(v); ++w)
      if (!removed[*w]) targets.push_back(*w);
  }
  return std::make_shared<FlatAdjacency>(std::move(offsets), std::move(targets));
}

void FlatAdjacency::RemoveInPlace(const std::vector<std::uint8_t>& removed) {
  const std::size_t vertexCount = VertexCount();
  std::uint64_t kept = 0;
  std::uint64_t begin = 0;
  for (std::size_t v = 0; v < vertexCount; ++v) {
    const std::uint64_t end = offsets_[v + 1];
    if (!removed[v])
      for (std::uint64_t k = begin; k < end; ++k)
        if (!removed[targets_[k]]) targets_[kept++] = targets_[k];
    begin = end;
    offsets_[v + 1] = kept;
  }
  targets_.resize(kept);
}
