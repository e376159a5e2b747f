#pragma once

// The balanced bound by the chain (path) formulation, by column
// generation.
//
// Master program: a column per chain (PathPricing.h) and per rotation (a
// cycle of the relation), x >= 0; each passage covered once; exactly
// `openChains` chains (rotations do not count); maximise the balanced
// chains (first origin == last destination). Every maximum matching is a
// solution (its open chains and closed rotations), and the program is the
// time-space model's LP by paths and cycles: the same optimum, up to the
// latter's penalties.
//
// On a day with cycles the relaxation in which the passages on cycles are
// covered at most once is solved first (no rotation columns priced; its
// duals on those rows are at most 0): it settles in few rounds and bounds
// the same chains, more loosely; then those rows are made exact.
//
// Each round solves the restricted master (primal simplex from the last
// basis, ColumnMaster) and prices by its duals y: on a day with cycles, a
// sweep from every passage finds rotations of positive weight, which
// enter; then chains per home and for any chain, the best few per home.
// Whatever the duals, every solution x of the whole master has
//     balanced(x) <= K * v - sum_p y_p + sum over rotations of x_c y(c),
// v being the heaviest chain's weight (sum of y over its passages, plus 1
// when balanced) and K the chain count. With no rotation of positive
// weight the last term is at most 0; otherwise the chains are priced with y
// cut to at most 0 on the passages on cycles, which makes it so: either
// way K * v - sum_p y_p is a bound (the Lagrangian bound) at every round,
// at which the run may stop once it falls below a target. When nothing
// prices out it equals the master's optimum.
//
// Cost: per round a warm-started primal simplex and O(homes * n * sweeps)
// pricing (PathPricing.h).

#include <cstdint>
#include <limits>
#include <vector>

#include "bipartite/BGraph.h"
#include "certify/TimeSpaceModel.h"

namespace certify {

struct PathBoundSettings {
  double seconds = 60.0;    // CPU seconds of the whole generation
  int columnsPerHome = 3;   // chains added per home and round, at most
  // Stop once the bound is below this (the best found + 1): it is then
  // proven.
  double stopBelow = -std::numeric_limits<double>::infinity();
};

struct PathBoundResult {
  enum class Status { Converged, Stopped, OutOfTime, Failed };
  Status status = Status::Failed;
  bool cyclic = false;          // some passage lies on a cycle of the relation
  double lpValue = 0.0;         // the last restricted master's optimum
  double lagrangian = 0.0;      // the smallest Lagrangian bound seen
  int bound = 0;                // floor of it: bounds the open balanced chains
  int rounds = 0;
  std::size_t columns = 0;
  // Days with cycles: the relaxation first solved (passages on cycles
  // covered at most once), its bound, rounds and CPU seconds; -1 when it
  // did not settle.
  int relaxedBound = -1;
  int relaxedRounds = 0;
  double relaxedSeconds = 0.0;
  int largestSweeps = 0;        // sweeps of the slowest pricing
  double seconds = 0.0;         // CPU seconds in all
  double lpSeconds = 0.0;       // of which in the master's simplex
};

// `day` with every home (day.homes empty) and its maximum matching
// `maximum` (pairs (left, right)), whose open chains are the first columns.
PathBoundResult SolvePathBound(const Day& day, const BGraph::Matching& maximum,
                               const PathBoundSettings& settings = {});

}  // namespace certify
