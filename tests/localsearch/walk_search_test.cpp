#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "LocalSearchTestSupport.h"
#include "localsearch/Decomposition.h"
#include "localsearch/WalkSearch.h"
#include "localsearch/Performance.h"

namespace {

// Number of chains, balanced chains and rested chains of a trajectory's
// decomposition, through the decomposition itself.
DecompositionCounts CountThroughDecomposition(BGraph& graph, TimeTable& table,
                                              const Trajectory& trajectory, double threshold) {
  BGraph::Matching matching = trajectory.ToMatching();
  BGraph::Decomposition chains = graph.GetDillworthDecompositionFromMatching(matching);
  DecompositionCounts counts;
  counts.chains = static_cast<int>(chains.size());
  Decomposition::GetNumberOfBalancedAndRest(table, chains, counts.balanced, counts.rest,
                                            threshold);
  return counts;
}

// The search written out plainly: full decomposition per iteration,
// trajectories assigned back and forth.
struct PlainSearch {
  DecompositionCounts best;
  std::vector<int> balances;
  std::vector<int> rests;
  std::vector<int> bestMate;

  PlainSearch(BGraph& graph, TimeTable& table, std::mt19937_64& engine, double threshold,
              unsigned iterations) {
    Trajectory bestTrajectory(graph, engine);
    Trajectory working(bestTrajectory);
    best = CountThroughDecomposition(graph, table, working, threshold);
    for (unsigned k = 0; k < iterations; ++k) {
      working.TransformMaxMatching();
      const DecompositionCounts c = CountThroughDecomposition(graph, table, working, threshold);
      const bool better = c.chains < best.chains ||
                          (c.chains == best.chains &&
                           (c.balanced > best.balanced ||
                            (c.balanced == best.balanced && c.rest >= best.rest)));
      if (better) {
        best = c;
        bestTrajectory = working;
      } else {
        working = bestTrajectory;
      }
      balances.push_back(best.balanced);
      rests.push_back(best.rest);
    }
    bestMate = bestTrajectory.Mate();
  }
};

// Passages a (1 -> 2, 8:00-9:00), b (2 -> 1, 10:00 overnight to 7:30) and
// c (1 -> 3, 7:45-8:30): a -> b, b -> a and b -> c. Both maximum matchings
// have two pairs: a -> b -> a closes a cycle, listed as the balanced chain
// a, b beside c alone (two chains, one balanced); a -> b -> c is the one
// unbalanced chain of a minimum decomposition.
TimeTable CycleOrPathDay() {
  return lstest::MakeTable({{11, 1, 2, 8.0, 9.0}, {12, 2, 1, 10.0, 7.5}, {13, 1, 3, 7.75, 8.5}});
}

}  // namespace

// Against every maximum matching of small days: the walk's best is a valid
// decomposition with the counts it reports, never ranks above the true
// optimum, and reaches it on nearly every day.
TEST(WalkSearch, EndsAtAValidDecompositionAndMostlyAtTheBruteForceOptimum) {
  std::mt19937 random(61);
  const int days = 200;
  int optimal = 0;
  for (int day = 0; day < days; ++day) {
    TimeTable table = lstest::SmallDay(4 + static_cast<unsigned>(day % 6), random);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    const double threshold = 10.0;
    const DecompositionCounts truth =
        lstest::BruteForceBest(graph, table, lstest::AllMaximumMatchings(graph), threshold);

    std::mt19937_64 engine(static_cast<std::uint64_t>(day) + 7);
    WalkSearch search(graph, table, engine, threshold, false);
    search.Run(2000);
    const DecompositionCounts found = search.BestCounts();
    ASSERT_EQ(lstest::VerifyBest(table, search), "") << "day " << day;
    const DecompositionCounts recount =
        lstest::CountsOf(graph, table, search.BestMatching(), threshold);
    ASSERT_EQ(std::make_tuple(recount.chains, recount.balanced, recount.rest),
              std::make_tuple(found.chains, found.balanced, found.rest))
        << "day " << day;
    ASSERT_LE(std::make_tuple(-found.chains, found.balanced, found.rest),
              std::make_tuple(-truth.chains, truth.balanced, truth.rest))
        << "day " << day << ": better than every maximum matching";
    optimal += found.chains == truth.chains && found.balanced == truth.balanced &&
               found.rest == truth.rest;
  }
  EXPECT_GE(optimal, days * 9 / 10);
}

TEST(WalkSearch, MatchesThePlainSearchStepForStep) {
  std::mt19937 random(31);
  for (int day = 0; day < 8; ++day) {
    const unsigned n = 10 + static_cast<unsigned>(random() % 50);
    TimeTable table = lstest::RandomDay(n, 2 + static_cast<unsigned>(random() % 4), random);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    const double threshold = 6.0 + day;
    const unsigned iterations = 150;

    std::mt19937_64 plainEngine(static_cast<std::uint64_t>(day) + 1);
    const PlainSearch plain(graph, table, plainEngine, threshold, iterations);

    std::mt19937_64 engine(static_cast<std::uint64_t>(day) + 1);
    WalkSearch search(graph, table, engine, threshold, true);
    search.Run(iterations);

    EXPECT_EQ(search.Balances(), plain.balances) << "day " << day;
    EXPECT_EQ(search.Rests(), plain.rests) << "day " << day;
    EXPECT_EQ(search.BestCounts().chains, plain.best.chains);
    EXPECT_EQ(search.BestBalanced(), plain.best.balanced);
    EXPECT_EQ(search.BestRest(), plain.best.rest);
    EXPECT_EQ(search.Best().Mate(), plain.bestMate) << "day " << day;
    EXPECT_EQ(engine, plainEngine) << "same number of draws";
  }
}

// Iteration by iteration on days with overnight passages: the best never
// ranks lower than before, its counts are those of its own decomposition,
// and the recorded lists follow the best counts.
TEST(WalkSearch, BestNeverRanksLowerAndIsRecordedEachIteration) {
  std::mt19937 random(44);
  int chainDrops = 0;
  for (int day = 0; day < 12; ++day) {
    TimeTable table = lstest::RandomDay(40, 3, random);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    std::mt19937_64 engine(static_cast<std::uint64_t>(day) + 50);
    WalkSearch search(graph, table, engine, 11.0, true);
    const DecompositionCounts initial = search.Initial();
    Trajectory start = search.Best();
    const DecompositionCounts startCounts = CountThroughDecomposition(graph, table, start, 11.0);
    EXPECT_EQ(initial.chains, startCounts.chains);
    EXPECT_EQ(initial.balanced, startCounts.balanced);
    EXPECT_EQ(initial.rest, startCounts.rest);

    const unsigned iterations = 120;
    DecompositionCounts before = initial;
    for (unsigned k = 0; k < iterations; ++k) {
      search.Run(1);
      const DecompositionCounts now = search.BestCounts();
      ASSERT_TRUE(IsAccepted(now, before)) << "day " << day << ", iteration " << k;
      ASSERT_LE(now.chains, before.chains);
      chainDrops += now.chains < before.chains ? 1 : 0;
      ASSERT_EQ(search.Balances().size(), k + 1);
      ASSERT_EQ(search.Rests().size(), k + 1);
      EXPECT_EQ(search.Balances().back(), now.balanced);
      EXPECT_EQ(search.Rests().back(), now.rest);
      if (now.chains == before.chains) {
        EXPECT_GE(now.balanced, before.balanced);
      }
      before = now;
    }
    Trajectory best = search.Best();
    const DecompositionCounts bestCounts = CountThroughDecomposition(graph, table, best, 11.0);
    EXPECT_EQ(bestCounts.chains, search.BestCounts().chains);
    EXPECT_EQ(bestCounts.balanced, search.BestBalanced());
    EXPECT_EQ(bestCounts.rest, search.BestRest());
    EXPECT_EQ(best.MatchingSize(), best.MaxMatchingSize());
    EXPECT_GE(bestCounts.chains, static_cast<int>(40 - best.MaxMatchingSize()));
  }
  EXPECT_GT(chainDrops, 0) << "no day started from a cyclic matching; the test checks too little";
}

TEST(WalkSearch, CyclicMatchingDoesNotReplaceAMinimumDecomposition) {
  TimeTable table = CycleOrPathDay();
  BGraph graph;
  lstest::BuildGraph(table, graph);
  ASSERT_EQ(graph.GetEgeList().size(), 3u);
  for (std::uint64_t seed = 1; seed <= 20; ++seed) {
    std::mt19937_64 engine(seed);
    WalkSearch search(graph, table, engine, 11.0, false);
    search.Run(60);
    EXPECT_EQ(search.BestCounts().chains, 1) << "seed " << seed;
    EXPECT_EQ(search.BestBalanced(), 0);
    BGraph::Matching matching = search.Best().ToMatching();
    EXPECT_EQ(graph.GetDillworthDecompositionFromMatching(matching),
              (BGraph::Decomposition{{11, 12, 13}}));
  }
}

TEST(WalkSearch, WalkDoesMeetTheCyclicMatching) {
  // The walk itself reaches both maximum matchings; the ranking alone keeps
  // the search off the cyclic one.
  TimeTable table = CycleOrPathDay();
  BGraph graph;
  lstest::BuildGraph(table, graph);
  std::mt19937_64 engine(5);
  Trajectory trajectory(graph, engine);
  std::set<int> chainCounts;
  for (int k = 0; k < 100; ++k) {
    trajectory.TransformMaxMatching();
    chainCounts.insert(CountThroughDecomposition(graph, table, trajectory, 11.0).chains);
  }
  EXPECT_EQ(chainCounts, (std::set<int>{1, 2}));
}

TEST(WalkSearch, ZeroIterationsKeepTheInitialMatching) {
  std::mt19937 random(2);
  TimeTable table = lstest::RandomDay(20, 3, random);
  BGraph graph;
  lstest::BuildGraph(table, graph);
  std::mt19937_64 engine(8);
  WalkSearch search(graph, table, engine, 11.0, true);
  search.Run(0);
  EXPECT_TRUE(search.Balances().empty());
  EXPECT_TRUE(search.Rests().empty());
  EXPECT_EQ(search.BestBalanced(), search.InitialBalanced());
  EXPECT_EQ(search.BestRest(), search.InitialRest());
  EXPECT_EQ(search.Best().ToMatching(), graph.GetMaxMatching());
}

TEST(WalkSearch, RecordingOffKeepsNoCourse) {
  std::mt19937 random(6);
  TimeTable table = lstest::RandomDay(15, 2, random);
  BGraph graph;
  lstest::BuildGraph(table, graph);
  std::mt19937_64 engine(8);
  WalkSearch search(graph, table, engine, 11.0, false);
  search.Run(30);
  EXPECT_TRUE(search.Balances().empty());
  EXPECT_TRUE(search.Rests().empty());
}

TEST(WalkSearch, EdgelessGraphAcceptsTheUnchangedMatchingEveryTime) {
  TimeTable table = lstest::MakeTable({
      {1, 1, 1, 6.0, 7.0},   // balanced, rest 23
      {2, 2, 3, 6.0, 20.0},  // neither
      {3, 4, 5, 5.0, 6.0},   // rest 23
  });
  BGraph graph;
  lstest::BuildGraph(table, graph);
  ASSERT_TRUE(graph.GetEgeList().empty());
  std::mt19937_64 engine(5);
  const std::mt19937_64 untouched = engine;
  WalkSearch search(graph, table, engine, 11.0, true);
  search.Run(25);
  EXPECT_EQ(search.InitialBalanced(), 1);
  EXPECT_EQ(search.InitialRest(), 2);
  EXPECT_EQ(search.BestCounts().chains, 3);
  EXPECT_EQ(search.Balances(), std::vector<int>(25, 1));
  EXPECT_EQ(search.Rests(), std::vector<int>(25, 2));
  EXPECT_EQ(engine, untouched);
}
