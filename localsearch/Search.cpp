#include "localsearch/Search.h"

#include <utility>

bool IsAccepted(const DecompositionCounts& candidate, const DecompositionCounts& best) {
  if (candidate.chains != best.chains) return candidate.chains < best.chains;
  return candidate.balanced > best.balanced ||
         (candidate.balanced == best.balanced && candidate.rest >= best.rest);
}

bool IsBetter(const DecompositionCounts& candidate, const DecompositionCounts& best) {
  if (candidate.chains != best.chains) return candidate.chains < best.chains;
  if (candidate.balanced != best.balanced) return candidate.balanced > best.balanced;
  return candidate.rest > best.rest;
}

void Search::Start(BGraph::Matching matching, const DecompositionCounts& counts) {
  start = std::move(matching);
  initial = counts;
  Improve(counts);
}

void Search::Improve(const DecompositionCounts& counts) {
  best = counts;
  progress.balanced.store(counts.balanced, std::memory_order_relaxed);
  progress.rest.store(counts.rest, std::memory_order_relaxed);
}

void Search::Record() {
  if (!recordPerformance) return;
  balances.push_back(best.balanced);
  rests.push_back(best.rest);
}
