#pragma once

// Simulated annealing over the exchange moves of ChainExchange: Parvel's
// exchange search.
//
// A run of N rounds proposes, in every round, as many moves as the split
// graph has rows with cells. Half the proposals draw a row and one of its
// neighbour columns and work out the move that puts the two together
// (ChainExchange::Propose); the other half are aimed at balance or rest
// (ChainExchange::ProposeAimed). A move that merges a cycle away is always
// taken; any other is taken with the Metropolis probability of its change
// in the score balanced + w * rested at the round's temperature, which
// falls geometrically over the run (AnnealingSchedule). The best
// decomposition met, by the ranking of Search.h, is kept; since no move
// adds a chain, it never has more chains than the start. Halfway and three
// quarters through the run, a current decomposition that ranks below the
// best goes back to the best.
//
// Randomness: every proposal takes one output of the program's engine (its
// top bit chooses random or aimed, the rest picks the row and neighbour or
// the chains and move); a move that is not surely taken takes one more for
// the Metropolis test. A positive seed repeats a run exactly.
//
// Recording: one entry per `IterationsPerEntry()` rounds (1 up to
// kMaxRecordedEntries rounds, then evenly thinned), each the best counts
// after that round.
//
// Cost: O(n + E) memory; a round is O(rows) proposals of O(log degree) each,
// plus the relabelling of the moves taken and an O(n) copy of the state
// whenever the best improves.

#include <cstdint>
#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/TimeTable.h"
#include "localsearch/ChainExchange.h"
#include "localsearch/Search.h"

// The annealing: score balanced + restWeight * rested, temperature from
// start to end, geometrically over the rounds.
struct AnnealingSchedule {
  double restWeight = 0.4;
  double startTemperature = 2.0;
  double endTemperature = 0.01;
};

class ExchangeSearch : public Search {
 public:
  static constexpr unsigned int kMaxRecordedEntries = 2000;


  // Starts at the graph's maximum matching (the walk's start too).
  ExchangeSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine, double threshold,
                 bool recordPerformance);
  ExchangeSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine, double threshold,
                 bool recordPerformance, BGraph::Matching maximum, AnnealingSchedule schedule = {});

  // Runs `rounds` rounds of annealing.
  void Run(unsigned int rounds) override;

  BGraph::Matching BestMatching() const override;

  // Rounds that one recorded entry stands for, set by Run.
  unsigned int IterationsPerEntry() const override { return roundsPerEntry; }

 private:
  std::mt19937_64& engine;
  AnnealingSchedule schedule;
  ChainExchange state;
  std::vector<std::uint32_t> bestSuccessors;
  bool bestPending = false;
  unsigned int roundsPerEntry = 1;

  // Acceptance thresholds of one round, as engine outputs: a move with
  // changes (db, dr) is taken when a draw falls below threshold[db+2][dr+2]
  // (always, when that is kAlways).
  struct Acceptance {
    static constexpr std::uint64_t kAlways = ~std::uint64_t{0};
    std::uint64_t threshold[5][5];
  };
  Acceptance AcceptanceAt(double temperature) const;
  // One round; false when it found no move to propose.
  bool Round(const Acceptance& acceptance);
  // Copies the state into the best one when it is the best met.
  void KeepBest();
};
