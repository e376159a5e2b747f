// Both programs in real conditions: option mistakes explained, timetables
// that read wrong warned about (or refused with --strict), outputs that
// cannot hurt other files, memory refused before it is spent, and MPI jobs
// that end when one rank fails.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

const std::string kDay = std::string(EXAMPLES_DIR) + "/day.csv";

struct Program {
  const char* name;
  const char* binary;
};
const Program kBoth[] = {{"Quorlin", QUORLIN_BIN}, {"Parvel", PARVEL_BIN}};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(Robustness, OptionMistakesGetOneLineOnStandardErrorBeforeTheSameHelp) {
  struct Case {
    const char* binary;
    std::vector<std::string> args;
    std::string line;
  };
  const std::vector<Case> cases = {
      {PARVEL_BIN, {"--threshold", "9"}, "unknown option --threshold; did you mean --treshold_rest?"},
      {QUORLIN_BIN, {"--vertex_order", "degrees"},
       "--vertex_order: \"degrees\" is not one of random, degree"},
      {QUORLIN_BIN, {"--threads", "0"}, "--threads: \"0\" is not a whole number from 1 to 4096"},
      {PARVEL_BIN, {"--N", "-4"}, "--N: \"-4\" is negative"},
      // A value holding the option library's own placeholder (once a hang).
      {QUORLIN_BIN, {"--B", "1%value%"}, "--B: \"1%value%\" is not a valid value"},
      {QUORLIN_BIN, {"--timetable", kDay, "--timetable", kDay}, "--timetable is given more than once"},
      {PARVEL_BIN, {"--max_memory", "lots"}, "--max_memory: \"lots\" is not a size such as 512M or 8G"},
      // Two extensions share the start of a name.
      {QUORLIN_BIN, {"--st"}, "--st is ambiguous: --streams, --strict"},
  };
  for (const Case& c : cases) {
    const ProgramResult result = RunProgram(c.binary, With({"--timetable", kDay}, c.args));
    // The help is the one an undeclared option printed before: unchanged.
    const ProgramResult reference = RunProgram(c.binary, {"--undeclared_option"});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err, c.line + "\n");
    EXPECT_EQ(result.out, reference.out);
    EXPECT_NE(result.out.find("Allowed options:"), std::string::npos);
  }
}

TEST(Robustness, TimetableWarningsLeaveTheRunAndStrictRefusesThem) {
  TempDir dir;
  const std::string header = "id,o,d,dep,arr\n";
  struct Case {
    std::string content;
    std::string warning;  // the one warning line, after "Warning: timetable <file>"
  };
  const std::vector<Case> cases = {
      {header + "1,1,2,06:30,08:00\n2,2,1,9,10\n",
       ", line 2: field 4 (departure) \"06:30\" is read only in part, as 6 (2 times in all)"},
      {header + "1,1,JFK,6,7\n", ", line 2: field 3 (destination) \"JFK\" holds no number and reads as 0"},
      {header + "1,1,2,6,7\n2,2,1,8,30\n", ", line 3: field 5 (arrival) 30 is outside the day's hours 0 to 24"},
      {header + "1,1,2,6,inf\n2,2,1,inf,9\n", ", line 2: field 5 (arrival) is infinite (2 times in all)"},
      {"1,1,2,6,7\n2,2,1,8,9\n", ", line 1: it looks like a passage but is taken as the header line"},
      {header + "1,1,2,6,7\n2,2,1,8,9\n1,1,2,10,11\n", ", line 4: passage number 1 was already given on line 2"},
      {"id;o;d;dep;arr\n1;1;2;6;7\n", ": no passages were read; is the separator a comma?"},
  };
  for (const Case& c : cases) {
    const std::string table = dir.Write("t.csv", c.content);
    const std::string report = dir.File("r.xml");
    for (const Program& program : kBoth) {
      const ProgramResult warned =
          RunProgram(program.binary, {"--timetable", table, "--N", "1", "--seed", "1"});
      EXPECT_EQ(warned.status, 0) << program.name << c.content;
      EXPECT_EQ(warned.err, "Warning: timetable " + table + c.warning + "\n") << program.name;
      EXPECT_EQ(warned.out.find("Warning"), std::string::npos);
      const ProgramResult strict = RunProgram(
          program.binary, {"--timetable", table, "--N", "1", "--strict", "--outpath", report});
      EXPECT_EQ(strict.status, 1) << program.name << c.content;
      std::string error = c.warning;
      const std::size_t count = error.find(" times in all)");
      error = error.substr(0, count == std::string::npos ? error.size() : error.rfind(" (")) + "\n";
      EXPECT_EQ(strict.out, "Error in timetable file " + table + error) << program.name;
      EXPECT_FALSE(FileExists(report));
    }
  }
  // Wide text is refused before a line is read.
  const std::string wide = dir.Write("u16.csv", std::string("\xff\xfei\0d\0,\0\n\0", 10));
  for (const Program& program : kBoth) {
    const ProgramResult refused = RunProgram(program.binary, {"--timetable", wide});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "Error in timetable file " + wide +
                               ": it is UTF-16 text (it starts with a byte-order mark); save it "
                               "as UTF-8 or ASCII\n");
  }
}

TEST(Robustness, OutputsAreRefusedBeforeAnyWorkWhenTheyWouldHurt) {
  TempDir dir;
  const std::string table = dir.Write("t.csv", ReadFile(kDay));
  const std::string original = ReadFile(table);
  mkdir(dir.File("sub").c_str(), 0755);
  struct Case {
    std::vector<std::string> quorlin;  // Parvel takes those with --outpath and --rotations
    std::string line;
  };
  const std::vector<Case> cases = {
      {{"--outpath", table}, "Cannot write the report file " + table + ": it is the timetable"},
      {{"--rotations", table}, "Cannot write the rotations file " + table + ": it is the timetable"},
      {{"--outpath", dir.File("r.xml"), "--rotations", dir.File("sub/../r.xml")},
       "Cannot write the rotations file " + dir.File("sub/../r.xml") + ": it is also the report file"},
      {{"--outpath", dir.File("no/r.xml")},
       "Cannot write the report file " + dir.File("no/r.xml") + ": the folder " + dir.File("no") +
           " does not exist"},
      {{"--rotations", dir.File("sub")}, "Cannot write the rotations file " + dir.File("sub") + ": it is a directory"},
  };
  for (const Case& c : cases) {
    for (const Program& program : kBoth) {
      const ProgramResult result =
          RunProgram(program.binary, With({"--timetable", table, "--N", "1"}, c.quorlin));
      EXPECT_EQ(result.status, 1) << program.name;
      EXPECT_EQ(result.out, c.line + "\n") << program.name;
    }
  }
  const ProgramResult trace =
      RunQuorlin({"--timetable", table, "--N", "1", "--trace", table, "--outpath", "/dev/null"});
  EXPECT_EQ(trace.out, "Cannot write the trace file " + table + ": it is the timetable\n");
  EXPECT_EQ(ReadFile(table), original);
  EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"sub", "t.csv"}));
}

TEST(Robustness, ReplacedOutputsKeepModeLinksAndFollowNoPlantedLink) {
  TempDir dir;
  for (const Program& program : kBoth) {
    const std::string report = dir.Write("r.xml", "old");
    chmod(report.c_str(), 0600);
    const std::string alias = dir.File("alias.xml");
    ASSERT_EQ(link(report.c_str(), alias.c_str()), 0);
    // Another user's link where the old code put its temporary file.
    const std::string victim = dir.Write("victim.txt", "keep me");
    ASSERT_EQ(symlink(victim.c_str(), (report + ".partial").c_str()), 0);
    const ProgramResult result =
        RunProgram(program.binary, {"--timetable", kDay, "--N", "1", "--outpath", report});
    ASSERT_EQ(result.status, 0) << result.out;
    struct stat status {};
    ASSERT_EQ(stat(report.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u) << program.name;
    EXPECT_EQ(status.st_nlink, 2u) << program.name;
    EXPECT_EQ(ReadFile(alias), ReadFile(report));
    EXPECT_EQ(ReadFile(report).rfind("<?xml", 0), 0u);
    EXPECT_EQ(ReadFile(victim), "keep me");
    for (const std::string name : {"r.xml", "alias.xml", "r.xml.partial", "victim.txt"})
      std::remove(dir.File(name).c_str());
  }
}

TEST(Robustness, AFailedOrInterruptedRunLeavesNoOutput) {
  TempDir dir;
  // The report fails after the rotations were written: neither stays.
  for (const Program& program : kBoth) {
    const std::string rotations = dir.File("rot.csv");
    const ProgramResult failed = RunProgram(
        program.binary,
        {"--timetable", kDay, "--N", "1", "--rotations", rotations, "--outpath", "/dev/full"});
    EXPECT_EQ(failed.status, 1) << program.name;
    EXPECT_NE(failed.out.find("Cannot write the report file /dev/full"), std::string::npos);
    EXPECT_TRUE(Names(dir.Path()).empty()) << program.name;
  }
  // SIGTERM or SIGINT while the report waits for a reader: the staged
  // rotations go.
  const std::string fifo = dir.File("report.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (int signal : {SIGTERM, SIGINT}) {
    const pid_t child = fork();
    if (child == 0) {
      if (freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
      execl(QUORLIN_BIN, QUORLIN_BIN, "--timetable", kDay.c_str(), "--N", "1", "--rotations",
            dir.File("rot.csv").c_str(), "--outpath", fifo.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    bool staged = false;
    for (int wait = 0; wait < 200 && !staged; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      staged = Names(dir.Path()).size() == 2;
    }
    EXPECT_TRUE(staged);
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"report.fifo"})) << signal;
  }
}

TEST(Robustness, MemoryIsRefusedBeforeItIsSpent) {
  TempDir dir;
  const ProgramResult budget = RunQuorlin({"--timetable", kDay, "--B", "4294967295", "--N", "1"});
  EXPECT_EQ(budget.status, 1);
  ASSERT_EQ(SplitLines(budget.out).size(), 1u) << budget.out;
  EXPECT_EQ(budget.out.rfind("Not enough memory for this run: the precedence graph (225 pairs) "
                             "needs about ", 0), 0u) << budget.out;
  EXPECT_NE(budget.out.find("the estimator's nodes (B = 4294967295, 84 vertices) about "),
            std::string::npos);
  const ProgramResult searches =
      RunParvel({"--timetable", kDay, "--search", "exchange", "--restarts", "64", "--threads",
                 "64", "--max_memory", "200K"});
  EXPECT_EQ(searches.status, 1);
  EXPECT_NE(searches.out.find("the searches (64 at once, 64 restarts kept) about "),
            std::string::npos) << searches.out;

  // Passages beyond the limit stop the load; long lines cost nothing.
  std::string many = "h,\n" + std::string(1 << 20, ',') + "\n";
  for (int k = 0; k < 20000; ++k) many += std::to_string(k) + ",1,2,3,4\n";
  const std::string table = dir.Write("many.csv", many);
  const ProgramResult loaded = RunParvel({"--timetable", table, "--max_memory", "1M"});
  EXPECT_EQ(loaded.status, 1);
  EXPECT_EQ(loaded.out.rfind("Not enough memory for this run: the timetable's passages (more than "
                             "8192) needs about ", 0), 0u) << loaded.out;
}

#ifndef DT_SKIP_MPIRUN
TEST(Robustness, AllocationFailureNamesWhatTheRunWasDoing) {
  // An address space too small for what the budget asks, under a limit that
  // lets it through: the allocation fails in the estimator.
  const ProgramResult result = RunProgram(
      "/bin/sh", {"-c", "ulimit -v 200000; exec " + std::string(QUORLIN_BIN) + " --timetable " +
                            kDay + " --B 50000000 --N 1 --max_memory 1T"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out.substr(result.out.find('\n') + 1),
            "out of memory while running the estimator\n");
}

TEST(Robustness, AFailureOnRankOneEndsTheJob) {
  if (access("/usr/bin/mpirun", X_OK) != 0) GTEST_SKIP() << "no mpirun here";
  setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
  setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  struct Case {
    std::vector<std::string> rankOne;
    std::string line;
  };
  const std::vector<Case> cases = {
      {{"--max_memory", "1K"}, "rank 1: Not enough memory for this run: the timetable's passages"},
      {{"--timetable", "/nonexistent.csv"}, "rank 1: Error in openening file "},
      {{"--threshold", "1"}, "rank 1: unknown option --threshold"},
  };
  const std::vector<std::vector<std::string>> shared = {
      {"--timetable", kDay, "--N", "20", "--seed", "1", "--streams", "repetition"},
      {"--timetable", kDay, "--N", "20", "--seed", "1", "--search", "exchange", "--restarts", "4"}};
  for (std::size_t p = 0; p < 2; ++p) {
    for (const Case& c : cases) {
      std::vector<std::string> args = {"120", "/usr/bin/mpirun", "--oversubscribe", "-np", "1",
                                       kBoth[p].binary};
      args = With(args, shared[p]);
      args = With(args, {":", "-np", "1", kBoth[p].binary});
      std::vector<std::string> own = shared[p];
      if (c.rankOne[0] == "--timetable") own[1] = c.rankOne[1];
      else own = With(own, c.rankOne);
      args = With(args, own);
      const ProgramResult result = RunProgram("/usr/bin/timeout", args);
      EXPECT_EQ(result.status, 1) << kBoth[p].name << " " << c.line;
      EXPECT_NE(result.err.find(c.line), std::string::npos) << kBoth[p].name << result.err;
    }
  }
}
#endif
