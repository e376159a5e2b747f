#pragma once

// What holds for every maximum matching of a split graph, read off one of
// them.
//
// Chain ends: a passage can start a chain (its right vertex is free) in
// some maximum matching iff an even alternating path leads to its right
// vertex from a free right vertex of the given matching; the same on the
// left side for chain ends. Only these passages can start or end a chain
// of a minimum decomposition.
//
// Closed rotations: passages joined by edges form components, and every
// maximum matching is maximum on each of them. A component whose matching
// leaves no passage without a successor has no chain end, so all its
// chains are closed rotations: at least one. Their number is a lower bound
// on the closed rotations of every maximum matching.
//
// Cost: O(V + E) time and memory.

#include <cstdint>
#include <vector>

#include "bipartite/BGraph.h"

namespace certify {

struct MatchingFacts {
  std::vector<std::uint8_t> canStart;  // per position: free right vertex in some maximum matching
  std::vector<std::uint8_t> canEnd;    // per position: free left vertex in some maximum matching
  int fewestClosedRotations = 0;
};

// `maximum` is a maximum matching of `graph`, pairs (left, right).
MatchingFacts ReadMatchingFacts(const BGraph& graph, const BGraph::Matching& maximum);

}  // namespace certify
