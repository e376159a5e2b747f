#pragma once

// A read-only Boost.Graph view of a FlatAdjacency and its edge list, so that
// Boost's matching algorithms run on the flat arrays.
//
// It presents the same graph as Boost's adjacency_list<vecS, vecS,
// undirectedS> built by add_edge(first, second) for every edge of the list
// in order: vertices 0 .. V-1; out_edges(v) in the order of v's neighbour
// list, each with source v; edges(g) in list order with source `first`;
// out_degree counting parallel edges. Algorithms that read only these see
// identical input and so give identical results.
//
// Vertices are 32-bit (null_vertex() is all ones); an edge descriptor is
// just its two ends, 8 bytes. Cost: nothing beyond the arrays it views.

#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

#include <boost/graph/graph_traits.hpp>
#include <boost/iterator/counting_iterator.hpp>
#include <boost/iterator/iterator_facade.hpp>
#include <boost/property_map/property_map.hpp>

#include "bipartite/FlatAdjacency.h"

namespace flat {

struct Edge {
  std::uint32_t source = 0;
  std::uint32_t target = 0;
  bool operator==(const Edge& other) const {
    return source == other.source && target == other.target;
  }
  bool operator!=(const Edge& other) const { return !(*this == other); }
};

class OutEdgeIterator
    : public boost::iterator_facade<OutEdgeIterator, Edge, std::random_access_iterator_tag, Edge,
                                    std::ptrdiff_t> {
 public:
  OutEdgeIterator() = default;
  OutEdgeIterator(std::uint32_t source, const std::int32_t* at) : source_(source), at_(at) {}

 private:
  friend class boost::iterator_core_access;
  Edge dereference() const { return Edge{source_, static_cast<std::uint32_t>(*at_)}; }
  bool equal(const OutEdgeIterator& other) const { return at_ == other.at_; }
  void increment() { ++at_; }
  void decrement() { --at_; }
  void advance(std::ptrdiff_t n) { at_ += n; }
  std::ptrdiff_t distance_to(const OutEdgeIterator& other) const { return other.at_ - at_; }

  std::uint32_t source_ = 0;
  const std::int32_t* at_ = nullptr;
};

class EdgeIterator
    : public boost::iterator_facade<EdgeIterator, Edge, std::random_access_iterator_tag, Edge,
                                    std::ptrdiff_t> {
 public:
  EdgeIterator() = default;
  explicit EdgeIterator(const std::pair<int, int>* at) : at_(at) {}

 private:
  friend class boost::iterator_core_access;
  Edge dereference() const {
    return Edge{static_cast<std::uint32_t>(at_->first), static_cast<std::uint32_t>(at_->second)};
  }
  bool equal(const EdgeIterator& other) const { return at_ == other.at_; }
  void increment() { ++at_; }
  void decrement() { --at_; }
  void advance(std::ptrdiff_t n) { at_ += n; }
  std::ptrdiff_t distance_to(const EdgeIterator& other) const { return other.at_ - at_; }

  const std::pair<int, int>* at_ = nullptr;
};

struct TraversalCategory : boost::incidence_graph_tag,
                           boost::vertex_list_graph_tag,
                           boost::edge_list_graph_tag {};

class GraphView {
 public:
  using vertex_descriptor = std::uint32_t;
  using edge_descriptor = Edge;
  using out_edge_iterator = OutEdgeIterator;
  using vertex_iterator = boost::counting_iterator<std::uint32_t>;
  using edge_iterator = EdgeIterator;
  using directed_category = boost::undirected_tag;
  using edge_parallel_category = boost::allow_parallel_edge_tag;
  using traversal_category = TraversalCategory;
  using vertices_size_type = std::size_t;
  using edges_size_type = std::size_t;
  using degree_size_type = std::size_t;

  static vertex_descriptor null_vertex() { return std::numeric_limits<std::uint32_t>::max(); }

  // Both must outlive the view; `edges` may be null when edges() is not used.
  GraphView(const FlatAdjacency& adjacency, const std::vector<std::pair<int, int>>* edges)
      : adjacency_(&adjacency), edges_(edges) {}

  const FlatAdjacency& Adjacency() const { return *adjacency_; }
  const std::vector<std::pair<int, int>>* EdgeList() const { return edges_; }

 private:
  const FlatAdjacency* adjacency_;
  const std::vector<std::pair<int, int>>* edges_;
};

inline std::pair<GraphView::vertex_iterator, GraphView::vertex_iterator> vertices(
    const GraphView& g) {
  return {GraphView::vertex_iterator(0),
          GraphView::vertex_iterator(static_cast<std::uint32_t>(g.Adjacency().VertexCount()))};
}
inline std::size_t num_vertices(const GraphView& g) { return g.Adjacency().VertexCount(); }
inline std::pair<OutEdgeIterator, OutEdgeIterator> out_edges(std::uint32_t v, const GraphView& g) {
  return {OutEdgeIterator(v, g.Adjacency().Begin(v)), OutEdgeIterator(v, g.Adjacency().End(v))};
}
inline std::size_t out_degree(std::uint32_t v, const GraphView& g) {
  return g.Adjacency().Degree(v);
}
inline std::pair<EdgeIterator, EdgeIterator> edges(const GraphView& g) {
  const std::pair<int, int>* begin = g.EdgeList()->data();
  return {EdgeIterator(begin), EdgeIterator(begin + g.EdgeList()->size())};
}
inline std::size_t num_edges(const GraphView& g) { return g.EdgeList()->size(); }
inline std::uint32_t source(const Edge& e, const GraphView&) { return e.source; }
inline std::uint32_t target(const Edge& e, const GraphView&) { return e.target; }

// Vertex index map of the view: the vertex itself.
using IndexMap = boost::typed_identity_property_map<std::uint32_t>;

}  // namespace flat
