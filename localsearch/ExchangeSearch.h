#pragma once

// Simulated annealing over the exchange moves of ChainExchange: Parvel's
// exchange search.
//
// A run of N rounds proposes, in every round, as many moves as the split
// graph has rows with cells. Some proposals (AnnealingSchedule::aimedShare)
// are aimed (ChainExchange::ProposeAimed), at balance or, a share of them
// (restAimShare), at rest; the others draw a row and one of its neighbour
// columns and work out the move that puts the two together
// (ChainExchange::Propose). A move that merges a cycle away is always
// taken; any other is taken with the Metropolis probability of its change
// in the score balanced + w * rested at the round's temperature, which
// falls geometrically over the run. The best decomposition met, by the
// ranking of Search.h, is kept; since no move adds a chain, it never has
// more chains than the start. Halfway and three quarters through the run,
// a current decomposition that ranks below the best goes back to the best.
//
// A run ends early when its best meets the bounds it was given, at a time
// limit, or when another restart has proven its best (SearchStop.h).
//
// A share of the proposals (repairShare, none by default) re-pairs the
// cells of up to five chains at one terminal in the best other order
// (ChainExchange::ProposeRepair), taken by the same Metropolis test.
//
// Randomness: every proposal takes one output of the program's engine (its
// top byte chooses random, aimed or re-pairing and the aim, a mix of all
// its bits picks the row and neighbour or the chains and move); a move that
// is not surely taken takes one more for the Metropolis test. A positive seed repeats a
// run exactly (unless it meets its time limit).
//
// With AnnealingSchedule::polish, the best decomposition of the run is
// polished at its end (BoardPolish::Run: the exact best re-pairing of every
// terminal around every time, until none improves) unless the run ended
// early; with polishReturns also the state halfway and three quarters
// through, after the return to the best there; with polishEvery the state
// every so many rounds from polishFrom of the run on, by Run or, with
// polishShuffle, by one sweep of plateau jumps (BoardPolish::Shuffle, its
// seed one more output of the engine). The recorded course stays the
// annealing's; the best counts and matching include the polishes.
//
// Recording: one entry per `IterationsPerEntry()` rounds (1 up to
// kMaxRecordedEntries rounds, then evenly thinned), each the best counts
// after that round.
//
// Cost: O(n + E) memory; a round is O(rows) proposals of O(log degree) each
// (aimed ones O(length of the two chains)), plus the relabelling of the
// moves taken and an O(n) copy of the state whenever the best improves.

#include <cstdint>
#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/FollowRule.h"
#include "common/TimeTable.h"
#include "localsearch/BoardPolish.h"
#include "localsearch/ChainExchange.h"
#include "localsearch/Search.h"
#include "localsearch/SearchStop.h"

// The annealing: score balanced + restWeight * rested, temperature from
// start to end, geometrically over the rounds; the shares of aimed
// proposals, and of those aimed at rest.
struct AnnealingSchedule {
  double restWeight = 0.7;
  double startTemperature = 2.0;
  double endTemperature = 0.01;
  double aimedShare = 0.5;
  double restAimShare = 0.5;
  // Share of proposals that re-pair the cells of several chains at one
  // terminal (ChainExchange::ProposeRepair), taken from the random ones.
  double repairShare = 0.0;
  // Part of the run, from its start, without re-pairings.
  double repairStart = 0.0;
  // Polish (BoardPolish) the best decomposition at the end of the run; and
  // also, with polishReturns, the state the run goes back to halfway and
  // three quarters through.
  bool polish = false;
  bool polishReturns = false;
  // Also polish the state every polishEvery rounds (0: never) from the
  // part polishFrom of the run on.
  unsigned int polishEvery = 0;
  double polishFrom = 0.5;
  // The polishes every polishEvery rounds jump on plateaus
  // (BoardPolish::Shuffle) instead.
  bool polishShuffle = false;
  // The polish's windows (BoardPolish::SetWindow).
  unsigned int polishSpan = 0;
  bool polishOnce = false;
};

// `schedule` with the polish of Parvel's --exchange_polish: the best
// polished at the end, and from halfway on, every kPolishEvery rounds, one
// sweep of plateau jumps (BoardPolish::Shuffle) on the state.
constexpr unsigned int kPolishEvery = 50;
AnnealingSchedule WithPolish(AnnealingSchedule schedule);

class ExchangeSearch : public Search {
 public:
  static constexpr unsigned int kMaxRecordedEntries = 2000;

  // Starts at the graph's maximum matching (the walk's start too).
  ExchangeSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine, double threshold,
                 bool recordPerformance);
  // Starts at `maximum`, a maximum matching of `graph`, which was built
  // with `rule`.
  ExchangeSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine, double threshold,
                 bool recordPerformance, BGraph::Matching maximum, AnnealingSchedule schedule = {},
                 const FollowRule& rule = {});

  // When to end before the rounds are done (never, by default).
  void SetStop(const SearchStop& when) override { stop = when; }

  // Runs `rounds` rounds of annealing, or fewer (Stopped()).
  void Run(unsigned int rounds) override;

  BGraph::Matching BestMatching() const override;

  // Rounds that one recorded entry stands for, set by Run.
  unsigned int IterationsPerEntry() const override { return roundsPerEntry; }
  StopReason Stopped() const override { return stopped; }
  unsigned int RoundsRun() const { return roundsRun; }
  // What the polishes did (all zero when none ran).
  const PolishOutcome& Polished() const { return polished; }

 private:
  std::mt19937_64& engine;
  AnnealingSchedule schedule;
  ChainExchange state;
  ChainExchange::Repair repair;  // scratch of TryRepair
  std::vector<std::uint32_t> bestSuccessors;
  bool bestPending = false;
  unsigned int roundsPerEntry = 1;
  SearchStop stop;
  StopReason stopped = StopReason::Rounds;
  unsigned int roundsRun = 0;
  // Top bytes of a draw below which a proposal is aimed, and aimed at rest
  // with a partner ending where X ends / starting where X starts.
  std::uint64_t aimedBelow = 0;
  std::uint64_t restEndBelow = 0;
  std::uint64_t restStartBelow = 0;
  // Top bytes of a draw from which a proposal is a re-pairing.
  std::uint64_t repairFrom = 256;
  std::uint64_t roundRepairFrom = 256;  // repairFrom, or 256 before repairStart

  // Acceptance thresholds of one round, as engine outputs: a move with
  // changes (db, dr) is taken when a draw falls below threshold[db+2][dr+2]
  // (always, when that is kAlways).
  struct Acceptance {
    static constexpr std::uint64_t kAlways = ~std::uint64_t{0};
    std::uint64_t threshold[5][5];
  };
  Acceptance AcceptanceAt(double temperature) const;
  // One round; false when it found no move to propose. Ends the round early
  // (with `stopped` set) when the best is proven.
  bool Round(const Acceptance& acceptance, double temperature);
  // A re-pairing proposal at `temperature`; true when it was taken.
  bool TryRepair(std::uint64_t top, std::uint64_t bits, double temperature);
  // Copies the state into the best one when it is the best met.
  void KeepBest();
  // Polishes the state; takes it as the best when it is then the best met.
  void Polish(bool shuffle = false);
  PolishOutcome polished;
};
