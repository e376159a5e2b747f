#pragma once

// Balanced and rested chain counts straight from a partner table, in O(V)
// with flat arrays and no allocation per call.
//
// Gives exactly the counts of `GetPerformance` (decomposition of the
// matching, then `Decomposition::GetNumberOfBalancedAndRest`) and the
// number of chains of that decomposition: chains are
// found the same way, by a scan over the positions in ascending order that
// walks back from the first unvisited position to its chain's head and then
// forward to its tail. A cyclic chain (overnight rotations can close a
// cycle) is taken from its smallest position round to that position's
// predecessor. The passage counted for a position is the one its passage
// number resolves to through the timetable's `positionById`, as in the
// decomposition route.

#include <cstdint>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/Passage.h"
#include "common/TimeTable.h"

class ChainCounter {
 public:
  ChainCounter(const BGraph& graph, const TimeTable& table);

  // `mate` is a symmetric partner table over the graph's vertices (-1 for a
  // free vertex) whose pairs join left to right vertices, as a trajectory
  // holds it. Overwrites both counters and returns the number of chains.
  int Count(const std::vector<int>& mate, double threshold, int& balanced, int& rest);

 private:
  std::uint32_t passageCount = 0;
  std::vector<Passage> passageAt;  // by position
  std::vector<std::uint8_t> visited;

  std::uint32_t HeadOfChain(const std::vector<int>& mate, std::uint32_t start) const;
  std::uint32_t TailOfChain(const std::vector<int>& mate, std::uint32_t head);
};
