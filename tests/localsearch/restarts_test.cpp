// Restarts of the exchange search: the winner is the same however the
// restarts are spread over threads or ranks, and it is the best by the
// searches' ranking with ties to the lowest restart.

#include <numeric>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "common/Poset.h"
#include "localsearch/Restarts.h"
#include "parallel/WorkerPool.h"
#include "support/SmallDays.h"
#include "support/Timetables.h"

namespace {

void ExpectSame(const RestartOutcome& a, const RestartOutcome& b) {
  EXPECT_EQ(a.index, b.index);
  EXPECT_EQ(a.best.chains, b.best.chains);
  EXPECT_EQ(a.best.balanced, b.best.balanced);
  EXPECT_EQ(a.best.rest, b.best.rest);
  EXPECT_EQ(a.matching, b.matching);
  EXPECT_EQ(a.balances, b.balances);
  EXPECT_EQ(a.rests, b.rests);
  EXPECT_EQ(a.iterationsPerEntry, b.iterationsPerEntry);
  EXPECT_EQ(a.polishedBoards, b.polishedBoards);
}

}  // namespace

TEST(Restarts, TheWinnerDoesNotDependOnHowRestartsAreSpread) {
  std::mt19937 rng(21);
  parallel::WorkerPool one(1), three(3);
  for (int instance = 0; instance < 8; ++instance) {
    TimeTable table = MakeTable(RandomPassages(rng, 20 + 3 * instance));
    Poset poset;
    poset.CreatePoset(table);
    BGraph graph;
    graph.InitGraphFromPoset(table, poset);
    const BGraph::Matching start = graph.GetMaxMatching();
    RestartPlan plan;
    plan.seed = static_cast<std::uint32_t>(rng());
    plan.rounds = 30;
    plan.threshold = 11.0;
    plan.recordPerformance = true;
    if (instance % 2 == 1) {  // the polish, its plateau jumps drawing from the streams too
      plan.schedule = WithPolish(plan.schedule);
      plan.schedule.polishEvery = 5;
    }
    std::vector<unsigned int> all(6);
    std::iota(all.begin(), all.end(), 0);
    const RestartOutcome alone = RunRestarts(all, plan, graph, table, start, one);
    ExpectSame(alone, RunRestarts(all, plan, graph, table, start, three));
    // Two ranks: each runs its share, the leader picks from what they send.
    std::vector<RestartOutcome> sent;
    for (unsigned int rank = 0; rank < 2; ++rank) {
      std::vector<unsigned int> share;
      for (unsigned int r = rank; r < 6; r += 2) share.push_back(r);
      sent.push_back(
          UnpackRestart(PackRestart(RunRestarts(share, plan, graph, table, start, three))));
    }
    ExpectSame(alone, BestRestart(sent));
    // With the winner's counts as bounds, restarts stop once one meets them
    // and those numbered above it are dropped: the same winner, on any
    // number of threads.
    SearchBounds bounds;
    bounds.chains = alone.best.chains;
    bounds.balanced = alone.best.balanced;
    bounds.rest = alone.best.rest;
    RestartPlan bounded = plan;
    bounded.bounds = &bounds;
    for (parallel::WorkerPool* pool : {&one, &three}) {
      const RestartOutcome proven = RunRestarts(all, bounded, graph, table, start, *pool);
      EXPECT_EQ(proven.index, alone.index);
      EXPECT_EQ(proven.matching, alone.matching);
      EXPECT_EQ(proven.stopped, StopReason::Proven);
    }
    // No single restart beats the winner, and an equal one has a higher number.
    for (unsigned int r : all) {
      const RestartOutcome single = RunRestarts({r}, plan, graph, table, start, one);
      EXPECT_FALSE(IsBetter(single.best, alone.best));
      if (!IsBetter(alone.best, single.best)) {
        EXPECT_LE(alone.index, r);
      }
    }
  }
}

TEST(Restarts, TiesGoToTheLowestRestart) {
  std::vector<RestartOutcome> outcomes(3);
  outcomes[0].index = 5;
  outcomes[1].index = 2;
  outcomes[2].index = 9;
  for (RestartOutcome& outcome : outcomes) outcome.best = {4, 2, 1};
  EXPECT_EQ(BestRestart(outcomes).index, 2u);
  outcomes[2].best.rest = 2;
  EXPECT_EQ(BestRestart(outcomes).index, 9u);
}
