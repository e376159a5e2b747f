#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>

#include "se/FastEngine.h"
#include "se/SE.h"
#include "se_test_support.h"

namespace {

struct RunResult {
  bool exact = false;
  std::vector<double> estimates;
  SE::DecompositionList decompositions;
  std::mt19937_64 engineAfter;
};

RunResult Run(const BGraph& graph, unsigned int budget, unsigned int repetitions,
              std::uint64_t seed, bool fastEngine, VertexOrder order = VertexOrder::Random,
              bool startFromEdmonds = false) {
  std::mt19937_64 engine(seed);
  SE se(graph, budget, repetitions, engine);
  se.engineKind = fastEngine ? EngineKind::Fast : EngineKind::Literal;
  se.vertexOrder = order;
  if (startFromEdmonds) se.startMatching = graph.GetMaxMatching();
  RunResult result;
  std::vector<WideDouble> estimates;
  result.decompositions = se.RunSE(result.exact, estimates);
  result.estimates = ToDoubles(estimates);
  result.engineAfter = engine;
  return result;
}

RunResult RunFast(const BGraph& graph, unsigned int budget, std::uint64_t seed) {
  return Run(graph, budget, 1, seed, true);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The fast engine starts from its own maximum matching, or from Edmonds'
// as Quorlin gives it: the runs must not depend on which.
void ExpectSameRuns(const BGraph& graph, unsigned int budget, std::uint64_t seed,
                    unsigned int repetitions = 2, VertexOrder order = VertexOrder::Random,
                    bool startFromEdmonds = false) {
  const RunResult literal = Run(graph, budget, repetitions, seed, false, order);
  const RunResult fast = Run(graph, budget, repetitions, seed, true, order, startFromEdmonds);
  SCOPED_TRACE("budget " + std::to_string(budget) + ", seed " + std::to_string(seed));
  ASSERT_EQ(literal.estimates.size(), fast.estimates.size());
  for (std::size_t k = 0; k < literal.estimates.size(); ++k)
    EXPECT_TRUE(SameBits(literal.estimates[k], fast.estimates[k]))
        << "run " << k << ": " << literal.estimates[k] << " vs " << fast.estimates[k];
  EXPECT_EQ(literal.exact, fast.exact);
  EXPECT_EQ(literal.decompositions, fast.decompositions);
  EXPECT_TRUE(literal.engineAfter == fast.engineAfter) << "different random draws";
}

}  // namespace

TEST(FastEngine, ShufflingHandlesPermutesLikeShufflingNodes) {
  for (std::size_t length : {0u, 1u, 2u, 7u, 100u, 5000u}) {
    std::vector<std::string> heavy;
    std::vector<std::uint32_t> handles;
    for (std::size_t k = 0; k < length; ++k) {
      heavy.push_back(std::string(40, 'a') + std::to_string(k));
      handles.push_back(static_cast<std::uint32_t>(k));
    }
    std::mt19937_64 first(length + 3);
    std::mt19937_64 second(length + 3);
    std::shuffle(heavy.begin(), heavy.end(), first);
    std::shuffle(handles.begin(), handles.end(), second);
    for (std::size_t k = 0; k < length; ++k)
      ASSERT_EQ(heavy[k], std::string(40, 'a') + std::to_string(handles[k]));
    EXPECT_TRUE(first == second);
  }
}

TEST(FastEngine, SameRunsAsLiteralEngineOnRandomTimetables) {
  std::mt19937 rng(424242);
  const unsigned int budgets[] = {1, 2, 3, 5, 8, 100000};
  for (int instance = 0; instance < 200; ++instance) {
    const setest::Instance built =
        setest::BuildInstance(setest::RandomPassages(rng, 1 + instance % 9));
    SCOPED_TRACE("instance " + std::to_string(instance));
    const VertexOrder order = instance % 2 == 0 ? VertexOrder::Random : VertexOrder::Degree;
    for (unsigned int budget : budgets)
      ExpectSameRuns(built.graph, budget, rng(), 2, order, budget % 2 == 1);
    if (HasFailure()) return;
  }
}

TEST(FastEngine, SameRunsOnDenseBoardsWithLargerBudgets) {
  // One terminal, many equal times: dense boards with many maximum
  // matchings, where levels outnumber the budget often.
  std::mt19937 rng(5);
  for (int instance = 0; instance < 12; ++instance) {
    std::vector<Passage> passages;
    for (std::uint32_t k = 0; k < 7; ++k)
      passages.push_back(Passage{k + 1, 1 + k % 2, 1 + (k / 2) % 2,
                                 static_cast<double>(rng() % 3), static_cast<double>(rng() % 3)});
    const setest::Instance built = setest::BuildInstance(passages);
    for (unsigned int budget : {1u, 4u, 16u, 64u}) ExpectSameRuns(built.graph, budget, rng());
  }
}

TEST(FastEngine, SameRunsOnLargerTimetablesWhereDecidedVerticesAreDropped) {
  // Every 16 levels (on graphs this small) the fast engine drops the decided
  // vertices from the graph its searches walk; runs must not notice.
  std::mt19937 rng(31);
  for (int instance = 0; instance < 4; ++instance) {
    const setest::Instance built =
        setest::BuildInstance(setest::RandomPassages(rng, 33 + instance));
    for (unsigned int budget : {1u, 3u})
      ExpectSameRuns(built.graph, budget, rng(), 1, VertexOrder::Degree, budget == 3);
  }
}

TEST(FastEngine, EdgeCasesAgreeWithLiteralEngine) {
  ExpectSameRuns(BGraph(), 1, 1);                               // no vertex at all
  ExpectSameRuns(setest::GraphFromPairs(2, {{1, 2}}), 3, 9, 0);  // no repetition
  ExpectSameRuns(setest::GraphFromPairs(3, {}), 2, 2);          // no edge
  ExpectSameRuns(setest::GraphFromPairs(2, {{1, 2}}), 1, 3);    // one edge
  ExpectSameRuns(setest::GraphFromPairs(3, {{1, 2}, {2, 3}, {1, 3}}), 0, 4);  // budget 0

  const RunResult empty = RunFast(BGraph(), 1, 1);
  ASSERT_EQ(empty.estimates.size(), 1u);
  EXPECT_EQ(empty.estimates[0], 1.0);
  EXPECT_TRUE(empty.exact);
  ASSERT_EQ(empty.decompositions.size(), 1u);
  EXPECT_TRUE(empty.decompositions[0].empty());

  const RunResult zeroBudget = RunFast(setest::GraphFromPairs(3, {{1, 2}, {2, 3}}), 0, 4);
  ASSERT_EQ(zeroBudget.estimates.size(), 1u);
  EXPECT_TRUE(std::isnan(zeroBudget.estimates[0]));
  EXPECT_FALSE(zeroBudget.exact);
  EXPECT_TRUE(zeroBudget.decompositions.empty());
}

TEST(FastEngine, ExactBudgetCountsEveryMaximumMatching) {
  std::mt19937 rng(77);
  for (int instance = 0; instance < 40; ++instance) {
    const setest::Instance built = setest::BuildInstance(setest::RandomPassages(rng, 7));
    setest::MatchingEnumerator enumerator(static_cast<int>(built.table.passages.size()),
                                          setest::SplitEdges(built.table, built.poset));
    const std::size_t count = enumerator.MaximumMatchings().size();
    const RunResult run = RunFast(built.graph, 1000000, rng());
    EXPECT_TRUE(run.exact);
    EXPECT_EQ(run.estimates, std::vector<double>{static_cast<double>(count)});
    EXPECT_EQ(run.decompositions.size(), count);
  }
}

TEST(FastEngine, RefusesWhatItCannotRunWithAReason) {
  const BGraph graph = setest::GraphFromPairs(3, {{1, 2}, {2, 3}});
  const FastEngine fast(graph);
  EXPECT_EQ(fast.MaxCardinality(), 2u);
  EXPECT_EQ(fast.Refusal(2), "");
  EXPECT_NE(fast.Refusal(1).find("size 1"), std::string::npos) << fast.Refusal(1);

  BGraph triangle;
  triangle.AddEdge(0, 1);
  triangle.AddEdge(1, 2);
  triangle.AddEdge(2, 0);
  EXPECT_NE(FastEngine(triangle).Refusal(triangle.GetCardinalityOfMaxMatching()).find("bipartite"),
            std::string::npos);

  // The estimator stops with the reason instead of running another engine.
  std::mt19937_64 engine(3);
  SE se(triangle, 2, 1, engine);
  bool exact = false;
  std::vector<WideDouble> estimates;
  try {
    se.RunSE(exact, estimates);
    ADD_FAILURE() << "the fast engine ran a graph that is not bipartite";
  } catch (const std::invalid_argument& refusal) {
    EXPECT_NE(std::string(refusal.what()).find("fast engine cannot make this run"),
              std::string::npos)
        << refusal.what();
  }
  se.engineKind = EngineKind::Literal;
  se.RunSE(exact, estimates);
  EXPECT_EQ(estimates.size(), 1u);
}

TEST(FastEngine, SingleRunsAgreeWithLiteralEngineOrAreRefused) {
  // At the graph's matching number (3) both engines give the same run; at
  // any other number only the literal engine runs, the fast one refuses.
  const BGraph graph = setest::GraphFromPairs(4, {{1, 2}, {2, 3}, {1, 3}, {3, 4}});
  for (unsigned int maxCardinality : {1u, 3u, 4u}) {
    std::mt19937_64 first(11);
    std::mt19937_64 second(11);
    SE literal(graph, 2, 1, first);
    literal.engineKind = EngineKind::Literal;
    SE fast(graph, 2, 1, second);
    bool literalExact = false;
    bool fastExact = true;
    WideDouble literalEstimate = 0.0;
    WideDouble fastEstimate = 1.0;
    const SE::DecompositionList expected =
        literal.RunSingleSE(literalExact, literalEstimate, maxCardinality);
    if (maxCardinality != 3) {
      EXPECT_THROW(fast.RunSingleSE(fastExact, fastEstimate, maxCardinality),
                   std::invalid_argument);
      continue;
    }
    EXPECT_EQ(fast.RunSingleSE(fastExact, fastEstimate, maxCardinality), expected);
    EXPECT_TRUE(SameBits(literalEstimate.ToDouble(), fastEstimate.ToDouble()));
    EXPECT_EQ(literalExact, fastExact);
  }
}
