// Threads and repetition streams change where the estimator's work runs,
// never its results: runs on a pool equal runs on one thread draw for draw,
// and repetition streams pooled from any split equal one serial pass.

#include <chrono>
#include <cstring>
#include <random>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "parallel/LoopGauge.h"
#include "parallel/Streams.h"
#include "parallel/WorkerPool.h"
#include "se/PooledRepetitions.h"
#include "se/SE.h"
#include "se_test_support.h"

namespace {

bool SameBits(const WideDouble& a, const WideDouble& b) {
  const double sa = a.Significand(), sb = b.Significand();
  return std::memcmp(&sa, &sb, sizeof sa) == 0 && a.Exponent() == b.Exponent();
}

struct Pass {
  std::vector<WideDouble> estimates;
  bool exact = false;
  SE::DecompositionList decompositions;
  std::mt19937_64 engineAfter;
};

Pass RunOnce(const BGraph& graph, unsigned int budget, std::uint64_t seed,
             parallel::WorkerPool* pool) {
  std::mt19937_64 engine(seed);
  SE se(graph, budget, 2, engine);
  se.workers = pool;
  Pass pass;
  pass.decompositions = se.RunSE(pass.exact, pass.estimates);
  pass.engineAfter = engine;
  return pass;
}

// Repetitions 0..n-1 split round robin into `parts` shares, each run as a
// process of an MPI run would, then pooled.
PooledRepetitions RunShares(const BGraph& graph, unsigned int budget, unsigned int repetitions,
                            std::uint32_t seed, unsigned int parts, parallel::WorkerPool* pool) {
  std::vector<std::vector<std::uint64_t>> messages;
  const auto start = std::chrono::steady_clock::now();
  for (unsigned int part = 0; part < parts; ++part) {
    std::vector<unsigned int> share;
    for (unsigned int r = part; r < repetitions; r += parts) share.push_back(r);
    std::mt19937_64 unused(0);
    SE se(graph, budget, repetitions, unused);
    se.workers = pool;
    SE::DecompositionList last;
    const std::vector<SE::Repetition> ran = se.RunStreams(share, seed, start, last);
    const bool hasLast = !share.empty() && share.back() + 1 == repetitions;
    messages.push_back(PackRepetitions(ran, hasLast ? &last : nullptr));
  }
  return PoolRepetitions(messages, repetitions);
}

}  // namespace

TEST(SeWorkers, LevelsOnAPoolGiveTheSameRunsAsOneThread) {
  std::mt19937 rng(8);
  parallel::WorkerPool two(2), three(3);
  // Every second instance shares every loop, however little work it has;
  // the others share only loops that pay, as runs do.
  struct ShareFrom {
    ~ShareFrom() { parallel::LoopGauge::ShareFrom(parallel::LoopGauge::kSharedFrom); }
  } restore;
  for (int instance = 0; instance < 12; ++instance) {
    parallel::LoopGauge::ShareFrom(instance % 2 == 0 ? std::chrono::nanoseconds(0)
                                                      : parallel::LoopGauge::kSharedFrom);
    const setest::Instance built = setest::BuildInstance(setest::RandomPassages(rng, 14 + instance));
    for (unsigned int budget : {1u, 9u, 40u}) {
      const std::uint64_t seed = rng();
      SCOPED_TRACE("instance " + std::to_string(instance) + ", budget " + std::to_string(budget));
      const Pass alone = RunOnce(built.graph, budget, seed, nullptr);
      for (parallel::WorkerPool* pool : {&two, &three}) {
        const Pass shared = RunOnce(built.graph, budget, seed, pool);
        ASSERT_EQ(alone.estimates.size(), shared.estimates.size());
        for (std::size_t k = 0; k < alone.estimates.size(); ++k)
          EXPECT_TRUE(SameBits(alone.estimates[k], shared.estimates[k]));
        EXPECT_EQ(alone.exact, shared.exact);
        EXPECT_EQ(alone.decompositions, shared.decompositions);
        EXPECT_TRUE(alone.engineAfter == shared.engineAfter) << "different draws";
      }
    }
  }
}

TEST(SeWorkers, RepetitionStreamsPoolTheSameFromAnySplit) {
  std::mt19937 rng(9);
  parallel::WorkerPool three(3);
  for (int instance = 0; instance < 6; ++instance) {
    const setest::Instance built = setest::BuildInstance(setest::RandomPassages(rng, 16 + instance));
    const std::uint32_t seed = rng();
    const unsigned int repetitions = 7;
    const PooledRepetitions serial = RunShares(built.graph, 4, repetitions, seed, 1, nullptr);
    // Repetition r is the run of the single-stream estimator on r's stream.
    for (unsigned int r = 0; r < repetitions; r += 3) {
      std::mt19937_64 stream = parallel::MakeStream(seed, r);
      SE se(built.graph, 4, 1, stream);
      bool exact = false;
      std::vector<WideDouble> estimates;
      const SE::DecompositionList decompositions = se.RunSE(exact, estimates);
      EXPECT_TRUE(SameBits(estimates.front(), serial.estimates[r])) << "repetition " << r;
      EXPECT_EQ(exact, serial.fullyEnumerated[r]);
      if (r + 1 == repetitions) {
        EXPECT_EQ(decompositions, serial.last);
      }
    }
    for (unsigned int parts : {2u, 3u, 9u}) {
      const PooledRepetitions split =
          RunShares(built.graph, 4, repetitions, seed, parts, parts == 3 ? &three : nullptr);
      for (unsigned int r = 0; r < repetitions; ++r) {
        EXPECT_TRUE(SameBits(serial.estimates[r], split.estimates[r])) << parts << " parts";
        EXPECT_EQ(serial.fullyEnumerated[r], split.fullyEnumerated[r]);
      }
      EXPECT_EQ(serial.last, split.last);
    }
  }
}

TEST(SeWorkers, PoolingRefusesMissingOrRepeatedRepetitions) {
  SE::Repetition one;
  one.index = 1;
  one.estimate = WideDouble::FromParts(0.75, 5000);
  const SE::DecompositionList last = {{{1, 2}, {3}}};
  const std::vector<std::uint64_t> words = PackRepetitions({one}, &last);
  EXPECT_THROW(PoolRepetitions({words}, 2), std::runtime_error);         // 0 missing
  EXPECT_THROW(PoolRepetitions({words, words}, 2), std::runtime_error);  // 1 twice
  SE::Repetition zero;
  const PooledRepetitions pooled = PoolRepetitions({PackRepetitions({zero}, nullptr), words}, 2);
  EXPECT_TRUE(SameBits(pooled.estimates[1], one.estimate));
  EXPECT_EQ(pooled.last, last);
}
