#pragma once

// How long Parvel's exchange search runs: rounds per search and
// independent restarts.
//
// One search of the old default (1,000 rounds) often stops short of the
// optimum on real days, and no stopping rule read off a search's course
// works: when a search first reaches the bound on balanced chains it still
// has far fewer rested chains than it ends with, and its best often comes
// after a long stall. So the default is a fixed schedule sized by the day,
// deterministic like the search:
// - on days of fewer than kSmallDayRows rows, where a search costs little,
//   kSmallDayRestarts independent searches of kDefaultRounds rounds;
// - on larger days one long search: kMidDayRounds rounds, kLargeDayRounds
//   from kLargeDayRows rows on. At equal work one slow cooling beats the
//   best of several fast ones there (bench/README.md): restarts that each
//   cool in 5,000 rounds stop a few balanced rotations short on the large
//   cut-outs of rail days, where one search of 25,000 rounds does not.
// Every search proposes at most kSearchProposals moves (rounds times rows),
// but runs kMinDefaultRounds rounds at least.
// On a 2-core machine of 2024 that is about 1 s for 1,000 passages and
// 8-17 s for 5,000 (bench/README.md).
// A run stops early only when its best meets both bounds (SearchStop.h),
// or at its time limit.
//
// Given options fix their part: --N the rounds (alone, it runs a single
// search on the run's engine, as it always did), --restarts the restarts.

#include <cstddef>
#include <optional>

#include "bipartite/BGraph.h"

struct ExchangePlan {
  unsigned int rounds = 0;
  unsigned int restarts = 0;  // 0: a single search on the run's own engine
};

constexpr unsigned int kDefaultRounds = 5000;
constexpr unsigned int kMidDayRounds = 15000;
constexpr unsigned int kLargeDayRounds = 25000;
constexpr unsigned int kMinDefaultRounds = 1000;
constexpr unsigned int kSmallDayRestarts = 8;
constexpr std::size_t kSmallDayRows = 400;
constexpr std::size_t kLargeDayRows = 2500;
constexpr double kSearchProposals = 2.5e8;

// `rows`: rows of the split graph with at least one cell (proposals per
// round).
ExchangePlan PlanExchange(std::optional<unsigned int> rounds,
                          std::optional<unsigned int> restarts, std::size_t rows);

// Rows (left vertices) of the graph with at least one cell.
std::size_t RowsWithCells(const BGraph& graph);

// True when the run uses restarts (independent random streams): every run
// without --N, and any with --restarts.
bool PlanUsesRestarts(bool roundsGiven, bool restartsGiven);
