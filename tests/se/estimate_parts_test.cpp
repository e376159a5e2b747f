// The day's estimate made of parts on small random days: the mean of many
// repetitions lies within four standard errors of the exact count, with
// each option alone and both together; with a budget that enumerates every
// part the product is the count itself; and the results do not depend on
// how the parts are shared among threads and processes.

#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "exact/ExactCount.h"
#include "parallel/WorkerPool.h"
#include "se/EstimateParts.h"
#include "se/PartsSummary.h"
#include "se_test_support.h"

namespace {

// Random passages over a few terminals, and with `boards` also that many
// larger boards of their own; every passage number once.
std::vector<Passage> RandomDay(std::mt19937& rng, int passages, int boards = 0) {
  std::vector<Passage> day = setest::RandomPassages(rng, passages);
  for (int b = 0; b < boards; ++b) {
    const std::vector<Passage> board =
        setest::RandomBoard(rng, 4 + b % 3, 5 - b % 2, static_cast<std::uint32_t>(10 + b));
    day.insert(day.end(), board.begin(), board.end());
  }
  for (std::size_t k = 0; k < day.size(); ++k) day[k].id = static_cast<std::uint32_t>(100 + k);
  return day;
}

std::vector<parts::PartResult> RunAll(const setest::Instance& instance,
                                      const parts::Settings& settings, std::uint32_t seed,
                                      parallel::WorkerPool* workers = nullptr) {
  const parts::PartPlan plan(instance.graph, settings.split);
  const std::vector<std::uint32_t> share = parts::ShareOf(plan, 0, 1);
  std::vector<parts::PartResult> ran = parts::RunShare(
      instance.graph, &instance.table.passages, plan, settings, share, seed, workers,
      [] { return 0.0; }, nullptr);
  return parts::PoolParts({parts::PackParts(ran)}, plan.Count());
}

}  // namespace

TEST(EstimateParts, MeanStaysWithinFourStandardErrorsOfTheCount) {
  std::mt19937 rng(17);
  int days = 0;
  while (days < 4) {
    const setest::Instance instance = setest::BuildInstance(RandomDay(rng, 8, 3));
    const exact::ExactCount truth = exact::CountMinimumDecompositions(instance.table);
    ASSERT_TRUE(truth.available);
    if (truth.count < 1000) continue;  // too easy to tell anything
    ++days;
    const double count = truth.count.get_d();
    for (const auto& [split, importance] :
         {std::pair{parts::Split::Boards, parts::Importance::Uniform},
          std::pair{parts::Split::None, parts::Importance::Sinkhorn},
          std::pair{parts::Split::Boards, parts::Importance::Sinkhorn}}) {
      for (const unsigned int budget : {1u, 3u}) {
        parts::Settings settings;
        settings.split = split;
        settings.importance = importance;
        settings.budget = budget;
        settings.repetitions = 1000;
        const parts::DaySummary summary =
            parts::Summarize(RunAll(instance, settings, 40 + days), settings.repetitions);
        const double mean = summary.mean.ToDouble();
        const double standardError = summary.relativeError.ToDouble() * mean;
        SCOPED_TRACE(testing::Message() << "day " << days << " split " << SplitName(split)
                                        << " importance " << ImportanceName(importance)
                                        << " B " << budget);
        EXPECT_LE(std::fabs(mean - count), 4 * standardError + 1e-9 * count)
            << "mean " << mean << ", count " << count << ", standard error " << standardError;
        EXPECT_NEAR(summary.log10Estimate, std::log10(mean), 1e-12);
      }
    }
  }
}

TEST(EstimateParts, EnumeratedPartsMultiplyToTheCount) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 30; ++trial) {
    const setest::Instance instance = setest::BuildInstance(RandomDay(rng, 3 + trial % 10));
    const exact::ExactCount truth = exact::CountMinimumDecompositions(instance.table);
    ASSERT_TRUE(truth.available);
    parts::Settings settings;
    settings.split = parts::Split::Boards;
    settings.importance = trial % 2 ? parts::Importance::Sinkhorn : parts::Importance::Uniform;
    settings.budget = 100000;
    settings.repetitions = 3;
    const parts::DaySummary summary =
        parts::Summarize(RunAll(instance, settings, 1), settings.repetitions);
    EXPECT_TRUE(summary.fullyEnumerated);
    EXPECT_EQ(summary.componentsExact, summary.components);
    EXPECT_EQ(summary.mean.ToDouble(), truth.count.get_d()) << "trial " << trial;
    EXPECT_EQ(summary.relativeError.ToDouble(), 0.0);
  }
}

TEST(EstimateParts, ResultsAreTheSameForAnySharing) {
  std::mt19937 rng(23);
  const setest::Instance instance = setest::BuildInstance(RandomDay(rng, 40));
  parts::Settings settings;
  settings.split = parts::Split::Boards;
  settings.importance = parts::Importance::Sinkhorn;
  settings.budget = 2;
  settings.repetitions = 5;
  const std::vector<parts::PartResult> alone = RunAll(instance, settings, 9);
  parallel::WorkerPool three(3);
  const std::vector<parts::PartResult> threaded = RunAll(instance, settings, 9, &three);
  // Two processes: each runs its share, the leader pools both messages.
  const parts::PartPlan plan(instance.graph, settings.split);
  std::vector<std::vector<std::uint64_t>> messages;
  for (unsigned int rank = 0; rank < 2; ++rank)
    messages.push_back(parts::PackParts(
        parts::RunShare(instance.graph, &instance.table.passages, plan, settings,
                        parts::ShareOf(plan, rank, 2), 9, nullptr, [] { return 0.0; }, nullptr)));
  const std::vector<parts::PartResult> pooled = parts::PoolParts(messages, plan.Count());
  ASSERT_GT(alone.size(), 2u);
  for (const std::vector<parts::PartResult>* other : {&threaded, &pooled}) {
    ASSERT_EQ(other->size(), alone.size());
    for (std::size_t p = 0; p < alone.size(); ++p) {
      EXPECT_EQ((*other)[p].exact, alone[p].exact);
      EXPECT_EQ((*other)[p].final, alone[p].final);
      ASSERT_EQ((*other)[p].estimates.size(), alone[p].estimates.size());
      for (std::size_t r = 0; r < alone[p].estimates.size(); ++r)
        EXPECT_EQ((*other)[p].estimates[r], alone[p].estimates[r]);
    }
  }
}

TEST(EstimateParts, MemoryNeedsFromTheBoardsMatchTheGraphsComponents) {
  std::mt19937 rng(29);
  for (int trial = 0; trial < 20; ++trial) {
    const setest::Instance instance = setest::BuildInstance(RandomDay(rng, 10, 2));
    const parts::PartPlan plan(instance.graph, parts::Split::Boards);
    parts::ComponentSize fromGraph;
    for (const parts::ComponentSize& size : parts::ComponentSizes(plan)) {
      fromGraph.vertices += size.vertices;
      fromGraph.entries += size.entries;
    }
    const std::vector<parts::ComponentSize> boards = parts::BoardSizes(instance.table.passages);
    parts::ComponentSize fromBoards;
    for (const parts::ComponentSize& size : boards) {
      fromBoards.vertices += size.vertices;
      fromBoards.entries += size.entries;
      // A board of r rows and c columns has at most r * c cells.
      EXPECT_LE(size.entries, size.vertices * size.vertices / 2);
    }
    EXPECT_EQ(fromBoards.vertices, fromGraph.vertices);
    EXPECT_EQ(fromBoards.entries, fromGraph.entries);
    parts::Settings settings;
    settings.split = parts::Split::Boards;
    settings.importance = parts::Importance::Sinkhorn;
    settings.repetitions = 10;
    const std::size_t one = parts::EstimatorMemoryBytes(boards, settings, 1);
    EXPECT_LE(one, parts::EstimatorMemoryBytes(boards, settings, 2));
    settings.budget = 100;
    EXPECT_LT(one, parts::EstimatorMemoryBytes(boards, settings, 1));
  }
}
