#pragma once

// What is known, before a search, about the best any minimum decomposition
// of the day can reach: the seam through which bounds reach the exchange
// search and the driver's bound line, whoever computes them.
//
// `chains` is the fewest chains a decomposition can have (passages less a
// maximum matching: a decomposition without closed rotations). `balanced`
// bounds the balanced chains and `rest` the chains with enough rest of a
// decomposition with that many chains; `rest` among those with the most
// balanced chains, so a bound over all of them will do. Each is optional:
// a source that knows nothing leaves it empty, and several sources combine
// by taking the smaller bound (Tighten).
//
// A decomposition meets both bounds only when no other ranks higher (fewer
// chains first, then more balanced, then more rested): a search that holds
// one may stop (Proves).

#include <optional>

#include "bipartite/BGraph.h"
#include "common/TimeTable.h"
#include "localsearch/Search.h"

struct SearchBounds {
  int chains = 0;
  std::optional<int> balanced;
  std::optional<int> rest;

  // Keeps the smaller of each bound and `other`'s.
  void Tighten(const SearchBounds& other);
  // True when `counts` has the fewest chains and meets both bounds.
  bool Proves(const DecompositionCounts& counts) const;
};

// What the bound line says of a search's best: the bound on its balanced
// chains (the bound over open chains plus the closed rotations the best
// still has, each one balanced chain of its own), and whether the best is
// proven to rank highest. That takes the fewest chains as well: a best that
// keeps a closed rotation may meet its own bound while a decomposition
// with one chain fewer, which ranks higher whatever its balance, exists.
struct BalancedClaim {
  int bound = 0;
  bool optimal = false;
};
BalancedClaim ClaimBalanced(const SearchBounds& bounds, const DecompositionCounts& best);

// The bounds that cost next to nothing: the fewest chains, the balanced
// bound of each connected part of the follow relation (BalancedBound.h),
// and every chain rested. `maximum` is a maximum matching of `graph`.
SearchBounds CombinatorialBounds(const BGraph& graph, const TimeTable& table,
                                 const BGraph::Matching& maximum);
