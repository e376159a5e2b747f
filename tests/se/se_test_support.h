#pragma once

// Small timetables for the counting tests (see support/SmallDays.h for the
// random days and the brute-force enumeration of maximum matchings).

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
using ::SplitEdges;
using MatchingEnumerator = ::MaximumMatchingEnumerator;

}  // namespace setest
