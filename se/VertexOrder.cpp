#include "se/VertexOrder.h"

#include <algorithm>

namespace {

// Sort key of the degree order: right side first, then ascending degree.
struct DegreeKey {
  bool left;
  std::size_t degree;
  bool operator<(const DegreeKey& other) const {
    if (left != other.left) return !left;
    return degree < other.degree;
  }
};

void OrderByDegree(const BGraph& graph, std::vector<unsigned int>& vertices) {
  const unsigned int n = static_cast<unsigned int>(graph.numberOfVertices / 2);
  std::vector<DegreeKey> keys(graph.VertexCount());
  for (unsigned int v = 0; v < keys.size(); ++v) keys[v] = DegreeKey{v < n, graph.Degree(v)};
  std::stable_sort(vertices.begin(), vertices.end(),
                   [&keys](unsigned int a, unsigned int b) { return keys[a] < keys[b]; });
}

}  // namespace

bool ParseVertexOrder(const std::string& name, VertexOrder& order) {
  if (name == "random") {
    order = VertexOrder::Random;
    return true;
  }
  if (name == "degree") {
    order = VertexOrder::Degree;
    return true;
  }
  return false;
}

std::string VertexOrderName(VertexOrder order) {
  return order == VertexOrder::Degree ? "degree" : "random";
}

void ApplyVertexOrder(VertexOrder order, const BGraph& graph, std::vector<unsigned int>& shuffled) {
  if (order == VertexOrder::Degree) OrderByDegree(graph, shuffled);
}
