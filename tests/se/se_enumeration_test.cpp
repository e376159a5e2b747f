// The estimator against brute force on many small random timetables: with a
// budget that covers every maximum matching a run is exact, and with budget
// one the estimates average out to the true count.

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "bipartite/DecompositionVerifier.h"
#include "numeric/Statistics.h"
#include "se/SE.h"
#include "se_test_support.h"

namespace {

using Decomposition = BGraph::Decomposition;

struct Truth {
  std::size_t maxMatching = 0;
  std::set<Decomposition> decompositions;
  std::size_t count = 0;
};

Truth BruteForce(const setest::Instance& instance) {
  const int n = static_cast<int>(instance.table.passages.size());
  setest::MatchingEnumerator enumerator(n, setest::SplitEdges(instance.table, instance.poset));
  std::vector<BGraph::Matching> matchings = enumerator.MaximumMatchings();
  Truth truth;
  truth.maxMatching = enumerator.MaximumSize();
  truth.count = matchings.size();
  for (BGraph::Matching& matching : matchings)
    truth.decompositions.insert(instance.graph.GetDillworthDecompositionFromMatching(matching));
  return truth;
}

// Both engines, the literal node-copying one and the compact one, under
// both vertex orders: the estimator is unbiased under any fixed order rule.
class Enumeration : public testing::TestWithParam<std::tuple<bool, VertexOrder>> {
 protected:
  void Configure(SE& se) const {
    se.engineKind = std::get<0>(GetParam()) ? EngineKind::Fast : EngineKind::Literal;
    se.vertexOrder = std::get<1>(GetParam());
  }
};

}  // namespace

TEST_P(Enumeration, BudgetCoveringAllMatchingsIsExact) {
  std::mt19937 rng(2024);
  std::mt19937_64 engine(99);
  int nonTrivial = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const int passages = 1 + trial % 6;
    const setest::Instance instance = setest::BuildInstance(setest::RandomPassages(rng, passages));
    const Truth truth = BruteForce(instance);
    if (truth.count > 1) ++nonTrivial;
    // Distinct maximum matchings give distinct decompositions.
    ASSERT_EQ(truth.decompositions.size(), truth.count) << "trial " << trial;

    for (unsigned int budget : {static_cast<unsigned int>(truth.count),
                                static_cast<unsigned int>(truth.count + 3)}) {
      SE se(instance.graph, budget, 2, engine);
      Configure(se);
      bool exact = false;
      std::vector<WideDouble> wide;
      const SE::DecompositionList found = se.RunSE(exact, wide);
      const std::vector<double> estimates = ToDoubles(wide);
      SCOPED_TRACE("trial " + std::to_string(trial) + ", budget " + std::to_string(budget));
      EXPECT_TRUE(exact);
      EXPECT_EQ(estimates, std::vector<double>(2, static_cast<double>(truth.count)));
      ASSERT_EQ(found.size(), truth.count);
      EXPECT_EQ(std::set<Decomposition>(found.begin(), found.end()), truth.decompositions);
      for (const Decomposition& decomposition : found)
        EXPECT_EQ(VerifyDecomposition(instance.table, decomposition, kAnyClosedRotations), "");
    }
  }
  EXPECT_GE(nonTrivial, 15);  // the sample must exercise real branching
}

TEST_P(Enumeration, BudgetBelowTheCountIsNotExact) {
  std::mt19937 rng(7);
  std::mt19937_64 engine(8);
  for (int trial = 0; trial < 10; ++trial) {
    const setest::Instance instance = setest::BuildInstance(setest::RandomPassages(rng, 5));
    const Truth truth = BruteForce(instance);
    if (truth.count < 2) continue;
    SE se(instance.graph, static_cast<unsigned int>(truth.count - 1), 3, engine);
    Configure(se);
    bool exact = true;
    std::vector<WideDouble> estimates;
    const SE::DecompositionList found = se.RunSE(exact, estimates);
    EXPECT_FALSE(exact);
    EXPECT_LE(found.size(), truth.count - 1);
    for (const Decomposition& decomposition : found)
      EXPECT_TRUE(truth.decompositions.count(decomposition));
  }
}

TEST_P(Enumeration, BudgetOneIsUnbiased) {
  std::mt19937 rng(31);
  std::mt19937_64 engine(5);
  int checked = 0;
  while (checked < 3) {
    const setest::Instance instance = setest::BuildInstance(setest::RandomPassages(rng, 5));
    const Truth truth = BruteForce(instance);
    if (truth.count < 3) continue;
    ++checked;
    const unsigned int runs = 1500;
    SE se(instance.graph, 1, runs, engine);
    Configure(se);
    bool exact = true;
    std::vector<WideDouble> wide;
    se.RunSE(exact, wide);
    const std::vector<double> estimates = ToDoubles(wide);
    ASSERT_EQ(estimates.size(), runs);
    const double mean = Mean(estimates);
    const double standardError = Std(estimates) / std::sqrt(static_cast<double>(runs));
    // Five standard errors, plus a floor for the case of little spread.
    EXPECT_NEAR(mean, static_cast<double>(truth.count), 5 * standardError + 0.05 * truth.count)
        << "true count " << truth.count;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EnginesAndOrders, Enumeration,
    testing::Combine(testing::Values(false, true),
                     testing::Values(VertexOrder::Random, VertexOrder::Degree)),
    [](const testing::TestParamInfo<std::tuple<bool, VertexOrder>>& info) {
      return std::string(std::get<0>(info.param) ? "Compact" : "Literal") +
             (std::get<1>(info.param) == VertexOrder::Degree ? "Degree" : "Random");
    });
