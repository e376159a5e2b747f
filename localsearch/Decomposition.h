#pragma once

// Quality of a chain decomposition. A chain is balanced when its last
// passage arrives at the terminal its first passage leaves from; it has
// enough rest when (24 - last arrival) + first departure, in hours, is at
// least the threshold (a NaN rest time never counts). Only the first and
// the last passage of each chain are read; passages are looked up by number
// through the timetable's `positionById`.

#include <vector>

#include "bipartite/BGraph.h"
#include "common/ChainEnds.h"
#include "common/Passage.h"
#include "common/TimeTable.h"

namespace Decomposition {

// Overwrites both counters. Every passage number must belong to `table`.
void GetNumberOfBalancedAndRest(TimeTable& table, BGraph::Decomposition& decomposition,
                                int& balanced, int& rest, double threshold);

}  // namespace Decomposition


// The passage counted for each position of the graph: the one its passage
// number resolves to through the timetable (the later passage when two
// share a number), as the decomposition route looks chains' ends up.
std::vector<Passage> CountedPassages(const BGraph& graph, const TimeTable& table);

// Numbered chains between two lines of hyphens, one chain per line.
void PrintDecomp(BGraph::Decomposition decomposition);
