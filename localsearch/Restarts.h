#pragma once

// Independent restarts of the exchange search, each with a random stream of
// its own (parallel/Streams.h: restart r draws from MakeStream(seed, r)),
// spread over threads and MPI ranks; the best one wins.
//
// Every restart starts at the same maximum matching and runs the same
// number of rounds; the winner is the best by the searches' ranking
// (IsBetter), ties going to the lowest restart number. A restart's result
// depends only on its number, so the winner, and hence the output, is the
// same however the restarts were spread.
//
// Once a restart has proven its best (it meets the bounds of the plan), the
// restarts numbered above it can at most tie, and lose the tie: they are
// not started, or stopped (SearchStop.h). The winner stays the same. A time
// limit stops every restart at its deadline and starts no more (the first
// of those handed to RunRestarts always starts); which restarts ran then
// depends on the machine.

#include <cstdint>
#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/FollowRule.h"
#include "common/TimeTable.h"
#include "localsearch/ExchangeSearch.h"
#include "localsearch/Search.h"
#include "localsearch/SearchBounds.h"
#include "localsearch/SearchStop.h"
#include "parallel/WorkerPool.h"

// What the report needs of a restart.
struct RestartOutcome {
  unsigned int index = 0;
  DecompositionCounts best;
  BGraph::Matching matching;  // the best matching met
  std::vector<int> balances;  // recorded course (empty unless recording)
  std::vector<int> rests;
  unsigned int iterationsPerEntry = 1;
  StopReason stopped = StopReason::Rounds;
  // True when this restart, or another of those pooled into this outcome,
  // met the time limit or was not started because of it.
  bool timeLimitReached = false;
  unsigned int polishedBoards = 0;  // re-pairings of its polishes that raised the score
};

struct RestartPlan {
  std::uint32_t seed = 0;
  unsigned int rounds = 0;
  double threshold = 0.0;
  bool recordPerformance = false;
  FollowRule rule;
  AnnealingSchedule schedule;
  const SearchBounds* bounds = nullptr;  // none: no restart is ever proven
  bool hasDeadline = false;
  SearchStop::SteadyClock::time_point deadline;
};

// Runs the restarts numbered `indices` (at least one) on `workers` and
// returns the best of those that ran. `finished`, when given, counts
// restarts as they end or are skipped (for a progress line).
RestartOutcome RunRestarts(const std::vector<unsigned int>& indices, const RestartPlan& plan,
                           BGraph& graph, TimeTable& table, const BGraph::Matching& start,
                           parallel::WorkerPool& workers,
                           std::atomic<unsigned int>* finished = nullptr);

// The best of `outcomes` (at least one): by ranking, ties to the lowest
// restart number; it carries the time limit flag of them all.
RestartOutcome BestRestart(const std::vector<RestartOutcome>& outcomes);

// An outcome as words for another rank, and back (throws
// std::out_of_range on a message that ends early).
std::vector<std::uint64_t> PackRestart(const RestartOutcome& outcome);
RestartOutcome UnpackRestart(const std::vector<std::uint64_t>& words);
