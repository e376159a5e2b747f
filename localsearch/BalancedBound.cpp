#include "localsearch/BalancedBound.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <utility>
#include <vector>

#include "localsearch/Decomposition.h"

namespace {

class Components {
 public:
  explicit Components(std::uint32_t size) : parent(size) {
    std::iota(parent.begin(), parent.end(), 0u);
  }
  std::uint32_t Find(std::uint32_t v) {
    while (parent[v] != v) v = parent[v] = parent[parent[v]];
    return v;
  }
  void Join(std::uint32_t a, std::uint32_t b) {
    a = Find(a);
    b = Find(b);
    if (a != b) parent[std::max(a, b)] = std::min(a, b);
  }

 private:
  std::vector<std::uint32_t> parent;
};

// Per key (a terminal, or a part and a terminal), the most chain ends one
// side of the graph can give: for each component, min(its vertices of that
// side with the key, its free vertices of that side).
std::map<std::uint64_t, long> MostEndsPerKey(
    std::vector<std::pair<std::uint32_t, std::uint64_t>> componentAndTerminal,
    const std::vector<long>& freeInComponent) {
  std::sort(componentAndTerminal.begin(), componentAndTerminal.end());
  std::map<std::uint64_t, long> most;
  for (std::size_t i = 0; i < componentAndTerminal.size();) {
    std::size_t j = i;
    while (j < componentAndTerminal.size() && componentAndTerminal[j] == componentAndTerminal[i])
      ++j;
    const auto [component, terminal] = componentAndTerminal[i];
    most[terminal] += std::min(static_cast<long>(j - i), freeInComponent[component]);
    i = j;
  }
  return most;
}

// The bound with terminals told apart, and with parts of the follow
// relation too when `byPart`.
int Bound(const BGraph& graph, const TimeTable& table, const BGraph::Matching& maximum,
          bool byPart) {
  const auto n = static_cast<std::uint32_t>(graph.numberOfVertices / 2);
  const std::vector<Passage> passages = CountedPassages(graph, table);
  Components components(2 * n);
  Components parts(n);
  for (const auto& edge : graph.edgeList) {
    const auto left = static_cast<std::uint32_t>(edge.first);
    const auto right = static_cast<std::uint32_t>(edge.second);
    components.Join(left, right);
    if (byPart) parts.Join(left, right - n);
  }
  auto key = [&parts, byPart](std::uint32_t p, std::uint32_t terminal) {
    const std::uint64_t part = byPart ? parts.Find(p) : 0;
    return part << 32 | terminal;
  };

  // Free vertices of each side per component: its vertices less its matched pairs.
  std::vector<long> freeRows(2 * n, 0);
  std::vector<long> freeColumns(2 * n, 0);
  std::vector<std::pair<std::uint32_t, std::uint64_t>> rows;     // (component, destination)
  std::vector<std::pair<std::uint32_t, std::uint64_t>> columns;  // (component, origin)
  rows.reserve(n);
  columns.reserve(n);
  for (std::uint32_t p = 0; p < n; ++p) {
    const std::uint32_t rowComponent = components.Find(p);
    const std::uint32_t columnComponent = components.Find(n + p);
    ++freeRows[rowComponent];
    ++freeColumns[columnComponent];
    rows.emplace_back(rowComponent, key(p, passages[p].destination));
    columns.emplace_back(columnComponent, key(p, passages[p].origin));
  }
  for (const auto& pair : maximum) {
    const std::uint32_t component = components.Find(static_cast<std::uint32_t>(pair.first));
    --freeRows[component];
    --freeColumns[component];
  }
  const std::map<std::uint64_t, long> ends = MostEndsPerKey(std::move(rows), freeRows);
  const std::map<std::uint64_t, long> starts = MostEndsPerKey(std::move(columns), freeColumns);
  long bound = 0;
  for (const auto& [terminal, most] : starts) {
    const auto end = ends.find(terminal);
    if (end != ends.end()) bound += std::min(most, end->second);
  }
  return static_cast<int>(bound);
}

}  // namespace

int OpenBalancedChainsBound(const BGraph& graph, const TimeTable& table,
                            const BGraph::Matching& maximum) {
  return Bound(graph, table, maximum, false);
}

int PartBalancedChainsBound(const BGraph& graph, const TimeTable& table,
                            const BGraph::Matching& maximum) {
  return Bound(graph, table, maximum, true);
}
