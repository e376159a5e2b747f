#include "localsearch/Restarts.h"

#include <stdexcept>

#include "localsearch/ExchangeSearch.h"
#include "parallel/Streams.h"
#include "parallel/Words.h"

RestartOutcome RunRestarts(const std::vector<unsigned int>& indices, const RestartPlan& plan,
                           BGraph& graph, TimeTable& table, const BGraph::Matching& start,
                           parallel::WorkerPool& workers, std::atomic<unsigned int>* finished) {
  if (indices.empty()) throw std::invalid_argument("no restart to run");
  std::vector<RestartOutcome> outcomes(indices.size());
  workers.Each(indices.size(), [&](std::size_t item, unsigned int) {
    RestartOutcome& outcome = outcomes[item];
    outcome.index = indices[item];
    std::mt19937_64 random = parallel::MakeStream(plan.seed, outcome.index);
    ExchangeSearch search(graph, table, random, plan.threshold, plan.recordPerformance, start);
    search.Run(plan.rounds);
    outcome.best = search.BestCounts();
    outcome.matching = search.BestMatching();
    outcome.balances = search.Balances();
    outcome.rests = search.Rests();
    outcome.iterationsPerEntry = search.IterationsPerEntry();
    if (finished != nullptr) finished->fetch_add(1);
  });
  return BestRestart(outcomes);
}

const RestartOutcome& BestRestart(const std::vector<RestartOutcome>& outcomes) {
  const RestartOutcome* best = &outcomes.front();
  for (const RestartOutcome& outcome : outcomes) {
    if (IsBetter(outcome.best, best->best) ||
        (!IsBetter(best->best, outcome.best) && outcome.index < best->index))
      best = &outcome;
  }
  return *best;
}

std::vector<std::uint64_t> PackRestart(const RestartOutcome& outcome) {
  parallel::WordWriter out;
  out.Put(outcome.index);
  out.PutSigned(outcome.best.chains);
  out.PutSigned(outcome.best.balanced);
  out.PutSigned(outcome.best.rest);
  out.Put(outcome.matching.size());
  for (const auto& pair : outcome.matching) {
    out.PutSigned(pair.first);
    out.PutSigned(pair.second);
  }
  out.PutRange(outcome.balances);
  out.PutRange(outcome.rests);
  out.Put(outcome.iterationsPerEntry);
  return out.Words();
}

RestartOutcome UnpackRestart(const std::vector<std::uint64_t>& words) {
  parallel::WordReader in(words);
  RestartOutcome outcome;
  outcome.index = static_cast<unsigned int>(in.Get());
  outcome.best.chains = static_cast<int>(in.GetSigned());
  outcome.best.balanced = static_cast<int>(in.GetSigned());
  outcome.best.rest = static_cast<int>(in.GetSigned());
  const std::uint64_t pairs = in.Get();
  for (std::uint64_t k = 0; k < pairs; ++k) {
    const auto first = static_cast<int>(in.GetSigned());
    const auto second = static_cast<int>(in.GetSigned());
    outcome.matching.emplace_back(first, second);
  }
  outcome.balances = in.GetRange<int>();
  outcome.rests = in.GetRange<int>();
  outcome.iterationsPerEntry = static_cast<unsigned int>(in.Get());
  return outcome;
}
