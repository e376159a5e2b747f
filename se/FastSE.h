#pragma once

// Stochastic Enumeration runs on compact nodes: the same successors in the
// same order on every level as SE::GetSuccessors, the same random draws, the
// same estimates and decompositions, at a fraction of the cost.
//
// A node is a ResidualState (O(V) words) over one shared ResidualGraph; its
// successors are found by alternating paths against the maximum matching it
// carries (FastSuccessors). Each level counts all successors as small
// handles, shuffles the handles exactly as the literal level would be
// shuffled (std::shuffle's draws depend only on the length of the sequence)
// and builds only the kept children. A parent's last kept child takes over
// its state, so with B = 1 no state is ever copied.
//
// Memory: O(B * V) for the level plus O(B * (1 + degree)) handles.
// Time per level: one alternating search per node for the decided vertex
// (more when it cannot be left unmatched), plus O(V) per kept child that is
// not its parent's last.

#include <atomic>
#include <cstddef>
#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "se/ResidualGraph.h"
#include "se/ResidualState.h"

class FastSE {
 public:
  using DecompositionList = std::vector<BGraph::Decomposition>;

  // Successors generated on one level and nodes kept of them.
  struct LevelSize {
    std::size_t generated;
    std::size_t kept;
  };

  // `graph` must outlive this object and stay unchanged.
  explicit FastSE(const BGraph& graph);

  bool IsBipartite() const { return residual_.IsBipartite(); }

  // Size of a maximum matching of the graph; 0 when it is not bipartite.
  unsigned int MaxCardinality() const { return maxCardinality_; }

  // True when runs with this `maxCardinality` are those of the literal
  // engine: the graph is bipartite and the value is its matching number.
  bool Supports(unsigned int maxCardinality) const;

  // One run over `order` (the run's vertex order, already shuffled),
  // drawing from `engine` exactly as SE::RunSingleSE does. Sets the flag
  // like it, gives the size of every level in `levels` (the estimator's
  // arithmetic stays with the caller) and returns the final level's
  // decompositions, one per final node.
  // `levelsDone`, when given, counts the levels as they are done.
  DecompositionList Run(const std::vector<unsigned int>& order, unsigned int budget,
                        std::mt19937_64& engine, bool& isFullyEnumerated,
                        std::vector<LevelSize>& levels,
                        std::atomic<std::size_t>* levelsDone = nullptr) const;

 private:
  const BGraph& graph_;
  ResidualGraph residual_;
  residual::State root_;
  unsigned int maxCardinality_ = 0;
};
