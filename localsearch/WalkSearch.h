#pragma once

// Randomised hill climb over the maximum matchings of a split bipartite
// graph: Parvel's walk.
//
// Two trajectories share the graph and the engine: the best one found so far
// and a working one. Each iteration moves the working trajectory to a random
// neighbouring maximum matching and scores it; a candidate that ranks at
// least as high as the best becomes the best (plateau moves are taken),
// otherwise the working trajectory returns to the best. Only the working
// trajectory draws random numbers, so a seed fixes the whole walk.
//
// Overnight passages can make a maximum matching close a rotation on
// itself. Its decomposition lists such a cycle as one chain, cut at its
// smallest position, so it has one chain more per cycle than the number of
// passages less the matching size, and the cut cycle always counts as
// balanced. Candidates are therefore ranked by their number of chains first
// (see Search.h). Where no maximum matching has a cycle, all have the same
// number of chains and the ranking is the plain one of the two counts.
//
// Cost of an iteration: the random steps of the walk plus O(V) (scoring from
// the partner table and one assignment between the trajectories). On large
// days the walk itself dominates: after a matched edge is dropped it ends
// only when a drawn edge joins two free vertices.

#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/TimeTable.h"
#include "localsearch/ChainCounter.h"
#include "localsearch/Search.h"
#include "localsearch/Trajectory.h"

class WalkSearch : public Search {
 public:
  // Starts both trajectories at the graph's maximum matching and scores it.
  WalkSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine, double threshold,
             bool recordPerformance);

  // Runs `iterations` iterations; with recording on, appends the best counts
  // after each one to `Balances()` and `Rests()`.
  void Run(unsigned int iterations) override;

  BGraph::Matching BestMatching() const override { return bestTrajectory.ToMatching(); }

  int InitialBalanced() const { return initial.balanced; }
  int InitialRest() const { return initial.rest; }
  int BestBalanced() const { return best.balanced; }
  int BestRest() const { return best.rest; }
  const Trajectory& Best() const { return bestTrajectory; }

 private:
  double threshold;
  Trajectory bestTrajectory;
  Trajectory working;
  ChainCounter counter;

  void Iterate();
};
