#include "localsearch/WalkSearch.h"

#include "localsearch/Performance.h"

WalkSearch::WalkSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine,
                       double threshold, bool recordPerformance)
    : Search(recordPerformance),
      threshold(threshold),
      bestTrajectory(graph, engine),
      working(bestTrajectory),
      counter(graph, table) {
  DecompositionCounts counts;
  GetPerformance(graph, table, working, threshold, counts.balanced, counts.rest);
  int balanced = 0;
  int rest = 0;
  counts.chains = counter.Count(working.Mate(), threshold, balanced, rest);
  Start(working.ToMatching(), counts);
}

void WalkSearch::Run(unsigned int iterations) {
  for (unsigned int k = 0; k < iterations; ++k) {
    Iterate();
    Done(k + 1);
  }
}

void WalkSearch::Iterate() {
  working.TransformMaxMatching();
  DecompositionCounts candidate;
  candidate.chains = counter.Count(working.Mate(), threshold, candidate.balanced, candidate.rest);
  if (IsAccepted(candidate, best)) {
    Improve(candidate);
    bestTrajectory = working;
  } else {
    working = bestTrajectory;
  }
  Record();
}
