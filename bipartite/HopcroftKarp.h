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
// Contract: `side` is a proper 2-colouring (no edge joins two vertices of
// one side); every neighbour index lies in [0, vertexCount). Parallel edges
// are allowed. The result has one entry per vertex: its partner, or -1.
//
// Cost: O(E sqrt V) time, O(V) memory besides the graph; the searches use
// explicit stacks, as augmenting paths can be as long as the graph.

#include <cstdint>
#include <vector>

// A read-only view of a graph in compressed sparse rows: the neighbours of
// v are targets[offsets[v]] .. targets[offsets[v + 1] - 1].
struct FlatAdjacency {
  int vertexCount = 0;
  const std::uint32_t* offsets = nullptr;  // vertexCount + 1 entries
  const std::int32_t* targets = nullptr;
  const std::uint8_t* side = nullptr;      // 0 or 1 per vertex
};

constexpr std::int32_t kUnmatched = -1;

std::vector<std::int32_t> HopcroftKarpMates(const FlatAdjacency& graph);
