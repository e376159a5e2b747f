#pragma once

// Small timetables for the counting tests (see support/SmallDays.h for the
// random days and the brute-force enumeration of maximum matchings).

#include <cstdint>
#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "common/TimeTable.h"
#include "support/SmallDays.h"
#include "support/Timetables.h"

namespace setest {

using ::GraphFromPairs;
using ::MakeTable;

struct Instance {
  TimeTable table;
  Poset poset;
  BGraph graph;
};

inline Instance BuildInstance(const std::vector<Passage>& passages) {
  Instance instance;
  instance.table = MakeTable(passages);
  instance.poset.CreatePoset(instance.table);
  instance.graph.InitGraphFromPoset(instance.table, instance.poset);
  return instance;
}

using ::RandomPassages;

// One terminal's board: `rows` passages arriving at `terminal`, `columns`
// leaving it, at random whole hours from 0 to 8 (equal times common), and
// now and then a round trip (a hole in its own column). Such boards often
// leave vertices unmatched on both sides. Numbers from `firstId` on.
inline std::vector<Passage> RandomBoard(std::mt19937& rng, int rows, int columns,
                                        std::uint32_t terminal = 1, std::uint32_t firstId = 1) {
  std::uniform_int_distribution<int> time(0, 8);
  std::vector<Passage> passages;
  std::uint32_t id = firstId;
  const std::uint32_t elsewhere = terminal + 1000;
  for (int i = 0; i < rows; ++i)
    passages.push_back(Passage{id++, elsewhere, terminal, 0.0, 1.0 * time(rng)});
  for (int j = 0; j < columns; ++j)
    passages.push_back(Passage{id++, terminal, elsewhere + 1, 1.0 * time(rng), 23.0});
  if (rng() % 2)
    passages.push_back(Passage{id++, terminal, terminal, 1.0 * time(rng), 1.0 * time(rng)});
  return passages;
}
using ::SplitEdges;
using MatchingEnumerator = ::MaximumMatchingEnumerator;

}  // namespace setest
