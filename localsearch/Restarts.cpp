#include "localsearch/Restarts.h"

#include <stdexcept>

#include "parallel/Streams.h"
#include "parallel/Words.h"

RestartOutcome RunRestarts(const std::vector<unsigned int>& indices, const RestartPlan& plan,
                           BGraph& graph, TimeTable& table, const BGraph::Matching& start,
                           parallel::WorkerPool& workers, std::atomic<unsigned int>* finished) {
  if (indices.empty()) throw std::invalid_argument("no restart to run");
  std::vector<RestartOutcome> outcomes(indices.size());
  std::vector<char> ran(indices.size(), 0);
  std::atomic<unsigned int> provenBy{SearchStop::kNoRestart};
  workers.Each(indices.size(), [&](std::size_t item, unsigned int) {
    RestartOutcome& outcome = outcomes[item];
    outcome.index = indices[item];
    SearchStop stop;
    stop.bounds = plan.bounds;
    stop.hasDeadline = plan.hasDeadline;
    stop.deadline = plan.deadline;
    stop.provenBy = &provenBy;
    stop.restart = outcome.index;
    // The first restart always runs, so that there is a best; none below it
    // can have proven its best.
    const bool late = item > 0 && stop.PastDeadline();
    if (stop.Overtaken() || late) {
      outcome.timeLimitReached = late;
    } else {
      std::mt19937_64 random = parallel::MakeStream(plan.seed, outcome.index);
      ExchangeSearch search(graph, table, random, plan.threshold, plan.recordPerformance, start,
                            plan.schedule, plan.rule);
      search.SetStop(stop);
      search.Run(plan.rounds);
      outcome.best = search.BestCounts();
      outcome.matching = search.BestMatching();
      outcome.balances = search.Balances();
      outcome.rests = search.Rests();
      outcome.iterationsPerEntry = search.IterationsPerEntry();
      outcome.stopped = search.Stopped();
      outcome.polishedBoards = search.Polished().improvements;
      outcome.timeLimitReached = outcome.stopped == StopReason::TimeLimit;
      ran[item] = 1;
      if (outcome.stopped == StopReason::Proven) {
        unsigned int lowest = provenBy.load();
        while (outcome.index < lowest && !provenBy.compare_exchange_weak(lowest, outcome.index)) {
        }
      }
    }
    if (finished != nullptr) finished->fetch_add(1);
  });
  std::vector<RestartOutcome> done;
  bool timeLimitReached = false;
  for (std::size_t k = 0; k < outcomes.size(); ++k) {
    timeLimitReached = timeLimitReached || outcomes[k].timeLimitReached;
    if (ran[k]) done.push_back(std::move(outcomes[k]));
  }
  RestartOutcome best = BestRestart(done);
  best.timeLimitReached = timeLimitReached;
  return best;
}

RestartOutcome BestRestart(const std::vector<RestartOutcome>& outcomes) {
  const RestartOutcome* best = &outcomes.front();
  bool timeLimitReached = false;
  for (const RestartOutcome& outcome : outcomes) {
    timeLimitReached = timeLimitReached || outcome.timeLimitReached;
    if (IsBetter(outcome.best, best->best) ||
        (!IsBetter(best->best, outcome.best) && outcome.index < best->index))
      best = &outcome;
  }
  RestartOutcome winner = *best;
  winner.timeLimitReached = timeLimitReached;
  return winner;
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
  out.Put(static_cast<std::uint64_t>(outcome.stopped));
  out.Put(outcome.timeLimitReached ? 1 : 0);
  out.Put(outcome.polishedBoards);
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
  const std::uint64_t stopped = in.Get();
  if (stopped > static_cast<std::uint64_t>(StopReason::Overtaken))
    throw std::out_of_range("unknown stop reason");
  outcome.stopped = static_cast<StopReason>(stopped);
  outcome.timeLimitReached = in.Get() != 0;
  outcome.polishedBoards = static_cast<unsigned int>(in.Get());
  return outcome;
}
