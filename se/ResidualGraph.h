#pragma once

// One immutable adjacency structure of the search's split graph, shared by
// every node of the fast Stochastic Enumeration engine.
//
// A node's residual graph is this graph with the edges of its cleared
// vertices removed: an edge (u, w) is present in the residual graph iff
// neither u nor w is cleared. So a node needs no graph of its own, only the
// set of its cleared vertices (see ResidualState).
//
// The neighbour lists keep the order of BGraph::GetAdjacentVertices, one
// entry per edge (parallel edges stay). Clearing a vertex in a BGraph copy
// keeps the relative order of the other entries, so a residual neighbour
// list is this list with the cleared vertices filtered out.
//
// The graph is also 2-coloured; the alternating-path arguments of the fast
// engine hold for bipartite graphs only. Split graphs built from a poset are
// always bipartite (left vertex to right vertex); a graph with an odd cycle
// (edges added by hand) is reported as not bipartite.
//
// Cost: O(V + E) time and memory to build.

#include <cstdint>
#include <vector>

#include "bipartite/BGraph.h"
#include "bipartite/HopcroftKarp.h"

class ResidualGraph {
 public:
  explicit ResidualGraph(const BGraph& graph);
  ResidualGraph() = default;  // no vertex

  int VertexCount() const { return offsets_.empty() ? 0 : static_cast<int>(offsets_.size()) - 1; }
  std::size_t EdgeEntryCount() const { return targets_.size(); }

  const std::int32_t* NeighboursBegin(int v) const { return targets_.data() + offsets_[v]; }
  const std::int32_t* NeighboursEnd(int v) const { return targets_.data() + offsets_[v + 1]; }

  // This graph without the edges of the vertices marked in `removed` (one
  // flag per vertex); every other list keeps its order. A run drops its
  // decided vertices this way, as they are cleared in every node of a level.
  ResidualGraph Without(const std::vector<std::uint8_t>& removed) const;

  // The arrays as a view (for HopcroftKarpMates); valid while this graph lives.
  FlatAdjacency Flat() const {
    return FlatAdjacency{VertexCount(), offsets_.data(), targets_.data(), side_.data()};
  }

  bool IsBipartite() const { return bipartite_; }
  // 0 or 1; meaningful only when IsBipartite().
  std::uint8_t Side(int v) const { return side_[v]; }

 private:
  void ColourSides();

  std::vector<std::uint32_t> offsets_;
  std::vector<std::int32_t> targets_;
  std::vector<std::uint8_t> side_;
  bool bipartite_ = true;
};
