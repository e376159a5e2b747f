// Threads, streams, words and ranks: every loop item runs once, pieces keep
// the loop's order, failures reach the caller, streams are the documented
// ones, words carry values bit for bit, and a failing follower's error is
// shown.

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "parallel/Ranks.h"
#include "parallel/Streams.h"
#include "parallel/Words.h"
#include "parallel/WorkerPool.h"

TEST(WorkerPool, EveryItemRunsOnceAndPiecesReadInOrderAreTheLoop) {
  // More workers than cores too: the pool must not depend on spinning.
  for (unsigned int workers : {1u, 2u, 3u, 7u}) {
    parallel::WorkerPool pool(workers);
    for (std::size_t count : {0u, 1u, 5u, 64u, 1001u}) {
      SCOPED_TRACE(std::to_string(workers) + " workers, " + std::to_string(count) + " items");
      std::vector<std::atomic<int>> runs(count);
      pool.Each(count, [&](std::size_t index, unsigned int worker) {
        ASSERT_LT(worker, workers);
        ++runs[index];
      });
      for (std::size_t k = 0; k < count; ++k) EXPECT_EQ(runs[k].load(), 1) << "item " << k;

      std::vector<std::vector<std::size_t>> pieces(pool.PieceCount(count));
      pool.Pieces(count, [&](std::size_t piece, std::size_t begin, std::size_t end, unsigned int) {
        for (std::size_t k = begin; k < end; ++k) pieces[piece].push_back(k);
      });
      std::vector<std::size_t> joined;
      for (const auto& piece : pieces) joined.insert(joined.end(), piece.begin(), piece.end());
      std::vector<std::size_t> loop(count);
      std::iota(loop.begin(), loop.end(), 0);
      EXPECT_EQ(joined, loop);
    }
  }
}

TEST(WorkerPool, AFailureReachesTheCallerAndThePoolGoesOn) {
  parallel::WorkerPool pool(3);
  EXPECT_THROW(pool.Each(100,
                         [](std::size_t index, unsigned int) {
                           if (index == 37) throw std::runtime_error("item 37");
                         }),
               std::runtime_error);
  std::atomic<std::size_t> sum{0};
  pool.Each(100, [&](std::size_t index, unsigned int) { sum += index; });
  EXPECT_EQ(sum.load(), 4950u);
}

TEST(Streams, DerivationIsTheDocumentedSeedSequence) {
  // Fixed values: a change of derivation changes every repetition stream.
  std::mt19937_64 first = parallel::MakeStream(1, 0);
  std::mt19937_64 other = parallel::MakeStream(1, 1);
  std::seed_seq sequence{1u, 0u};
  std::mt19937_64 documented(sequence);
  EXPECT_TRUE(first == documented);
  EXPECT_EQ(parallel::MakeStream(1, 0)(), 729634373403826472u);
  EXPECT_EQ(parallel::MakeStream(42, 7)(), 11680454579752954357u);
  EXPECT_NE(first(), other());
  parallel::StreamKind kind;
  EXPECT_TRUE(parallel::ParseStreamKind("repetition", kind));
  EXPECT_EQ(parallel::StreamKindName(kind), "repetition");
  EXPECT_FALSE(parallel::ParseStreamKind("Repetition", kind));
}

TEST(Words, CarryValuesBitForBit) {
  const double doubles[] = {0.0, -0.0, 1.0 / 3.0, std::numeric_limits<double>::infinity(),
                            std::numeric_limits<double>::quiet_NaN(), 4.9e-324};
  parallel::WordWriter out;
  for (double value : doubles) out.PutDouble(value);
  out.PutSigned(-5);
  out.PutRange(std::vector<int>{3, -1, 0});
  parallel::WordReader in(out.Words());
  for (double value : doubles) {
    const double back = in.GetDouble();
    EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0);
  }
  EXPECT_EQ(in.GetSigned(), -5);
  EXPECT_EQ(in.GetRange<int>(), (std::vector<int>{3, -1, 0}));
  EXPECT_TRUE(in.AtEnd());
  EXPECT_THROW(in.Get(), std::out_of_range);
}

TEST(Ranks, WithoutALauncherThereIsOneRankThatRunsEverything) {
  if (parallel::LaunchedByMpi()) GTEST_SKIP() << "started by an MPI launcher";
  int argc = 1;
  char name[] = "test";
  char* args[] = {name, nullptr};
  char** argv = args;
  parallel::Ranks ranks(argc, argv);
  EXPECT_TRUE(ranks.IsLeader());
  EXPECT_EQ(ranks.Size(), 1u);
  EXPECT_EQ(ranks.Share(4), (std::vector<unsigned int>{0, 1, 2, 3}));
  EXPECT_EQ(ranks.Broadcast(17u), 17u);
  const std::vector<std::vector<std::uint64_t>> all = ranks.Gather({1, 2});
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all.front(), (std::vector<std::uint64_t>{1, 2}));
}

TEST(FollowerOutput, HeldBackAndShownOnlyWhenTheFollowerFails) {
  for (const int status : {0, 1}) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    {
      parallel::FollowerOutput output(false, 3);
      std::cout << "Running SE with B=1 and N=1\nNo input timetable was specified" << std::endl;
      EXPECT_EQ(output.Finish(status), status);
    }
    std::cout << "after" << std::endl;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "after\n");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              status == 0 ? "" : "rank 3: No input timetable was specified\n");
  }
  testing::internal::CaptureStdout();
  {
    parallel::FollowerOutput leader(true, 0);
    std::cout << "printed" << std::endl;
    leader.Finish(1);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "printed\n");
}
