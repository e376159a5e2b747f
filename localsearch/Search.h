#pragma once

// What Parvel asks of a search over the minimum chain decompositions of a
// day, and how it ranks them.
//
// A search starts at the maximum matching `BGraph::GetMaxMatching` finds
// (the "initial" counts), runs with a budget of iterations whose meaning is
// its own, and ends with the best matching it met. Candidates are ranked by
// their number of chains first (fewer is better: overnight passages can
// make a maximum matching close a rotation on itself, which costs one chain
// more than a minimum decomposition), then by balanced chains, then by
// chains with enough rest.
//
// The base keeps what every search shares: the initial and best counts,
// the recorded course of the best counts, and counters a progress line may
// read from another thread while the search runs.

#include <atomic>
#include <vector>

#include "bipartite/BGraph.h"

// What a decomposition is ranked by.
struct DecompositionCounts {
  int chains = 0;
  int balanced = 0;
  int rest = 0;
};

// True when the candidate replaces the best: fewer chains; or as many, and
// more balanced chains, or as many balanced and at least as many rested.
bool IsAccepted(const DecompositionCounts& candidate, const DecompositionCounts& best);

// True when the candidate ranks strictly higher than the best.
bool IsBetter(const DecompositionCounts& candidate, const DecompositionCounts& best);

// Why a search ended (see SearchStop.h): all its iterations done, its best
// proven optimal, its time limit, or another restart's proof.
enum class StopReason { Rounds, Proven, TimeLimit, Overtaken };

struct SearchStop;

class Search {
 public:
  // Written by the search, read by a progress line: iterations done and
  // the best counts so far.
  struct Progress {
    std::atomic<unsigned int> done{0};
    std::atomic<int> balanced{0};
    std::atomic<int> rest{0};
  };

  virtual ~Search() = default;

  // Runs the search for `iterations` of its own iterations.
  virtual void Run(unsigned int iterations) = 0;

  // The best matching met, pairs (left, right) in increasing order of the
  // left vertex.
  virtual BGraph::Matching BestMatching() const = 0;

  // Iterations one recorded entry stands for.
  virtual unsigned int IterationsPerEntry() const { return 1; }

  // When to end before the iterations are done; a search that cannot end
  // early ignores it.
  virtual void SetStop(const SearchStop&) {}
  virtual StopReason Stopped() const { return StopReason::Rounds; }

  // The maximum matching the search started from.
  const BGraph::Matching& StartMatching() const { return start; }
  const DecompositionCounts& Initial() const { return initial; }
  const DecompositionCounts& BestCounts() const { return best; }
  // The recorded course (empty when recording is off): best counts after
  // each recorded point.
  const std::vector<int>& Balances() const { return balances; }
  const std::vector<int>& Rests() const { return rests; }
  const Progress& Progressing() const { return progress; }

 protected:
  explicit Search(bool recordPerformance) : recordPerformance(recordPerformance) {}

  // Sets the start and its counts, which are also the best so far.
  void Start(BGraph::Matching matching, const DecompositionCounts& counts);
  // Takes `counts` as the new best.
  void Improve(const DecompositionCounts& counts);
  // Appends the best counts to the recorded course when recording is on.
  void Record();
  void Done(unsigned int iterations) { progress.done.store(iterations, std::memory_order_relaxed); }

  bool recordPerformance;
  BGraph::Matching start;
  DecompositionCounts initial;
  DecompositionCounts best;

 private:
  std::vector<int> balances;
  std::vector<int> rests;
  Progress progress;
};
