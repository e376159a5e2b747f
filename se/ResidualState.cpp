#include "se/ResidualState.h"

#include "bipartite/HopcroftKarp.h"

namespace residual {

State MakeRoot(const ResidualGraph& graph) {
  if (graph.VertexCount() == 0) return State();
  return HopcroftKarpMates(graph.Lists(), graph.Sides());
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

}  // namespace residual
