#include "localsearch/LocalSearch.h"

#include "localsearch/Performance.h"

bool IsAccepted(const DecompositionCounts& candidate, const DecompositionCounts& best) {
  if (candidate.chains != best.chains) return candidate.chains < best.chains;
  return candidate.balanced > best.balanced ||
         (candidate.balanced == best.balanced && candidate.rest >= best.rest);
}

LocalSearch::LocalSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine,
                         double threshold, bool recordPerformance)
    : threshold(threshold),
      recordPerformance(recordPerformance),
      bestTrajectory(graph, engine),
      working(bestTrajectory),
      counter(graph, table) {
  GetPerformance(graph, table, working, threshold, initial.balanced, initial.rest);
  int balanced = 0;
  int rest = 0;
  initial.chains = counter.Count(working.Mate(), threshold, balanced, rest);
  best = initial;
}

void LocalSearch::Run(unsigned int iterations) {
  for (unsigned int k = 0; k < iterations; ++k) Iterate();
}

void LocalSearch::Iterate() {
  working.TransformMaxMatching();
  DecompositionCounts candidate;
  candidate.chains = counter.Count(working.Mate(), threshold, candidate.balanced, candidate.rest);
  if (IsAccepted(candidate, best)) {
    best = candidate;
    bestTrajectory = working;
  } else {
    working = bestTrajectory;
  }
  if (recordPerformance) {
    balances.push_back(best.balanced);
    rests.push_back(best.rest);
  }
}
