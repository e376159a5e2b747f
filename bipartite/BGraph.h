#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include <boost/graph/adjacency_list.hpp>

#include "common/Poset.h"
#include "common/TimeTable.h"

// Split bipartite graph of the precedence order. The passage at position i
// has left vertex i and right vertex n + i; a pair (a, b) of the poset is the
// edge from a's left vertex to b's right vertex.
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

  void AddEdge(unsigned int u, unsigned int v);
  void RemoveVertex(unsigned int v);
  void ClearVertexEdges(unsigned int v);
  std::vector<unsigned int> GetAdjacentVertices(unsigned int v) const;
  std::vector<unsigned int> GetVertexList() const;
  bool IsVertexInGraph(unsigned int v) const;
  void PrintGraph() const;
  std::vector<std::pair<int, int>> GetEgeList() const;

  // Maximum matching and chain decompositions.
  unsigned int GetCardinalityOfMaxMatching() const;
  Matching GetMaxMatching() const;
  Decomposition GetDillworthDecomposition() const;
  Decomposition GetDillworthDecompositionFromMatching(Matching& matching) const;

 private:
  // Pairs (v, mate[v]) of a maximum matching, for every matched v < mate[v].
  Matching ComputeMaxMatchingPairs() const;
};
