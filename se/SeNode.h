#pragma once

// A node of the search tree of partial matchings.
//
// `matching` holds the pairs (decided vertex, partner) chosen on the levels
// above, in level order; the decided vertex may lie on either side of the
// split graph. `graph` is the residual graph: a full copy of the search's
// graph without the edges of any vertex decided so far or taken as a partner.
// Vertices are never removed, so vertex numbers and passage maps stay those
// of the search's graph.
//
// Invariant kept by the search: pairs in `matching` plus the cardinality of
// a maximum matching of `graph` equal the cardinality of a maximum matching
// of the search's graph. A node of the last level therefore holds a maximum
// matching.
//
// A plain value: copies are deep (the graph included).

#include <cstddef>

#include "bipartite/BGraph.h"

class SeNode {
 public:
  BGraph::Matching matching;
  BGraph graph;

  // True when `matching` together with a maximum matching of the residual
  // graph reaches `maxCardinality`, i.e. the node can still be completed to
  // a maximum matching of the search's graph. Costs one maximum matching.
  bool CanReachMaximum(unsigned int maxCardinality) const;
};
