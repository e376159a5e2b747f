#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "LocalSearchTestSupport.h"
#include "localsearch/ChainCounter.h"
#include "localsearch/Decomposition.h"
#include "localsearch/Performance.h"
#include "localsearch/Trajectory.h"

namespace {

using Chains = BGraph::Decomposition;

struct Counts {
  int balanced = -7;
  int rest = -7;
  bool operator==(const Counts& other) const {
    return balanced == other.balanced && rest == other.rest;
  }
};

std::ostream& operator<<(std::ostream& out, const Counts& counts) {
  return out << "(" << counts.balanced << ", " << counts.rest << ")";
}

Counts CountChains(TimeTable& table, Chains chains, double threshold) {
  Counts counts;
  Decomposition::GetNumberOfBalancedAndRest(table, chains, counts.balanced, counts.rest,
                                            threshold);
  return counts;
}

// Matching with cycles on purpose: whether the decomposition of `mate`
// holds a chain whose successor relation closes on itself.
bool HasCycle(const std::vector<int>& mate) {
  const std::size_t n = mate.size() / 2;
  for (std::size_t start = 0; start < n; ++start) {
    std::size_t p = start;
    for (std::size_t steps = 0; steps <= n && mate[p] != -1; ++steps) {
      p = static_cast<std::size_t>(mate[p]) - n;
      if (p == start) return true;
    }
  }
  return false;
}

}  // namespace

TEST(DecompositionCounts, EmptyDecompositionGivesZeros) {
  TimeTable table = lstest::MakeTable({{1, 1, 1, 6.0, 7.0}});
  EXPECT_EQ(CountChains(table, {}, 11.0), (Counts{0, 0}));
}

TEST(DecompositionCounts, SinglePassageChains) {
  TimeTable table = lstest::MakeTable({
      {5, 1, 1, 8.0, 20.0},  // back where it left, rest 24 - 20 + 8 = 12
      {6, 1, 2, 8.0, 22.0},  // elsewhere, rest 10
  });
  EXPECT_EQ(CountChains(table, {{5}}, 11.0), (Counts{1, 1}));
  EXPECT_EQ(CountChains(table, {{6}}, 11.0), (Counts{0, 0}));
  EXPECT_EQ(CountChains(table, {{6}}, 10.0), (Counts{0, 1}));
  EXPECT_EQ(CountChains(table, {{5}, {6}}, 12.0), (Counts{1, 1}));
}

TEST(DecompositionCounts, OnlyFirstAndLastPassagesMatterAndTestsAreIndependent) {
  TimeTable table = lstest::MakeTable({
      {40, 3, 4, 6.0, 7.0},
      {7, 4, 9, 8.0, 9.0},
      {19, 9, 3, 10.0, 19.0},
      {23, 9, 5, 10.0, 19.5},
  });
  // 40 leaves 3 at 6; 19 arrives at 3 at 19: balanced, rest exactly 11.
  EXPECT_EQ(CountChains(table, {{40, 7, 19}}, 11.0), (Counts{1, 1}));
  // 23 arrives elsewhere at 19.5: rest 10.5, neither test passes.
  EXPECT_EQ(CountChains(table, {{40, 7, 23}}, 11.0), (Counts{0, 0}));
  EXPECT_EQ(CountChains(table, {{40, 7, 23}}, 10.5), (Counts{0, 1}));
  EXPECT_EQ(CountChains(table, {{40, 7, 19}}, 11.0 + 1e-12), (Counts{1, 0}));
}

TEST(DecompositionCounts, NegativeAndUndefinedRestTimes) {
  TimeTable table = lstest::MakeTable({
      {1, 1, 2, 1.0, 26.0},  // rest 24 - 26 + 1 = -1
      {2, 1, 2, 1.0, std::numeric_limits<double>::quiet_NaN()},
  });
  EXPECT_EQ(CountChains(table, {{1}}, -1.0).rest, 1);
  EXPECT_EQ(CountChains(table, {{1}}, -0.5).rest, 0);
  EXPECT_EQ(CountChains(table, {{2}}, -1e300).rest, 0);
  EXPECT_EQ(CountChains(table, {{1}}, std::numeric_limits<double>::quiet_NaN()).rest, 0);
}

TEST(DecompositionCounts, DuplicatePassageNumbersResolveToTheLaterPassage) {
  TimeTable table = lstest::MakeTable({{8, 1, 1, 6.0, 7.0}, {8, 2, 3, 6.0, 20.0}});
  EXPECT_EQ(CountChains(table, {{8}}, 11.0), (Counts{0, 0}));
}

TEST(PrintDecomp, NumberedChainsBetweenHyphenLines) {
  testing::internal::CaptureStdout();
  PrintDecomp({{3, 7, 12}, {4}});
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "--------------------------\n1: 3 7 12 \n2: 4 \n--------------------------\n");
  testing::internal::CaptureStdout();
  PrintDecomp({});
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "--------------------------\n--------------------------\n");
}

TEST(Performance, CountsTheDecompositionOfTheCurrentMatching) {
  TimeTable table = lstest::MakeTable({
      {10, 1, 2, 6.0, 7.0},
      {20, 2, 3, 8.0, 9.0},
      {30, 3, 1, 10.0, 11.0},
      {40, 4, 5, 12.0, 13.0},
  });
  BGraph graph;
  lstest::BuildGraph(table, graph);
  std::mt19937_64 engine(1);
  Trajectory trajectory(graph, engine);
  const std::vector<int> mate = trajectory.Mate();
  Counts counts;
  GetPerformance(graph, table, trajectory, 11.0, counts.balanced, counts.rest);
  // Chains 10,20,30 (balanced, rest 19) and 40 (rest 23).
  EXPECT_EQ(counts, (Counts{1, 2}));
  EXPECT_EQ(trajectory.Mate(), mate);
  GetPerformance(graph, table, trajectory, 20.0, counts.balanced, counts.rest);
  EXPECT_EQ(counts, (Counts{1, 1}));
}

// The fast count from the partner table against the decomposition route,
// on many matchings of random days with overnight passages (so cyclic
// chains occur), including matchings below maximum met mid-walk.
TEST(ChainCounter, EqualsTheDecompositionRouteOnRandomMatchings) {
  std::mt19937 random(17);
  int cyclicMatchings = 0;
  int compared = 0;
  for (int day = 0; day < 30; ++day) {
    const unsigned n = 2 + static_cast<unsigned>(random() % 40);
    const unsigned terminals = 1 + static_cast<unsigned>(random() % 4);
    TimeTable table = lstest::RandomDay(n, terminals, random);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    ChainCounter counter(graph, table);
    std::mt19937_64 engine(static_cast<std::uint64_t>(day) + 100);
    Trajectory trajectory(graph, engine);
    for (int k = 0; k < 60; ++k) {
      if (k % 3 == 0)
        trajectory.MakeStep();
      else
        trajectory.TransformMaxMatching();
      const double threshold = 4.0 + (k % 12);
      Counts slow;
      GetPerformance(graph, table, trajectory, threshold, slow.balanced, slow.rest);
      Counts fast;
      const int chainCount = counter.Count(trajectory.Mate(), threshold, fast.balanced, fast.rest);
      ASSERT_EQ(fast, slow) << "day " << day << ", step " << k;
      // Thresholds across the whole range of rest times tell apart chains
      // cut at different places.
      BGraph::Matching matching = trajectory.ToMatching();
      const Chains chains = graph.GetDillworthDecompositionFromMatching(matching);
      ASSERT_EQ(static_cast<std::size_t>(chainCount), chains.size());
      for (double sweep = -24.0; sweep <= 48.0; sweep += 0.25) {
        counter.Count(trajectory.Mate(), sweep, fast.balanced, fast.rest);
        ASSERT_EQ(fast, CountChains(table, chains, sweep)) << "threshold " << sweep;
      }
      cyclicMatchings += HasCycle(trajectory.Mate()) ? 1 : 0;
      ++compared;
    }
  }
  EXPECT_GT(cyclicMatchings, compared / 20) << "too few cyclic matchings to be a test";
}

TEST(ChainCounter, CyclicChainStartsAtItsSmallestPosition) {
  // 1 -> 2 -> 3 -> back to 1 overnight, and an unconnected 4. Listed from
  // position 0 the cycle runs 1, 2, 3: rest 24 - 2 + 6 = 28. Cut elsewhere
  // it would rest 25 (2, 3, 1) or 35 (3, 1, 2).
  TimeTable table = lstest::MakeTable({
      {1, 1, 2, 6.0, 8.0},
      {2, 2, 3, 9.0, 12.0},
      {3, 3, 1, 23.0, 2.0},
      {4, 7, 8, 10.0, 11.0},  // rest 23
  });
  BGraph graph;
  lstest::BuildGraph(table, graph);
  std::mt19937_64 engine(1);
  Trajectory trajectory(graph, engine);
  ASSERT_TRUE(HasCycle(trajectory.Mate()));
  ChainCounter counter(graph, table);
  const std::vector<std::pair<double, Counts>> expected{
      {24.0, {1, 1}}, {26.0, {1, 1}}, {28.0, {1, 1}}, {28.5, {1, 0}}, {30.0, {1, 0}}};
  for (const auto& [threshold, counts] : expected) {
    Counts fast;
    EXPECT_EQ(counter.Count(trajectory.Mate(), threshold, fast.balanced, fast.rest), 2)
        << "the cycle is one chain";
    EXPECT_EQ(fast, counts) << "threshold " << threshold;
    Counts slow;
    GetPerformance(graph, table, trajectory, threshold, slow.balanced, slow.rest);
    EXPECT_EQ(slow, counts) << "threshold " << threshold;
  }
}

TEST(ChainCounter, DuplicatePassageNumbersCountLikeTheDecompositionRoute) {
  // Two passages numbered 5 give a pair (5, 5): the later one may follow
  // itself, a one-passage cycle.
  TimeTable table = lstest::MakeTable({
      {5, 1, 2, 6.0, 7.0},
      {5, 2, 2, 8.0, 9.0},
      {6, 2, 1, 10.0, 11.0},
  });
  BGraph graph;
  lstest::BuildGraph(table, graph);
  ChainCounter counter(graph, table);
  std::mt19937_64 engine(2);
  Trajectory trajectory(graph, engine);
  for (int k = 0; k < 30; ++k) {
    trajectory.TransformMaxMatching();
    Counts slow;
    Counts fast;
    GetPerformance(graph, table, trajectory, 11.0, slow.balanced, slow.rest);
    counter.Count(trajectory.Mate(), 11.0, fast.balanced, fast.rest);
    ASSERT_EQ(fast, slow);
  }
}
