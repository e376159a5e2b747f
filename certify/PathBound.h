#pragma once

// The balanced bound by the chain (path) formulation, by column
// generation.
//
// Master program, by segments (PathPricing.h: chains and closed rotations
// cut after each backward passage): a column per segment and commodity (a
// home terminal, whose chains start and end there, or any chain), x >= 0;
// each passage covered once; exactly `openChains` segments open a chain;
// per commodity and backward passage o, as many segments hand over after o
// as start after o; maximise the chains opened in home commodities. Every
// maximum matching is a solution (its open chains and closed rotations,
// cut), and the program is the time-space model's LP by paths: the same
// optimum up to the latter's penalties, except where a passage may leave
// again after its own entry from the terminal it reaches, which the
// time-space LP lets follow itself and this program does not (so its
// optimum may only be lower there, and is still a bound). On a day
// without backward passages a segment is a whole chain.
//
// Each round solves the restricted master (primal simplex from the last
// basis, ColumnMaster), prices the segments by its duals y with one sweep
// per commodity and adds the best few per commodity. Whatever the duals,
// every solution x of the whole master has
//     balanced(x) <= -b.y + (K + B) * max(0, g),
// g being the largest gain (less the reduced cost) of any segment, b.y the
// dual objective, K the chain count and B the backward passages (K
// segments open a chain, at most B start after a backward passage): the
// Lagrangian bound, valid at every round, at which the run may stop once it
// falls below a target. When nothing prices out it equals the master's
// optimum.
//
// Cost: per round a warm-started primal simplex and O(homes * n) pricing
// (one sweep per commodity).
//
// The certificate does not use it: its master stays degenerate on the
// 5,000-passage days, where the time-space LP over the short homes is as
// fast or faster (bench/path_bound_bench measures both).

#include <cstdint>
#include <limits>
#include <vector>

#include "bipartite/BGraph.h"
#include "certify/TimeSpaceModel.h"

namespace certify {

struct PathBoundSettings {
  double seconds = 60.0;    // CPU seconds of the whole generation
  int columnsPerHome = 30;  // segments added per commodity and round, at most
  // Weight of the best bound's duals in the duals that price (Wentges'
  // smoothing); 0 prices by the master's duals alone.
  double smoothing = 0.0;
  // Stop once the bound is below this (the best found + 1): it is then
  // proven.
  double stopBelow = -std::numeric_limits<double>::infinity();
};

struct PathBoundResult {
  enum class Status { Converged, Stopped, OutOfTime, Failed };
  Status status = Status::Failed;
  std::uint32_t backward = 0;   // backward passages (0: the relation is acyclic)
  double lpValue = 0.0;         // the last restricted master's optimum
  double lagrangian = 0.0;      // the smallest Lagrangian bound seen
  int bound = 0;                // floor of it: bounds the open balanced chains
  int rounds = 0;
  std::size_t columns = 0;
  std::size_t rows = 0;
  double seconds = 0.0;         // CPU seconds in all
  double lpSeconds = 0.0;       // of which in the master's simplex
};

// `day` (day.homes: the home commodities, every home when empty; the
// chains of the others fly in the commodity of any chain and are not
// counted) and a maximum matching
// `maximum` of it (pairs (left, right)), whose chains and rotations are the
// first columns.
PathBoundResult SolvePathBound(const Day& day, const BGraph::Matching& maximum,
                               const PathBoundSettings& settings = {});

}  // namespace certify
