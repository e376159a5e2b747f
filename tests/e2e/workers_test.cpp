// Threads and MPI ranks end to end: the console and the report are the same
// for any number of threads or ranks, a single stream is the run without
// the options, bad counts are refused, a worker thread that cannot start
// ends the run with one line, and a run uses no more workers than CPUs.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "parallel/UsableCpus.h"
#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

const std::string kDay = std::string(EXAMPLES_DIR) + "/day.csv";

// Output and report without the lines and elements that tell run time.
std::string Timeless(const ProgramResult& result, const std::string& reportPath) {
  std::string text = result.out.substr(0, result.out.rfind("Run time: "));
  std::string report = ReadFile(reportPath);
  for (const std::string tag : {"exec_time_sec", "elapsed_seconds"}) {
    const std::size_t open = report.find("<" + tag + ">");
    const std::size_t close = report.find("</" + tag + ">");
    if (open != std::string::npos && close != std::string::npos) report.erase(open, close - open);
  }
  return text + "\n" + report;
}

// The program's timeless output, run with `args` plus a report path, under
// `launcher` with `launcherArgs` when one is given.
std::string RunTimeless(const std::string& program, std::vector<std::string> args,
                        const std::string& launcher = "",
                        const std::vector<std::string>& launcherArgs = {}) {
  TempDir dir;
  const std::string report = dir.File("report.xml");
  args.push_back("--outpath");
  args.push_back(report);
  ProgramResult result;
  if (launcher.empty()) {
    result = RunProgram(program, args);
  } else {
    std::vector<std::string> launched = launcherArgs;
    launched.push_back(program);
    launched.insert(launched.end(), args.begin(), args.end());
    result = RunProgram(launcher, launched);
  }
  EXPECT_EQ(result.status, 0) << result.out << result.err;
  return Timeless(result, report);
}

// The timeless output for each set of extra arguments.
std::vector<std::string> RunEach(const std::string& program, const std::vector<std::string>& common,
                                 const std::vector<std::vector<std::string>>& extras) {
  std::vector<std::string> texts;
  for (const std::vector<std::string>& extra : extras) {
    std::vector<std::string> args = common;
    args.insert(args.end(), extra.begin(), extra.end());
    texts.push_back(RunTimeless(program, args));
  }
  return texts;
}

void ExpectAllEqual(const std::vector<std::string>& texts) {
  for (std::size_t k = 1; k < texts.size(); ++k) EXPECT_EQ(texts[0], texts[k]) << "run " << k;
}

std::string Mpirun() {
#ifdef DT_SKIP_MPIRUN
  return "";
#else
  for (const char* path : {"/usr/bin/mpirun", "/usr/local/bin/mpirun"})
    if (access(path, X_OK) == 0) return path;
  return "";
#endif
}

}  // namespace

TEST(Workers, QuorlinPrintsTheSameForAnyNumberOfThreads) {
  const std::vector<std::string> common = {"--timetable", kDay, "--B", "12", "--N", "5",
                                           "--seed", "3"};
  const std::vector<std::string> single =
      RunEach(QUORLIN_BIN, common, {{}, {"--threads", "1"}, {"--threads", "2"}, {"--threads", "3"}});
  ExpectAllEqual(single);
  const std::vector<std::string> streams = RunEach(
      QUORLIN_BIN, common,
      {{"--streams", "repetition"}, {"--streams", "repetition", "--threads", "2"},
       {"--streams", "repetition", "--threads", "3"}});
  ExpectAllEqual(streams);
  EXPECT_NE(single[0], streams[0]);
  EXPECT_NE(streams[0].find("<streams>repetition</streams>"), std::string::npos);
}

TEST(Workers, QuorlinPartsAreTheSameForAnyNumberOfThreadsAndRanks) {
  const std::vector<std::string> common = {"--timetable", kDay, "--B", "3", "--N", "4",
                                           "--seed", "7", "--split", "boards", "--importance",
                                           "sinkhorn"};
  const std::vector<std::string> texts =
      RunEach(QUORLIN_BIN, common, {{}, {"--threads", "2"}, {"--threads", "3"}});
  ExpectAllEqual(texts);
  const std::string mpirun = Mpirun();
  if (mpirun.empty()) return;
  setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  for (const std::string ranks : {"2", "3"})
    EXPECT_EQ(texts[0], RunTimeless(QUORLIN_BIN, common, mpirun, {"--oversubscribe", "-np", ranks}))
        << ranks << " ranks";
}

TEST(Workers, ParvelRestartsPrintTheSameForAnyNumberOfThreads) {
  const std::vector<std::string> common = {"--timetable", kDay, "--N", "200", "--seed", "3",
                                           "--search", "exchange", "--restarts", "5",
                                           "--record_performance_by_iteration", "1"};
  const std::vector<std::string> texts =
      RunEach(PARVEL_BIN, common, {{"--threads", "1"}, {"--threads", "2"}, {"--threads", "3"}});
  ExpectAllEqual(texts);
  EXPECT_NE(texts[0].find("best of 5 restarts: restart "), std::string::npos) << texts[0];
  EXPECT_NE(texts[0].find("<restarts>5</restarts><best_restart>"), std::string::npos);
}

TEST(Workers, UnderMpirunTheLeaderPrintsWhatOneProcessPrints) {
  const std::string mpirun = Mpirun();
  if (mpirun.empty()) GTEST_SKIP() << "no mpirun here";
  setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  const std::vector<std::string> quorlin = {"--timetable", kDay, "--B", "6", "--N", "5",
                                            "--seed", "4", "--streams", "repetition",
                                            "--threads", "2"};
  const std::string alone = RunTimeless(QUORLIN_BIN, quorlin);
  for (const std::string ranks : {"1", "2"})
    EXPECT_EQ(alone, RunTimeless(QUORLIN_BIN, quorlin, mpirun, {"--oversubscribe", "-np", ranks}))
        << ranks << " ranks";

  const std::vector<std::string> parvel = {"--timetable", kDay, "--N", "100", "--seed", "4",
                                           "--search", "exchange", "--restarts", "3"};
  EXPECT_EQ(RunTimeless(PARVEL_BIN, parvel),
            RunTimeless(PARVEL_BIN, parvel, mpirun, {"--oversubscribe", "-np", "2"}));
}

TEST(Workers, BadCountsAndRestartsOfTheWalkAreRefused) {
  for (const std::string count : {"0", "-1", "two", "2.5", "100000"}) {
    const ProgramResult quorlin = RunQuorlin({"--timetable", kDay, "--threads", count});
    EXPECT_EQ(quorlin.status, 1) << count;
    const ProgramResult parvel =
        RunParvel({"--timetable", kDay, "--search", "exchange", "--restarts", count});
    EXPECT_EQ(parvel.status, 1) << count;
  }
  const ProgramResult streams = RunQuorlin({"--timetable", kDay, "--streams", "many"});
  EXPECT_EQ(streams.status, 1);
  const ProgramResult walk = RunParvel({"--timetable", kDay, "--restarts", "2"});
  EXPECT_EQ(walk.status, 1);
  EXPECT_EQ(walk.out, "--restarts needs --search exchange\n");
}

TEST(Workers, AThreadThatCannotStartEndsTheRunWithOneLineAndStatusOne) {
  // A process limit of 1 lets the program run but start no thread. Root is
  // exempt from it, so as root the program runs as an unused user id.
  for (const char* tool : {"/usr/bin/timeout", "/usr/bin/prlimit", "/usr/bin/setpriv",
                           "/usr/bin/taskset"})
    if (access(tool, X_OK) != 0) GTEST_SKIP() << "no " << tool;
  TempDir dir;
  chmod(dir.Path().c_str(), 0777);
  const std::string day = dir.Write("day.csv", ReadFile(kDay));
  chmod(day.c_str(), 0644);
  const std::string report = dir.File("report.xml");
  // The sanitizers' leak check starts a thread at exit; not here.
  setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
  const auto run = [&](const std::vector<std::string>& cpus, const std::string& program,
                       const std::vector<std::string>& args) {
    std::vector<std::string> line = {"60", "/usr/bin/prlimit", "--nproc=1"};
    if (geteuid() == 0)
      line.insert(line.end(), {"/usr/bin/setpriv", "--reuid=3815027", "--regid=3815027",
                               "--clear-groups"});
    line.insert(line.end(), cpus.begin(), cpus.end());
    line.push_back(program);
    line.insert(line.end(), args.begin(), args.end());
    line.insert(line.end(), {"--outpath", report});
    return RunProgram("/usr/bin/timeout", line);
  };
  const std::vector<std::string> quorlin = {"--timetable", day, "--B", "12", "--N", "5",
                                            "--seed", "3"};
  const ProgramResult alone = run({}, QUORLIN_BIN, quorlin);
  if (alone.status != 0) GTEST_SKIP() << "the build cannot run as another user: " << alone.err;
  const std::string aloneText = Timeless(alone, report);

  cpu_set_t allowed;
  ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
  int first = 0;
  while (!CPU_ISSET(first, &allowed)) ++first;
  const std::vector<std::string> oneCpu = {"/usr/bin/taskset", "-c", std::to_string(first)};
  std::vector<std::string> threaded = quorlin;
  threaded.insert(threaded.end(), {"--threads", "3"});
  // On one CPU a run starts no thread, whatever it asks for.
  const ProgramResult pinned = run(oneCpu, QUORLIN_BIN, threaded);
  EXPECT_EQ(pinned.status, 0) << pinned.out;
  EXPECT_EQ(Timeless(pinned, report), aloneText);

  if (parallel::UsableCpus() < 2) GTEST_SKIP() << "one usable CPU: no worker thread to start";
  const std::string line = "Cannot start worker thread 2 of " +
                           std::to_string(parallel::WorkersToRun(3)) +
                           ": Resource temporarily unavailable\n";
  std::remove(report.c_str());
  const ProgramResult failed = run({}, QUORLIN_BIN, threaded);
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out, line);
  EXPECT_FALSE(FileExists(report));
  const ProgramResult parvel =
      run({}, PARVEL_BIN, {"--timetable", day, "--N", "50", "--search", "exchange", "--restarts",
                           "3", "--threads", "3"});
  EXPECT_EQ(parvel.status, 1);
  EXPECT_EQ(parvel.out, line);
  EXPECT_FALSE(FileExists(report));
}
