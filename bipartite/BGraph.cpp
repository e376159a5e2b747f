#include "bipartite/BGraph.h"

#include <algorithm>
#include <iostream>
#include <utility>

BGraph::BGraph(BGraph&& other) noexcept
    : positionById(std::move(other.positionById)),
      idByPosition(std::move(other.idByPosition)),
      numberOfVertices(other.numberOfVertices),
      edgeList(std::move(other.edgeList)) {
  adjacencyList.swap(other.adjacencyList);
  other.numberOfVertices = 0;
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
  return *this;
}

void BGraph::InitGraphFromPoset(TimeTable& table, Poset& poset) {
  numberOfVertices = 0;
  for (const Passage& passage : table.passages) {
    positionById[passage.id] = static_cast<std::uint32_t>(numberOfVertices);
    idByPosition[static_cast<std::uint32_t>(numberOfVertices)] = passage.id;
    ++numberOfVertices;
  }
  const int n = numberOfVertices;
  numberOfVertices = 2 * n;
  adjacencyList = Graph(static_cast<Graph::vertices_size_type>(numberOfVertices));
  for (const auto& pair : poset.pairs) {
    const int u = static_cast<int>(positionById.at(pair.first));
    const int v = n + static_cast<int>(positionById.at(pair.second));
    AddEdge(static_cast<unsigned int>(u), static_cast<unsigned int>(v));
    edgeList.emplace_back(std::min(u, v), std::max(u, v));
  }
}

void BGraph::AddEdge(unsigned int u, unsigned int v) { boost::add_edge(u, v, adjacencyList); }

void BGraph::RemoveVertex(unsigned int v) { boost::remove_vertex(v, adjacencyList); }

void BGraph::ClearVertexEdges(unsigned int v) { boost::clear_vertex(v, adjacencyList); }

std::vector<unsigned int> BGraph::GetAdjacentVertices(unsigned int v) const {
  std::vector<unsigned int> neighbours;
  auto range = boost::adjacent_vertices(v, adjacencyList);
  for (auto it = range.first; it != range.second; ++it)
    neighbours.push_back(static_cast<unsigned int>(*it));
  return neighbours;
}

std::vector<unsigned int> BGraph::GetVertexList() const {
  std::vector<unsigned int> vertices;
  auto range = boost::vertices(adjacencyList);
  for (auto it = range.first; it != range.second; ++it)
    vertices.push_back(static_cast<unsigned int>(*it));
  return vertices;
}

bool BGraph::IsVertexInGraph(unsigned int v) const {
  const std::vector<unsigned int> vertices = GetVertexList();
  return std::find(vertices.begin(), vertices.end(), v) != vertices.end();
}

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
