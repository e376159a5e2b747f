#include "localsearch/Decomposition.h"

#include <iostream>
#include <string>

std::vector<Passage> CountedPassages(const BGraph& graph, const TimeTable& table) {
  const auto n = static_cast<std::uint32_t>(graph.numberOfVertices / 2);
  std::vector<Passage> passages;
  passages.reserve(n);
  for (std::uint32_t p = 0; p < n; ++p)
    passages.push_back(table.passages[table.positionById.at(graph.idByPosition.at(p))]);
  return passages;
}

namespace Decomposition {

void GetNumberOfBalancedAndRest(TimeTable& table, BGraph::Decomposition& decomposition,
                                int& balanced, int& rest, double threshold) {
  balanced = 0;
  rest = 0;
  for (const BGraph::Chain& chain : decomposition) {
    const Passage& first = table.passages[table.positionById.at(chain.front())];
    const Passage& last = table.passages[table.positionById.at(chain.back())];
    if (IsBalancedChain(first, last)) ++balanced;
    if (HasEnoughRest(first, last, threshold)) ++rest;
  }
}

}  // namespace Decomposition

void PrintDecomp(BGraph::Decomposition decomposition) {
  const std::string hyphens(26, '-');
  std::cout << hyphens << std::endl;
  std::size_t number = 1;
  for (const BGraph::Chain& chain : decomposition) {
    std::cout << number++ << ": ";
    for (unsigned int passage : chain) std::cout << passage << " ";
    std::cout << std::endl;
  }
  std::cout << hyphens << std::endl;
}
