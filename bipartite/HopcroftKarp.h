#pragma once

// Maximum matching of a bipartite graph given as flat adjacency arrays, by
// Hopcroft and Karp's phases: a breadth-first search layers the graph from
// the free vertices of side 0, then depth-first searches along the layers
// augment a maximal set of vertex-disjoint shortest augmenting paths.
//
// BGraph::GetMaxMatching uses Boost's Edmonds matching, which takes any
// graph; this one needs a 2-colouring and is what the estimator's compact
// engine starts every run from. Both give maximum matchings of the same
// size; which maximum matching they give is their own.
//
// Contract: `side` (one entry per vertex, 0 or 1) is a proper 2-colouring (no edge joins two vertices of
// one side); every neighbour index lies in [0, vertexCount). Parallel edges
// are allowed. The result has one entry per vertex: its partner, or -1.
//
// Cost: O(E sqrt V) time, O(V) memory besides the graph; the searches use
// explicit stacks, as augmenting paths can be as long as the graph.

#include <cstdint>
#include <vector>

#include "bipartite/FlatAdjacency.h"

constexpr std::int32_t kUnmatched = -1;

std::vector<std::int32_t> HopcroftKarpMates(const FlatAdjacency& graph,
                                            const std::vector<std::uint8_t>& side);
