#pragma once

// Counts of the decomposition of a trajectory's current matching: balanced
// chains and chains with enough rest (see Decomposition.h). Builds the
// decomposition afresh on every call; the search loop counts through
// `ChainCounter` instead, which gives the same counts in O(V).

#include "bipartite/BGraph.h"
#include "common/TimeTable.h"
#include "localsearch/Trajectory.h"

// Overwrites both counters; changes neither the graph nor the trajectory.
void GetPerformance(BGraph& graph, TimeTable& table, Trajectory& trajectory, double threshold,
                    int& balanced, int& rest);
