// Allocations that fail on a thread other than the caller's: a worker of a
// run's pool, or the second thread of a two-thread pass. The failure must
// reach the caller, and a run must end with its "out of memory while ..."
// line and status 1, never through std::terminate.
//
// This program replaces the global allocation functions: once armed, every
// allocation on a thread other than the arming one throws std::bad_alloc.

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <new>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "bipartite/FlatAdjacency.h"
#include "common/BesideThread.h"
#include "localsearch/ParvelRun.h"
#include "parallel/Ranks.h"
#include "parallel/UsableCpus.h"
#include "parallel/WorkerPool.h"
#include "se/QuorlinRun.h"

namespace {

std::atomic<bool> gArmed{false};
std::atomic<unsigned int> gFailures{0};
std::thread::id gCaller;

void* Allocate(std::size_t size) {
  if (gArmed.load(std::memory_order_acquire) && std::this_thread::get_id() != gCaller) {
    gFailures.fetch_add(1);
    throw std::bad_alloc();
  }
  if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
  throw std::bad_alloc();
}

// Arms the failures for its lifetime.
class OtherThreadsFail {
 public:
  OtherThreadsFail() {
    gFailures = 0;
    gCaller = std::this_thread::get_id();
    gArmed.store(true, std::memory_order_release);
  }
  ~OtherThreadsFail() { gArmed.store(false, std::memory_order_release); }
  OtherThreadsFail(const OtherThreadsFail&) = delete;
  OtherThreadsFail& operator=(const OtherThreadsFail&) = delete;
};

struct RunOutput {
  int status = -1;
  std::string out;
};

RunOutput RunInProcess(int (*run)(int, char**, const parallel::Ranks&),
                       std::vector<std::string> args) {
  args.insert(args.begin(), "program");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  int argc = static_cast<int>(argv.size());
  char** argvPointer = argv.data();
  parallel::Ranks ranks(argc, argvPointer);
  std::ostringstream out;
  std::ostringstream err;
  std::streambuf* const outBuffer = std::cout.rdbuf(out.rdbuf());
  std::streambuf* const errBuffer = std::cerr.rdbuf(err.rdbuf());
  RunOutput result;
  {
    OtherThreadsFail failing;
    result.status = run(argc, argvPointer, ranks);
  }
  std::cout.rdbuf(outBuffer);
  std::cerr.rdbuf(errBuffer);
  result.out = out.str();
  return result;
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

TEST(AllocationFailure, OnAnotherThreadReachesTheCaller) {
  if (parallel::UsableCpus() < 2 || std::thread::hardware_concurrency() < 2)
    GTEST_SKIP() << "one CPU: no second thread runs";
  {
    // Worker 0 (the caller) holds item 0 until a helper has taken item 1.
    parallel::WorkerPool pool(2);
    std::atomic<bool> helperTook{false};
    OtherThreadsFail failing;
    EXPECT_THROW(pool.Each(2,
                           [&](std::size_t, unsigned int worker) {
                             if (worker == 0) {
                               while (!helperTook.load()) std::this_thread::yield();
                               return;
                             }
                             helperTook = true;
                             std::vector<int> scratch(16);
                           }),
                 std::bad_alloc);
  }
  {
    OtherThreadsFail failing;
    EXPECT_THROW(RunBesideThread([] { std::vector<int> scratch(16); }, [] {}), std::bad_alloc);
  }
  // The caller's own failure waits for the other thread, then reaches the caller.
  bool besideRan = false;
  EXPECT_THROW(RunBesideThread([&] { besideRan = true; }, [] { throw std::bad_alloc(); }),
               std::bad_alloc);
  EXPECT_TRUE(besideRan);

  // A split graph large enough for the adjacency's two-thread pass.
  constexpr int kSide = 1 << 10;
  std::vector<std::pair<int, int>> edges;
  for (int left = 0; left < kSide; ++left)
    for (int right = 0; right < kSide; ++right) edges.emplace_back(left, kSide + right);
  OtherThreadsFail failing;
  EXPECT_THROW(FlatAdjacency::FromEdges(2 * kSide, edges), std::bad_alloc);
  EXPECT_GT(gFailures.load(), 0u);
}

TEST(AllocationFailure, OnAWorkerEndsTheRunWithItsLine) {
  if (parallel::WorkersToRun(2) < 2) GTEST_SKIP() << "one CPU: the runs start no worker";
  const std::string day = std::string(EXAMPLES_DIR) + "/day.csv";
  struct Case {
    int (*run)(int, char**, const parallel::Ranks&);
    std::vector<std::string> args;
    const char* line;
  };
  const Case cases[] = {
      {RunQuorlin,
       {"--timetable", day, "--N", "5000", "--seed", "1", "--threads", "2", "--streams",
        "repetition"},
       "out of memory while running the estimator\n"},
      {RunQuorlin, {"--timetable", day, "--N", "2000", "--B", "8", "--seed", "1", "--threads", "2"},
       "out of memory while running the estimator\n"},
      {RunParvel,
       {"--timetable", day, "--search", "exchange", "--restarts", "64", "--N", "200", "--seed", "1",
        "--threads", "2"},
       "out of memory while running the search\n"},
  };
  for (const Case& c : cases) {
    const RunOutput result = RunInProcess(c.run, c.args);
    SCOPED_TRACE(c.args[3] + " " + c.args.back());
    ASSERT_GT(gFailures.load(), 0u) << "no helper allocated: " << result.out;
    EXPECT_EQ(result.status, 1);
    ASSERT_GE(result.out.size(), std::string(c.line).size());
    EXPECT_EQ(result.out.substr(result.out.size() - std::string(c.line).size()), c.line);
  }
}
