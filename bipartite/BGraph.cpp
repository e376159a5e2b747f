#include "bipartite/BGraph.h"

#include <algorithm>
#include <iostream>
#include <utility>

#include "bipartite/PositionLookup.h"

BGraph::BGraph(BGraph&& other) noexcept
    : positionById(std::move(other.positionById)),
      idByPosition(std::move(other.idByPosition)),
      numberOfVertices(other.numberOfVertices),
      edgeList(std::move(other.edgeList)),
      flat_(other.flat_),
      degree_(std::move(other.degree_)),
      adjacency_(std::move(other.adjacency_)) {
  adjacencyList.swap(other.adjacencyList);
  other.numberOfVertices = 0;
  other.flat_ = false;
}

BGraph& BGraph::operator=(BGraph&& other) noexcept {
  if (this == &other) return *this;
  positionById = std::move(other.positionById);
  idByPosition = std::move(other.idByPosition);
  numberOfVertices = other.numberOfVertices;
  other.numberOfVertices = 0;
  Graph empty;
  adjacencyList.swap(empty);
  adjacencyList.swap(other.adjacencyList);
  edgeList = std::move(other.edgeList);
  flat_ = other.flat_;
  other.flat_ = false;
  degree_ = std::move(other.degree_);
  adjacency_ = std::move(other.adjacency_);
  return *this;
}

void BGraph::SetVertexMaps(const TimeTable& table) {
  numberOfVertices = 0;
  for (const Passage& passage : table.passages) {
    positionById[passage.id] = static_cast<std::uint32_t>(numberOfVertices);
    idByPosition[static_cast<std::uint32_t>(numberOfVertices)] = passage.id;
    ++numberOfVertices;
  }
  numberOfVertices *= 2;
}

void BGraph::InitGraphFromPoset(TimeTable& table, Poset& poset) {
  SetVertexMaps(table);
  const int n = numberOfVertices / 2;
  adjacencyList = Graph();
  adjacency_.reset();
  flat_ = true;
  degree_.assign(static_cast<std::size_t>(numberOfVertices), 0);
  const PositionLookup lookup(positionById);
  edgeList.reserve(edgeList.size() + poset.pairs.size());
  for (const auto& pair : poset.pairs) {
    const int u = static_cast<int>(lookup.At(pair.first));
    const int v = n + static_cast<int>(lookup.At(pair.second));
    edgeList.emplace_back(u, v);
    ++degree_[static_cast<std::size_t>(u)];
    ++degree_[static_cast<std::size_t>(v)];
  }
}

void BGraph::InitLiteralGraphFromPoset(TimeTable& table, Poset& poset) {
  SetVertexMaps(table);
  const int n = numberOfVertices / 2;
  flat_ = false;
  degree_.clear();
  adjacency_.reset();
  adjacencyList = Graph(static_cast<Graph::vertices_size_type>(numberOfVertices));
  for (const auto& pair : poset.pairs) {
    const int u = static_cast<int>(positionById.at(pair.first));
    const int v = n + static_cast<int>(positionById.at(pair.second));
    AddEdge(static_cast<unsigned int>(u), static_cast<unsigned int>(v));
    edgeList.emplace_back(std::min(u, v), std::max(u, v));
  }
}

void BGraph::MakeLiteral() {
  if (!flat_) return;
  adjacencyList = Graph(static_cast<Graph::vertices_size_type>(numberOfVertices));
  for (const auto& edge : edgeList)
    boost::add_edge(static_cast<unsigned int>(edge.first), static_cast<unsigned int>(edge.second),
                    adjacencyList);
  flat_ = false;
  degree_ = std::vector<std::uint32_t>();
  adjacency_.reset();
}

void BGraph::AddEdge(unsigned int u, unsigned int v) {
  MakeLiteral();
  boost::add_edge(u, v, adjacencyList);
}

void BGraph::RemoveVertex(unsigned int v) {
  MakeLiteral();
  boost::remove_vertex(v, adjacencyList);
}

void BGraph::ClearVertexEdges(unsigned int v) {
  MakeLiteral();
  boost::clear_vertex(v, adjacencyList);
}

std::size_t BGraph::VertexCount() const {
  return flat_ ? static_cast<std::size_t>(numberOfVertices) : boost::num_vertices(adjacencyList);
}

std::size_t BGraph::EdgeCount() const {
  return flat_ ? edgeList.size() : boost::num_edges(adjacencyList);
}

std::size_t BGraph::Degree(unsigned int v) const {
  return flat_ ? degree_[v] : boost::out_degree(v, adjacencyList);
}

std::shared_ptr<const FlatAdjacency> BGraph::Adjacency() const {
  if (flat_) {
    if (!adjacency_)
      adjacency_ = FlatAdjacency::FromEdges(degree_, edgeList);
    return adjacency_;
  }
  const std::size_t vertexCount = boost::num_vertices(adjacencyList);
  std::vector<std::uint64_t> offsets(vertexCount + 1, 0);
  for (std::size_t v = 0; v < vertexCount; ++v)
    offsets[v + 1] = offsets[v] + boost::out_degree(v, adjacencyList);
  std::vector<std::int32_t> targets;
  targets.reserve(offsets[vertexCount]);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    auto range = boost::adjacent_vertices(v, adjacencyList);
    for (auto it = range.first; it != range.second; ++it)
      targets.push_back(static_cast<std::int32_t>(*it));
  }
  return std::make_shared<const FlatAdjacency>(std::move(offsets), std::move(targets));
}

std::vector<unsigned int> BGraph::GetAdjacentVertices(unsigned int v) const {
  std::vector<unsigned int> neighbours;
  if (flat_) {
    const FlatAdjacency& lists = *Adjacency();
    for (const std::int32_t* w = lists.Begin(v); w != lists.End(v); ++w)
      neighbours.push_back(static_cast<unsigned int>(*w));
    return neighbours;
  }
  auto range = boost::adjacent_vertices(v, adjacencyList);
  for (auto it = range.first; it != range.second; ++it)
    neighbours.push_back(static_cast<unsigned int>(*it));
  return neighbours;
}

std::vector<unsigned int> BGraph::GetVertexList() const {
  std::vector<unsigned int> vertices(VertexCount());
  for (std::size_t v = 0; v < vertices.size(); ++v) vertices[v] = static_cast<unsigned int>(v);
  return vertices;
}

bool BGraph::IsVertexInGraph(unsigned int v) const { return v < VertexCount(); }

void BGraph::PrintGraph() const {
  const std::string dashes(42, '-');
  std::cout << dashes << std::endl;
  for (unsigned int v : GetVertexList()) {
    std::cout << v << ": ";
    for (unsigned int w : GetAdjacentVertices(v)) std::cout << w << " ";
    std::cout << std::endl;
  }
  std::cout << std::endl;
  std::cout << dashes << std::endl;
}

std::vector<std::pair<int, int>> BGraph::GetEgeList() const { return edgeList; }
