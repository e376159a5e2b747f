#include "bipartite/FlatAdjacency.h"

#include <algorithm>
#include <thread>

#include "common/BesideThread.h"

std::shared_ptr<const FlatAdjacency> FlatAdjacency::FromEdges(
    std::size_t vertexCount, const std::vector<std::pair<int, int>>& edges) {
  std::vector<std::uint32_t> degree(vertexCount, 0);
  for (const auto& edge : edges) {
    ++degree[static_cast<std::size_t>(edge.first)];
    ++degree[static_cast<std::size_t>(edge.second)];
  }
  return FromEdges(degree, edges);
}

std::shared_ptr<const FlatAdjacency> FlatAdjacency::FromEdges(
    const std::vector<std::uint32_t>& degree, const std::vector<std::pair<int, int>>& edges) {
  const std::size_t vertexCount = degree.size();
  std::vector<std::uint64_t> offsets(vertexCount + 1, 0);
  for (std::size_t v = 0; v < vertexCount; ++v) offsets[v + 1] = offsets[v] + degree[v];
  std::vector<std::int32_t> targets(offsets[vertexCount]);

  // Each end's lists are filled by one pass over the edges. When every
  // first end lies below every second end (a split graph), the two passes
  // write disjoint lists and run on two threads.
  const auto fill = [&](bool firstEnds) {
    std::vector<std::uint64_t> next(offsets.begin(), offsets.end() - 1);
    std::int32_t* out = targets.data();
    for (const auto& edge : edges) {
      if (firstEnds)
        out[next[static_cast<std::size_t>(edge.first)]++] = edge.second;
      else
        out[next[static_cast<std::size_t>(edge.second)]++] = edge.first;
    }
  };
  int largestFirst = -1;
  int smallestSecond = static_cast<int>(vertexCount);
  for (const auto& edge : edges) {
    largestFirst = std::max(largestFirst, edge.first);
    smallestSecond = std::min(smallestSecond, edge.second);
  }
  if (largestFirst < smallestSecond && edges.size() >= (std::size_t{1} << 20) &&
      std::thread::hardware_concurrency() > 1) {
    RunBesideThread([&] { fill(false); }, [&] { fill(true); });
  } else {
    // One pass in edge order: a vertex that is a first end of some edges and
    // a second end of others gets them in edge order.
    std::vector<std::uint64_t> next(offsets.begin(), offsets.end() - 1);
    for (const auto& edge : edges) {
      targets[next[static_cast<std::size_t>(edge.first)]++] = edge.second;
      targets[next[static_cast<std::size_t>(edge.second)]++] = edge.first;
    }
  }
  return std::make_shared<const FlatAdjacency>(std::move(offsets), std::move(targets));
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
