#pragma once

// An upper bound on the balanced chains of a minimum chain decomposition.
//
// A chain is balanced when it ends at the terminal it starts from. On a
// timetable's split graph every edge lies on one terminal's board, each
// board's matching number is the same in every maximum matching, and so is
// the number of chains starting at t (columns of t left free) and ending at
// t (rows of t left free). Each balanced chain takes one start and one end
// of its terminal, hence
//   open balanced chains <= sum over t of min(starts at t, ends at t).
// A cycle closed by overnight passages counts as one balanced chain of its
// own and takes no start or end, so a decomposition with k cycles has at
// most k more.
//
// The bound is computed per connected component of the graph, which is
// exact for a timetable's graph (components lie inside boards) and stays an
// upper bound on any split graph (two passages sharing a number attach
// foreign cells to one passage): a component with free columns f and c of
// its columns leaving t gives at most min(c, f) starts at t.
//
// A balanced chain also lies inside one connected part of the follow
// relation (passages joined when one can follow the other), so the same
// sum taken for each part alone, over its own starts and ends, is a bound
// too, and never a larger one: a part of early passages that only starts
// chains at t and one of late passages that only ends them there give
// nothing together. On cut-outs of a day, where many chains are a few
// passages long, it can be much smaller.
//
// Cost: O(n log n + E), union-find passes over the edges.

#include "bipartite/BGraph.h"
#include "common/TimeTable.h"

// Bound on the balanced chains that are not cycles, over all maximum
// matchings of `graph`; `maximum` is one of them.
int OpenBalancedChainsBound(const BGraph& graph, const TimeTable& table,
                            const BGraph::Matching& maximum);

// The same bound taken separately for each connected part of the follow
// relation; never above OpenBalancedChainsBound.
int PartBalancedChainsBound(const BGraph& graph, const TimeTable& table,
                            const BGraph::Matching& maximum);
