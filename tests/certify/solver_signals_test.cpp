// The solvers leave the process's signals alone: Ctrl-C during a
// certificate ends the run instead of passing for a program out of time.

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "certify/CbcSolver.h"
#include "certify/ClpSolver.h"

namespace {

// Whether this process catches SIGINT now (its handler mask in /proc).
bool CatchesInterrupt() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) & 2u) != 0;
  }
  return false;
}

// A dense assignment program, degenerate enough to keep the simplex busy
// for a while.
certify::LinearProgram Assignment(int n) {
  certify::LinearProgram program;
  program.maximise = true;
  for (int r = 0; r < 2 * n; ++r) program.AddRow(1.0, 1.0);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      program.AddColumn(static_cast<double>((i * 7919 + j * 104729) % 97), 1.0,
                        {{i, 1.0}, {n + j, 1.0}});
  return program;
}

}  // namespace

// Runs `solve` while another thread looks whether SIGINT is caught; true
// when it never was, in enough looks to have watched the solve.
template <typename Solve>
bool SolvesWithoutCatchingInterrupts(Solve solve) {
  std::atomic<bool> solving{true};
  std::atomic<bool> caught{false};
  std::atomic<int> looks{0};
  std::thread watcher([&] {
    while (solving) {
      if (CatchesInterrupt()) caught = true;
      ++looks;
    }
  });
  solve();
  solving = false;
  watcher.join();
  EXPECT_GT(looks.load(), 10) << "the solve ended before it could be watched";
  return !caught.load();
}

TEST(Solvers, LeaveInterruptsToTheRun) {
  if (!std::ifstream("/proc/self/status")) GTEST_SKIP() << "no /proc here";
  ASSERT_FALSE(CatchesInterrupt());
  const certify::LinearProgram program = Assignment(120);
  EXPECT_TRUE(SolvesWithoutCatchingInterrupts([&] {
    EXPECT_EQ(certify::ClpSolver().Solve(program, 60.0).status,
              certify::LpSolution::Status::Optimal);
  }));
  EXPECT_TRUE(SolvesWithoutCatchingInterrupts([&] {
    EXPECT_EQ(certify::CbcSolver().Solve(program, 60.0, -certify::kUnbounded, 0.0).status,
              certify::MipSolution::Status::Optimal);
  }));
}
