#include "certify/MatchingFacts.h"

#include <numeric>

namespace certify {

namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFFu;

// Vertices of one side that can be freed: from the free ones, step over an
// edge to the other side and back along its matched edge. `first` and
// `second` give the sides' vertex numbers of a position.
std::vector<std::uint8_t> Freeable(const FlatAdjacency& lists, std::uint32_t n,
                                   const std::vector<std::uint32_t>& mateOnOtherSide,
                                   const std::vector<std::uint32_t>& mateOfSide,
                                   std::uint32_t sideBase, std::uint32_t otherBase) {
  std::vector<std::uint8_t> freeable(n, 0);
  std::vector<std::uint32_t> stack;
  for (std::uint32_t p = 0; p < n; ++p) {
    if (mateOfSide[p] != kFree) continue;
    freeable[p] = 1;
    stack.push_back(p);
  }
  while (!stack.empty()) {
    const std::uint32_t p = stack.back();
    stack.pop_back();
    for (const std::int32_t* w = lists.Begin(sideBase + p); w != lists.End(sideBase + p); ++w) {
      const std::uint32_t other = static_cast<std::uint32_t>(*w) - otherBase;
      const std::uint32_t next = mateOnOtherSide[other];
      if (next == kFree || next == p || freeable[next]) continue;
      freeable[next] = 1;
      stack.push_back(next);
    }
  }
  return freeable;
}

std::uint32_t Find(std::vector<std::uint32_t>& parent, std::uint32_t v) {
  while (parent[v] != v) v = parent[v] = parent[parent[v]];
  return v;
}

}  // namespace

MatchingFacts ReadMatchingFacts(const BGraph& graph, const BGraph::Matching& maximum) {
  const auto n = static_cast<std::uint32_t>(graph.numberOfVertices / 2);
  std::vector<std::uint32_t> successor(n, kFree);    // row -> column
  std::vector<std::uint32_t> predecessor(n, kFree);  // column -> row
  for (const auto& pair : maximum) {
    const auto row = static_cast<std::uint32_t>(std::min(pair.first, pair.second));
    const auto column = static_cast<std::uint32_t>(std::max(pair.first, pair.second)) - n;
    successor[row] = column;
    predecessor[column] = row;
  }
  const std::shared_ptr<const FlatAdjacency> lists = graph.Adjacency();
  MatchingFacts facts;
  // A free column c: a row next to it gives up its column, which is freed.
  facts.canStart = Freeable(*lists, n, successor, predecessor, n, 0);
  facts.canEnd = Freeable(*lists, n, predecessor, successor, 0, n);

  std::vector<std::uint32_t> parent(n);
  std::iota(parent.begin(), parent.end(), 0u);
  for (const auto& edge : graph.edgeList) {
    const std::uint32_t a = Find(parent, static_cast<std::uint32_t>(edge.first));
    const std::uint32_t b = Find(parent, static_cast<std::uint32_t>(edge.second) - n);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  }
  std::vector<std::uint8_t> hasEnd(n, 0);
  for (std::uint32_t p = 0; p < n; ++p)
    if (successor[p] == kFree) hasEnd[Find(parent, p)] = 1;
  for (std::uint32_t p = 0; p < n; ++p)
    if (Find(parent, p) == p && !hasEnd[p]) ++facts.fewestClosedRotations;
  return facts;
}

}  // namespace certify
