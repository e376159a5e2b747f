#include "bipartite/TimetableGraph.h"

#include "common/Poset.h"

void InitGraphFromTimetable(TimeTable& table, const FollowRule& rule, BGraph& graph) {
  Poset poset;
  poset.CreatePoset(table, rule);
  graph.InitGraphFromPoset(table, poset);
}
