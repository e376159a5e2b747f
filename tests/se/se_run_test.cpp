// Runs of the estimator: selection of the kept nodes, the flag, the
// estimates and the decompositions of the last level.

#include <algorithm>
#include <cmath>
#include <random>

#include <gtest/gtest.h>

#include "numeric/Statistics.h"
#include "se/SE.h"
#include "se_test_support.h"

namespace {

using Decomposition = BGraph::Decomposition;

std::vector<SeNode> NodesWithMarks(int count) {
  std::vector<SeNode> nodes(static_cast<std::size_t>(count));
  for (int k = 0; k < count; ++k) nodes[static_cast<std::size_t>(k)].matching = {{k, k}};
  return nodes;
}

std::vector<int> Marks(const std::vector<SeNode>& nodes) {
  std::vector<int> marks;
  for (const SeNode& node : nodes) marks.push_back(node.matching.at(0).first);
  return marks;
}

struct RunResult {
  bool exact = false;
  std::vector<double> estimates;
  SE::DecompositionList decompositions;
};

RunResult RunEstimator(const BGraph& graph, unsigned int budget, unsigned int repetitions,
                       std::uint64_t seed, bool fastEngine) {
  std::mt19937_64 engine(seed);
  SE se(graph, budget, repetitions, engine);
  se.engineKind = fastEngine ? EngineKind::Fast : EngineKind::Literal;
  RunResult result;
  result.exact = !result.exact;  // the run must overwrite it
  std::vector<WideDouble> estimates{42.0};  // and replace this
  result.decompositions = se.RunSE(result.exact, estimates);
  result.estimates = ToDoubles(estimates);
  return result;
}

// Runs go through either engine; both must behave the same.
class RunSE : public testing::TestWithParam<bool> {
 protected:
  RunResult Run(const BGraph& graph, unsigned int budget, unsigned int repetitions,
                std::uint64_t seed) const {
    return RunEstimator(graph, budget, repetitions, seed, GetParam());
  }
};

}  // namespace

TEST(Hyperchild, WithinBudgetNothingIsDrawnOrReordered) {
  std::mt19937_64 engine(3);
  const std::mt19937_64 before = engine;
  SE se(BGraph(), 5, 1, engine);
  EXPECT_EQ(Marks(se.SelectRandomHyperchild(NodesWithMarks(5))), (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_EQ(Marks(se.SelectRandomHyperchild(NodesWithMarks(2))), (std::vector<int>{0, 1}));
  EXPECT_TRUE(engine == before);
}

TEST(Hyperchild, OverBudgetKeepsTheHeadOfOneShuffle) {
  std::mt19937_64 engine(3);
  std::mt19937_64 twin = engine;
  SE se(BGraph(), 3, 1, engine);
  const std::vector<int> kept = Marks(se.SelectRandomHyperchild(NodesWithMarks(8)));
  std::vector<int> expected{0, 1, 2, 3, 4, 5, 6, 7};
  std::shuffle(expected.begin(), expected.end(), twin);
  expected.resize(3);
  EXPECT_EQ(kept, expected);
  EXPECT_TRUE(engine == twin);
}

TEST(Hyperchild, EveryNodeIsKeptWithEqualChance) {
  std::mt19937_64 engine(5);
  SE se(BGraph(), 2, 1, engine);
  std::vector<int> hits(6, 0);
  const int draws = 6000;
  for (int k = 0; k < draws; ++k)
    for (int mark : Marks(se.SelectRandomHyperchild(NodesWithMarks(6)))) ++hits[mark];
  // Each node is kept with probability 1/3: 2000 expected, sd about 37.
  for (int count : hits) EXPECT_NEAR(count, 2000, 250);
}

TEST_P(RunSE, NoRepetitionsGiveNothing) {
  const RunResult result = Run(setest::GraphFromPairs(2, {{1, 2}}), 3, 0, 1);
  EXPECT_FALSE(result.exact);
  EXPECT_TRUE(result.estimates.empty());
  EXPECT_TRUE(result.decompositions.empty());
}

TEST_P(RunSE, ZeroBudgetEmptiesTheFirstLevel) {
  const RunResult result = Run(setest::GraphFromPairs(3, {{1, 2}, {2, 3}}), 0, 3, 1);
  EXPECT_FALSE(result.exact);
  ASSERT_EQ(result.estimates.size(), 3u);
  for (double estimate : result.estimates) EXPECT_TRUE(std::isnan(estimate));
  EXPECT_TRUE(result.decompositions.empty());
}

TEST_P(RunSE, GraphWithoutEdgesHasOneDecomposition) {
  const RunResult result = Run(setest::GraphFromPairs(3, {}), 1, 4, 2);
  EXPECT_TRUE(result.exact);
  EXPECT_EQ(result.estimates, (std::vector<double>{1.0, 1.0, 1.0, 1.0}));
  EXPECT_EQ(result.decompositions, (SE::DecompositionList{{{1}, {2}, {3}}}));
}

TEST_P(RunSE, GraphWithoutVerticesHasTheEmptyDecomposition) {
  const RunResult result = Run(BGraph(), 1, 2, 2);
  EXPECT_TRUE(result.exact);
  EXPECT_EQ(result.estimates, (std::vector<double>{1.0, 1.0}));
  EXPECT_EQ(result.decompositions, (SE::DecompositionList{Decomposition{}}));
}

TEST_P(RunSE, OneEdgeGivesOneChainOfTwo) {
  for (unsigned int budget : {1u, 7u}) {
    const RunResult result = Run(setest::GraphFromPairs(2, {{1, 2}}), budget, 3, 9);
    EXPECT_TRUE(result.exact);
    EXPECT_EQ(result.estimates, (std::vector<double>{1.0, 1.0, 1.0}));
    EXPECT_EQ(result.decompositions, (SE::DecompositionList{{{1, 2}}}));
  }
}

TEST_P(RunSE, StarEstimatesWithBudgetOne) {
  // Passage 1 may precede 2, 3 and 4: three maximum matchings of one edge.
  const BGraph star = setest::GraphFromPairs(4, {{1, 2}, {1, 3}, {1, 4}});
  const RunResult result = Run(star, 1, 200, 4);
  EXPECT_FALSE(result.exact);
  ASSERT_EQ(result.decompositions.size(), 1u);
  // A path that decides a partner of 1 first has 2 successors there; the
  // possible products along a path are 3 (1 decided first), 2 * 2 = 4 and 2.
  for (double estimate : result.estimates)
    EXPECT_TRUE(estimate == 2.0 || estimate == 3.0 || estimate == 4.0) << estimate;
  EXPECT_NEAR(Mean(result.estimates), 3.0, 0.3);
}

TEST_P(RunSE, SameSeedSameRun) {
  std::mt19937 rng(21);
  const setest::Instance instance = setest::BuildInstance(setest::RandomPassages(rng, 6));
  const RunResult first = Run(instance.graph, 2, 5, 77);
  const RunResult second = Run(instance.graph, 2, 5, 77);
  EXPECT_EQ(first.exact, second.exact);
  EXPECT_EQ(first.estimates, second.estimates);
  EXPECT_EQ(first.decompositions, second.decompositions);
}

TEST(RunSEEngines, LiteralAndCompactEnginesGiveTheSameRuns) {
  std::mt19937 rng(41);
  for (int trial = 0; trial < 15; ++trial) {
    const setest::Instance instance = setest::BuildInstance(setest::RandomPassages(rng, 6));
    for (unsigned int budget : {1u, 2u, 5u}) {
      const RunResult literal = RunEstimator(instance.graph, budget, 3, 100 + trial, false);
      const RunResult compact = RunEstimator(instance.graph, budget, 3, 100 + trial, true);
      EXPECT_EQ(literal.exact, compact.exact);
      EXPECT_EQ(literal.estimates, compact.estimates);
      EXPECT_EQ(literal.decompositions, compact.decompositions);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, RunSE, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? "Compact" : "Literal";
                         });
