#pragma once

// The balanced bound by the chain (path) formulation, by column
// generation.
//
// Master program: a column per chain (PathPricing.h), x >= 0; each passage
// covered once; exactly `openChains` chains; maximise the balanced chains
// (first origin == last destination). On a day whose relation is acyclic
// its optimum is the time-space model's LP optimum (without penalties). On
// a day with cycles a maximum matching's closed rotations are not chains:
// the passages on a cycle of the relation are covered at most once, so
// every maximum matching's open chains are a solution and the optimum bounds
// their balanced chains (it may exceed the time-space model's, which
// requires those passages to fly in a circulation).
//
// Each round solves the restricted master (primal simplex from the last
// basis, ColumnMaster), prices the chains by its duals y (per home and for
// any chain) and adds the best few per home. Whatever the duals, with y
// clamped to at most 0 on the rows covered at most once, every solution x
// of the whole master has
//     balanced(x) <= K * v - sum_p y_p,
// v being the heaviest chain's weight (sum of y over its passages, plus 1
// when balanced) and K the chain count: the Lagrangian bound, valid at
// every round, which the run may stop at once it falls below a target.
// When no chain prices out, it equals the master's optimum.
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
  int largestSweeps = 0;        // sweeps of the slowest pricing
  double seconds = 0.0;         // CPU seconds in all
  double lpSeconds = 0.0;       // of which in the master's simplex
};

// `day` with every home (day.homes empty) and its maximum matching
// `maximum` (pairs (left, right)), whose open chains are the first columns.
PathBoundResult SolvePathBound(const Day& day, const BGraph::Matching& maximum,
                               const PathBoundSettings& settings = {});

}  // namespace certify
