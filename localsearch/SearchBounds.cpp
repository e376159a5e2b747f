#include "localsearch/SearchBounds.h"

#include <algorithm>

#include "localsearch/BalancedBound.h"

namespace {

std::optional<int> Smaller(const std::optional<int>& a, const std::optional<int>& b) {
  if (!a) return b;
  if (!b) return a;
  return std::min(*a, *b);
}

}  // namespace

void SearchBounds::Tighten(const SearchBounds& other) {
  balanced = Smaller(balanced, other.balanced);
  rest = Smaller(rest, other.rest);
}

bool SearchBounds::Proves(const DecompositionCounts& counts) const {
  return counts.chains == chains && balanced && rest && counts.balanced >= *balanced &&
         counts.rest >= *rest;
}

BalancedClaim ClaimBalanced(const SearchBounds& bounds, const DecompositionCounts& best) {
  const int cycles = best.chains - bounds.chains;
  BalancedClaim claim;
  claim.bound = bounds.balanced.value_or(best.chains - cycles) + cycles;
  claim.optimal = cycles == 0 && best.balanced == claim.bound;
  return claim;
}

SearchBounds CombinatorialBounds(const BGraph& graph, const TimeTable& table,
                                 const BGraph::Matching& maximum) {
  SearchBounds bounds;
  bounds.chains = graph.numberOfVertices / 2 - static_cast<int>(maximum.size());
  bounds.balanced = PartBalancedChainsBound(graph, table, maximum);
  bounds.rest = bounds.chains;
  return bounds;
}
