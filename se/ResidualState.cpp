#include "se/ResidualState.h"

#include "bipartite/HopcroftKarp.h"

namespace residual {

State MakeRoot(const ResidualGraph& graph) {
  if (graph.VertexCount() == 0) return State();
  return HopcroftKarpMates(graph.Lists(), graph.Sides());
}

State RootFromMatching(const ResidualGraph& graph, const BGraph::Matching& maximum) {
  State state(static_cast<std::size_t>(graph.VertexCount()), kFree);
  for (const auto& pair : maximum) {
    state[pair.first] = pair.second;
    state[pair.second] = pair.first;
  }
  return state;
}

std::size_t ResidualMatchingSize(const State& state) {
  std::size_t matchedVertices = 0;
  for (std::int32_t entry : state)
    if (entry >= 0) ++matchedVertices;
  return matchedVertices / 2;
}

BGraph::Matching DecidedPairs(const State& state, const std::vector<unsigned int>& order) {
  std::vector<std::size_t> position(state.size(), 0);
  for (std::size_t k = 0; k < order.size(); ++k)
    if (order[k] < state.size()) position[order[k]] = k;
  BGraph::Matching pairs;
  for (unsigned int x : order) {
    if (x >= state.size() || state[x] > kPartnerBase) continue;
    const std::int32_t partner = PartnerOf(state[x]);
    if (position[x] < position[static_cast<std::size_t>(partner)])
      pairs.emplace_back(static_cast<int>(x), static_cast<int>(partner));
  }
  return pairs;
}

std::vector<std::uint8_t> ForcedVertices(const ResidualGraph& graph, const State& state) {
  const int vertexCount = graph.VertexCount();
  std::vector<std::uint8_t> freeable(static_cast<std::size_t>(vertexCount), 0);
  std::vector<std::int32_t> queue;
  for (int v = 0; v < vertexCount; ++v) {
    if (state[v] != kFree) continue;
    freeable[v] = 1;
    queue.push_back(v);
  }
  // From a freeable vertex along any edge to y (matched, or the matching
  // would not be maximum), then along y's matching edge: mate(y) is freeable.
  for (std::size_t head = 0; head < queue.size(); ++head) {
    const int x = queue[head];
    for (const std::int32_t* y = graph.NeighboursBegin(x); y != graph.NeighboursEnd(x); ++y) {
      const std::int32_t mate = state[*y];
      if (mate < 0 || freeable[mate]) continue;
      freeable[mate] = 1;
      queue.push_back(mate);
    }
  }
  std::vector<std::uint8_t> forced(freeable.size());
  for (std::size_t v = 0; v < forced.size(); ++v) forced[v] = freeable[v] ? 0 : 1;
  return forced;
}

}  // namespace residual
