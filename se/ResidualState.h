#pragma once

// The state of one node of the fast Stochastic Enumeration engine: its
// residual graph and a maximum matching of it, together with the pairs the
// node has decided, in one word per vertex (O(V) per node, no graph copy).
//
// Encoding of entry x:
//   >= 0   x is not cleared and is matched to that vertex in the residual
//          matching;
//   kFree  x is not cleared and unmatched in the residual matching;
//   kDecidedUnmatched  x is cleared and has no partner;
//   <= kPartnerBase  x is cleared and paired with PartnerOf(entry).
// A vertex is cleared when it was decided or taken as a partner; its edges
// are then gone from the residual graph (see ResidualGraph).
//
// Invariant kept by the engine: the residual matching is a maximum
// matching of the residual graph, and decided pairs plus its size equal the
// size of a maximum matching of the whole graph.

#include <cstdint>
#include <vector>

#include "bipartite/BGraph.h"
#include "se/ResidualGraph.h"

namespace residual {

using State = std::vector<std::int32_t>;

constexpr std::int32_t kFree = -1;
constexpr std::int32_t kDecidedUnmatched = -2;
constexpr std::int32_t kPartnerBase = -3;

inline bool IsCleared(std::int32_t entry) { return entry <= kDecidedUnmatched; }
inline std::int32_t EncodePartner(std::int32_t partner) { return kPartnerBase - partner; }
inline std::int32_t PartnerOf(std::int32_t entry) { return kPartnerBase - entry; }

// Root state: nothing cleared, a maximum matching of the whole graph
// (bipartite/HopcroftKarp.h, O(E sqrt V)). The graph must be bipartite.
State MakeRoot(const ResidualGraph& graph);
// The same from a given maximum matching of the graph (pairs of vertices).
State RootFromMatching(const ResidualGraph& graph, const BGraph::Matching& maximum);

// Number of edges of the residual matching.
std::size_t ResidualMatchingSize(const State& state);

// One flag per vertex: 1 when every maximum matching of `graph` covers the
// vertex ("forced"); `state` must be the root (a maximum matching, nothing
// cleared). A vertex can be left free iff an even alternating path leads to
// it from a free vertex of its own side, so one search from all free
// vertices finds the others. Which maximum matching is used does not
// matter. A vertex forced in the graph stays forced in every node below the
// root: each step removes a vertex some maximum matching leaves free, or a
// pair some maximum matching holds, and a maximum matching that left a
// forced vertex free below would, with what was removed, leave it free
// above. O(V + E).
std::vector<std::uint8_t> ForcedVertices(const ResidualGraph& graph, const State& state);

// The decided pairs as (decided vertex, partner), in the order in which the
// vertices were decided. `order` is the run's vertex order; the decided
// vertex of a pair is the one that comes first in it, since a partner is
// cleared and never decided with a partner of its own later.
BGraph::Matching DecidedPairs(const State& state, const std::vector<unsigned int>& order);

}  // namespace residual
