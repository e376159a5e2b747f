#include "localsearch/ChainCounter.h"

#include <algorithm>

#include "localsearch/Decomposition.h"

ChainCounter::ChainCounter(const BGraph& graph, const TimeTable& table)
    : passageCount(static_cast<std::uint32_t>(graph.numberOfVertices / 2)),
      passageAt(CountedPassages(graph, table)),
      visited(passageCount, 0) {}

std::uint32_t ChainCounter::HeadOfChain(const std::vector<int>& mate, std::uint32_t start) const {
  std::uint32_t head = start;
  for (std::uint32_t steps = 0; steps < passageCount; ++steps) {
    const int before = mate[passageCount + head];
    if (before == -1) break;
    const std::uint32_t back = static_cast<std::uint32_t>(before);
    if (back >= passageCount || visited[back]) break;
    if (back == start) return start;  // cycle: it starts at its smallest position
    head = back;
  }
  return head;
}

std::uint32_t ChainCounter::TailOfChain(const std::vector<int>& mate, std::uint32_t head) {
  std::uint32_t tail = head;
  visited[tail] = 1;
  while (mate[tail] != -1) {
    const std::uint32_t next = static_cast<std::uint32_t>(mate[tail]) - passageCount;
    if (next >= passageCount || visited[next]) break;
    tail = next;
    visited[tail] = 1;
  }
  return tail;
}

int ChainCounter::Count(const std::vector<int>& mate, double threshold, int& balanced,
                        int& rest) {
  balanced = 0;
  rest = 0;
  int chains = 0;
  std::fill(visited.begin(), visited.end(), 0);
  for (std::uint32_t i = 0; i < passageCount; ++i) {
    if (visited[i]) continue;
    const std::uint32_t head = HeadOfChain(mate, i);
    const std::uint32_t tail = TailOfChain(mate, head);
    ++chains;
    if (IsBalancedChain(passageAt[head], passageAt[tail])) ++balanced;
    if (HasEnoughRest(passageAt[head], passageAt[tail], threshold)) ++rest;
  }
  return chains;
}
