#pragma once

// Randomised hill climb over the maximum matchings of a split bipartite
// graph, for a minimum chain decomposition with the most balanced chains
// and, among those, the most chains with enough rest.
//
// Two trajectories share the graph and the engine: the best one found so far
// and a working one. Each iteration moves the working trajectory to a random
// neighbouring maximum matching and scores it; a candidate that ranks at
// least as high as the best becomes the best (plateau moves are taken),
// otherwise the working trajectory returns to the best. Only the working
// trajectory draws random numbers.
//
// Overnight passages can make a maximum matching close a rotation on
// itself. Its decomposition lists such a cycle as one chain, cut at its
// smallest position, so it has one chain more per cycle than the number of
// passages less the matching size, and the cut cycle always counts as
// balanced. Left unchecked, the climb would trade a minimum decomposition
// for one with more chains and more balanced ones. Candidates are therefore
// ranked by their number of chains first (fewer is better). Where no
// maximum matching has a cycle, all have the same number of chains and the
// ranking is the plain one of the two counts.
//
// Cost of an iteration: the random steps of the walk plus O(V) (scoring from
// the partner table and one assignment between the trajectories).

#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/TimeTable.h"
#include "localsearch/ChainCounter.h"
#include "localsearch/Trajectory.h"

// What a candidate decomposition is ranked by.
struct DecompositionCounts {
  int chains = 0;
  int balanced = 0;
  int rest = 0;
};

// True when the candidate replaces the best: fewer chains; or as many, and
// more balanced chains, or as many balanced and at least as many rested.
bool IsAccepted(const DecompositionCounts& candidate, const DecompositionCounts& best);

class LocalSearch {
 public:
  // Starts both trajectories at the graph's maximum matching and scores it.
  LocalSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine, double threshold,
              bool recordPerformance);

  // Runs `iterations` iterations; with recording on, appends the best counts
  // after each one to `Balances()` and `Rests()`.
  void Run(unsigned int iterations);

  const DecompositionCounts& Initial() const { return initial; }
  const DecompositionCounts& BestCounts() const { return best; }
  int InitialBalanced() const { return initial.balanced; }
  int InitialRest() const { return initial.rest; }
  int BestBalanced() const { return best.balanced; }
  int BestRest() const { return best.rest; }
  const Trajectory& Best() const { return bestTrajectory; }
  const std::vector<int>& Balances() const { return balances; }
  const std::vector<int>& Rests() const { return rests; }

 private:
  double threshold;
  bool recordPerformance;
  Trajectory bestTrajectory;
  Trajectory working;
  ChainCounter counter;
  DecompositionCounts initial;
  DecompositionCounts best;
  std::vector<int> balances;
  std::vector<int> rests;

  void Iterate();
};
