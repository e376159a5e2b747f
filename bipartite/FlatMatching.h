#pragma once

// Edmonds' maximum cardinality matching on the flat graph, finding the very
// matching that Boost's checked_edmonds_maximum_cardinality_matching finds
// on the equivalent adjacency list (see FlatGraphView.h).
//
// Boost's run has three steps: the "extra greedy" start, augmenting paths
// until none is left (edmonds_augmenting_path_finder), and the verifier,
// whose verdict the programs never read. The last two run here as Boost's
// own code on the view. The start is recomputed in less memory and time.
// Boost lists every edge in both directions as a pair of vertex
// descriptors, std::sorts the list by the degree of the second end,
// stable-sorts it by the degree of the first end, and then matches every
// listed edge whose ends are both free. Here a listed edge is one 64-bit
// word (the key above the two ends) sorted with the same key comparison.
// std::sort moves elements only as the comparisons direct, so it applies the
// very same permutation; its two halves after the first partition are
// sorted on two threads by libstdc++'s own steps (same moves again). The
// stable sort is a counting sort by degree into a second buffer, whose
// first buffer's pages are handed back as they are read.
//
// Memory: 8 bytes per listed edge, so 16 per edge, plus a little (Boost: 32
// per edge for the list, as much again for its stable sort's buffer); O(V)
// besides. Time: the std::sort, O(E log E), dominates; each augmenting pass
// is O(V + E).

#include <cstdint>
#include <utility>
#include <vector>

#include "bipartite/FlatGraphView.h"

namespace flat {

// Mate table of the extra greedy start: mate[v] is v's partner or
// GraphView::null_vertex(). `degree[v]` counts v's edge ends in `edges`.
// `packed` false forces the 12-byte layout that graphs too large for one
// 64-bit word per listed edge use (for tests).
std::vector<std::uint32_t> ExtraGreedyStart(const std::vector<std::pair<int, int>>& edges,
                                            const std::vector<std::uint32_t>& degree,
                                            bool packed = true);

// Augments `mate` (a matching of the view's graph) to a maximum matching as
// Boost's matching() does after its start, verifier included.
void AugmentToMaximum(const GraphView& graph, std::vector<std::uint32_t>& mate);

}  // namespace flat
