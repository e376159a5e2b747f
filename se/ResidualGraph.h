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
// The lists are the graph's own flat arrays, shared, not copied (see
// BGraph::Adjacency).
//
// Cost: O(V) memory and O(V + E) time to build (the colouring).

#include <cstdint>
#include <memory>
#include <vector>

#include "bipartite/BGraph.h"
#include "bipartite/HopcroftKarp.h"

class ResidualGraph {
 public:
  explicit ResidualGraph(const BGraph& graph);
  // Over neighbour lists of any bipartite graph (shared, not copied).
  explicit ResidualGraph(std::shared_ptr<const FlatAdjacency> lists);
  ResidualGraph() = default;  // no vertex

  int VertexCount() const { return lists_ ? static_cast<int>(lists_->VertexCount()) : 0; }
  std::size_t EdgeEntryCount() const { return lists_ ? lists_->EntryCount() : 0; }

  const std::int32_t* NeighboursBegin(int v) const {
    return lists_->Begin(static_cast<std::size_t>(v));
  }
  const std::int32_t* NeighboursEnd(int v) const {
    return lists_->End(static_cast<std::size_t>(v));
  }

  // This graph without the edges of the vertices marked in `removed` (one
  // flag per vertex); every other list keeps its order. A run drops its
  // decided vertices this way, as they are cleared in every node of a level.
  ResidualGraph Without(const std::vector<std::uint8_t>& removed) const;
  // The same change made to this graph: in place when its lists are its own.
  void Drop(const std::vector<std::uint8_t>& removed);

  // The lists and the 2-colouring (for HopcroftKarpMates); a graph with
  // vertices only.
  const FlatAdjacency& Lists() const { return *lists_; }
  const std::vector<std::uint8_t>& Sides() const { return side_; }

  bool IsBipartite() const { return bipartite_; }
  // 0 or 1; meaningful only when IsBipartite().
  std::uint8_t Side(int v) const { return side_[v]; }

 private:
  void ColourSides();

  std::shared_ptr<const FlatAdjacency> lists_;
  std::shared_ptr<FlatAdjacency> own_;  // lists_ when made by Drop, else null
  std::vector<std::uint8_t> side_;
  bool bipartite_ = true;
};
