#pragma once

// Merges the closed rotations of a maximum matching into its open chains
// where the timetable allows, without changing which chains are balanced.
//
// A rotation passes a terminal t with a matched pair (a2 -> b2); an open
// chain passes t with (a1 -> b1). When b2 can follow a1 and b1 can follow
// a2, exchanging the two successors splices the rotation into the chain:
// one chain less, the same matching size, and the chain keeps its first
// and last passage, so its balance and rest stay as they were. Where no
// such pair exists, a chain ending at t (a1 without successor) takes the
// rotation as its tail if b2 can follow a1: it then ends at a2, at the
// same terminal, so its balance holds (its rest may change).
//
// The follow rule is the model's: same terminal, departure no earlier than
// the arrival plus the minimum turn, never a passage after itself.
//
// Cost: O(rotations * passages) at most.

#include <vector>

#include "bipartite/BGraph.h"
#include "common/Passage.h"

namespace certify {

// `matching`: pairs (left, right) of a matching of the day's split graph on
// `passages` (by position). Rewritten in increasing order of the left
// vertex; returns the rotations left.
int MergeClosedRotations(const std::vector<Passage>& passages, double minTurn,
                         BGraph::Matching& matching);

}  // namespace certify
