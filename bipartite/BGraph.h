#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include <boost/graph/adjacency_list.hpp>

#include "bipartite/FlatAdjacency.h"
#include "common/Poset.h"
#include "common/TimeTable.h"

// Split bipartite graph of the precedence order. The passage at position i
// has left vertex i and right vertex n + i; a pair (a, b) of the poset is the
// edge from a's left vertex to b's right vertex.
//
// Two representations of the same graph. `InitGraphFromPoset` builds the
// flat one: `edgeList` in poset order, the vertex degrees, and neighbour
// lists as flat arrays (FlatAdjacency, built on first use and shared by
// copies), about 16 bytes per edge. Boost's adjacency list (`adjacencyList`,
// some 200 bytes per edge) stays empty until an operation that edits the
// graph (AddEdge, RemoveVertex, ClearVertexEdges) or `MakeLiteral` asks for
// it; it is then built by add_edge over `edgeList` in order, exactly as the
// poset would have built it, and from then on the graph is literal: every
// operation reads and edits the adjacency list as before. A default graph is
// literal (empty). Every read gives the same answer in both representations:
// vertex and neighbour lists, degrees, edge list, maximum matching (see
// FlatMatching.h) and decompositions.
class BGraph {
 public:
  using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::undirectedS>;
  using Matching = std::vector<std::pair<int, int>>;
  using Chain = std::vector<unsigned int>;
  using Decomposition = std::vector<Chain>;

  std::map<std::uint32_t, std::uint32_t> positionById;
  std::map<std::uint32_t, std::uint32_t> idByPosition;
  int numberOfVertices = 0;
  Graph adjacencyList;
  std::vector<std::pair<int, int>> edgeList;

  BGraph() = default;
  BGraph(const BGraph&) = default;
  BGraph& operator=(const BGraph&) = default;
  // Boost's adjacency list has no move operations of its own (moving it
  // copies every edge); these swap it instead. The moved-from graph is empty.
  BGraph(BGraph&& other) noexcept;
  BGraph& operator=(BGraph&& other) noexcept;
  ~BGraph() = default;

  void InitGraphFromPoset(TimeTable& table, Poset& poset);
  // The same graph built literally, one add_edge per pair: the reference.
  void InitLiteralGraphFromPoset(TimeTable& table, Poset& poset);

  void AddEdge(unsigned int u, unsigned int v);
  void RemoveVertex(unsigned int v);
  void ClearVertexEdges(unsigned int v);
  std::vector<unsigned int> GetAdjacentVertices(unsigned int v) const;
  std::vector<unsigned int> GetVertexList() const;
  bool IsVertexInGraph(unsigned int v) const;
  void PrintGraph() const;
  std::vector<std::pair<int, int>> GetEgeList() const;

  // Builds Boost's adjacency list from the flat graph (nothing when the
  // graph is literal already).
  void MakeLiteral();
  bool IsLiteral() const { return !flat_; }
  std::size_t VertexCount() const;
  std::size_t EdgeCount() const;
  std::size_t Degree(unsigned int v) const;
  // The neighbour lists as flat arrays, in GetAdjacentVertices order: the
  // graph's own (shared) when flat, a snapshot of the adjacency list when
  // literal.
  std::shared_ptr<const FlatAdjacency> Adjacency() const;

  // Maximum matching and chain decompositions.
  unsigned int GetCardinalityOfMaxMatching() const;
  Matching GetMaxMatching() const;
  Decomposition GetDillworthDecomposition() const;
  Decomposition GetDillworthDecompositionFromMatching(Matching& matching) const;

 private:
  bool flat_ = false;
  std::vector<std::uint32_t> degree_;                          // flat only
  mutable std::shared_ptr<const FlatAdjacency> adjacency_;     // flat only, on first use

  void SetVertexMaps(const TimeTable& table);
  // Pairs (v, mate[v]) of a maximum matching, for every matched v < mate[v].
  Matching ComputeMaxMatchingPairs() const;
};
