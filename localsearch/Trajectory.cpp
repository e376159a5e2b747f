#include "localsearch/Trajectory.h"

#include <cmath>

Trajectory::Trajectory(BGraph& graph, std::mt19937_64& engine)
    : graph(graph),
      engine(engine),
      uniform(0.0, 1.0),
      vertices(std::make_shared<const std::vector<unsigned int>>(graph.GetVertexList())),
      // The graph's own edge list, not a copy: it is as large as the pairs,
      // and the graph outlives the trajectory unchanged.
      edges(std::shared_ptr<const std::vector<Edge>>(std::shared_ptr<void>(), &graph.edgeList)) {
  vertexCount = static_cast<unsigned int>(vertices->size());
  mate.assign(vertexCount, -1);
  const BGraph::Matching maximum = graph.GetMaxMatching();
  maxMatchingSize = static_cast<unsigned int>(maximum.size());
  matchingSize = maxMatchingSize;
  for (const Edge& pair : maximum) {
    mate[static_cast<std::size_t>(pair.first)] = pair.second;
    mate[static_cast<std::size_t>(pair.second)] = pair.first;
  }
}

Trajectory& Trajectory::operator=(const Trajectory& other) {
  if (this == &other) return *this;
  uniform = other.uniform;
  maxMatchingSize = other.maxMatchingSize;
  matchingSize = other.matchingSize;
  vertexCount = other.vertexCount;
  vertices = other.vertices;
  edges = other.edges;
  mate = other.mate;  // same length on one graph: no reallocation
  return *this;
}

double Trajectory::UnitFromOutput(std::uint64_t output) {
  // The two 32-bit halves convert exactly and their sum is rounded once, so
  // this is the nearest double of `output`, without a branch on its top bit.
  const double nearest =
      static_cast<double>(static_cast<std::uint32_t>(output >> 32)) * 4294967296.0 +
      static_cast<double>(static_cast<std::uint32_t>(output));
  const double x = nearest * 0x1p-64;
  return x < 1.0 ? x : std::nextafter(1.0, 0.0);
}

int Trajectory::ChosenEdgeIndex(double u, std::size_t edgeCount) {
  // u * m is never negative, so truncation is the floor.
  return static_cast<int>(u * static_cast<double>(edgeCount));
}

double Trajectory::DrawUniform() {
  const double x = UnitFromOutput(engine());
  return x * (uniform.b() - uniform.a()) + uniform.a();
}

void Trajectory::MakeStep() {
  // Without edges there is nothing to draw from; the empty matching stays.
  if (edges->empty()) return;
  const double u = DrawUniform();
  const Edge& drawn = (*edges)[static_cast<std::size_t>(ChosenEdgeIndex(u, edges->size()))];
  if (matchingSize == maxMatchingSize) {
    if (IsEdgeInMatching(drawn)) RemoveEdgeFromMatching(drawn);
    return;
  }
  StepBelowMaximum(drawn);
}

void Trajectory::StepBelowMaximum(const Edge& drawn) {
  const int a = drawn.first;
  const int b = drawn.second;
  const bool aMatched = IsVertexMatched(static_cast<unsigned int>(a));
  const bool bMatched = IsVertexMatched(static_cast<unsigned int>(b));
  if (!aMatched && !bMatched) {
    AdddEdgeToMatching(drawn);
  } else if (aMatched && !bMatched) {
    RemoveEdgeFromMatching(Edge(a, mate[static_cast<std::size_t>(a)]));
    AdddEdgeToMatching(drawn);
  } else if (!aMatched && bMatched) {
    RemoveEdgeFromMatching(Edge(b, mate[static_cast<std::size_t>(b)]));
    AdddEdgeToMatching(drawn);
  }
}

void Trajectory::TransformMaxMatching() {
  MakeStep();
  while (matchingSize < maxMatchingSize) MakeStep();
}

BGraph::Matching Trajectory::ToMatching() const {
  BGraph::Matching matching;
  const std::size_t left = vertexCount / 2;
  for (std::size_t i = 0; i < left; ++i) {
    if (mate[i] != -1) matching.emplace_back(static_cast<int>(i), mate[i]);
  }
  return matching;
}

bool Trajectory::IsVertexMatched(unsigned int v) const { return mate[v] != -1; }

bool Trajectory::IsEdgeInMatching(const Edge& e) const {
  return mate[static_cast<std::size_t>(e.first)] == e.second &&
         mate[static_cast<std::size_t>(e.second)] == e.first;
}

void Trajectory::AdddEdgeToMatching(const Edge& e) {
  mate[static_cast<std::size_t>(e.first)] = e.second;
  mate[static_cast<std::size_t>(e.second)] = e.first;
  ++matchingSize;
}

void Trajectory::RemoveEdgeFromMatching(const Edge& e) {
  mate[static_cast<std::size_t>(e.first)] = -1;
  mate[static_cast<std::size_t>(e.second)] = -1;
  --matchingSize;
}
