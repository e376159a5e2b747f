#pragma once

// The split bipartite graph of a timetable under a follow rule, built from
// its poset, which is let go as soon as the graph holds its pairs: the
// pairs are the largest object of a run until then.
//
// Cost: that of Poset::CreatePoset and BGraph::InitGraphFromPoset; at the
// peak the pairs and the graph are held at once.

#include "bipartite/BGraph.h"
#include "common/FollowRule.h"
#include "common/TimeTable.h"

void InitGraphFromTimetable(TimeTable& table, const FollowRule& rule, BGraph& graph);
