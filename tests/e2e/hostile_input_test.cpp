// Both programs on hostile input and on days whose graph does not fit:
// one clear line and status 1, or a result; never a crash, a hang or a
// report left half written.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

const std::string kDayTable = std::string(EXAMPLES_DIR) + "/day.csv";

using Runner = ProgramResult (*)(const std::vector<std::string>&);
const Runner kBoth[] = {RunQuorlin, RunParvel};

// n passages at one terminal pair and one time each way: half fly from 1
// to 2 at 8:00, half back at 9:00, and every one back can follow every one
// out (a complete board, n^2/4 pairs).
std::string CompleteBoard(int n) {
  std::string text = "passage,origin,destination,departure,arrival\n";
  for (int k = 0; k < n; ++k)
    text += std::to_string(k + 1) + (k % 2 == 0 ? ",1,2,8,8\n" : ",2,1,9,9\n");
  return text;
}

// A day flown forward in time only (no overnight passage): its precedence
// relation has no cycle, so every minimum decomposition has the same count.
std::string ForwardDay() {
  std::string text = "passage,origin,destination,departure,arrival\n";
  int id = 1;
  for (int hour = 6; hour < 20; ++hour)
    for (int t = 1; t <= 3; ++t) {
      const int to = 1 + (t + hour) % 3;
      text += std::to_string(id++) + "," + std::to_string(t) + "," + std::to_string(to) + "," +
              std::to_string(hour) + "," + std::to_string(hour) + ".75\n";
    }
  return text;
}

std::string Line(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines)
    if (line.compare(0, prefix.size(), prefix) == 0) return line;
  return "";
}

}  // namespace

TEST(HostileInput, BadPathsGiveOneLineAndStatusOne) {
  TempDir dir;
  for (Runner run : kBoth) {
    const ProgramResult missing = run({"--timetable", dir.File("missing.csv"), "--N", "1"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Error in openening file \n");
    const ProgramResult directory = run({"--timetable", dir.Path(), "--N", "1"});
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.out, "Error in timetable file " + dir.Path() + ": it is a directory\n");
    const std::string bytes("h,\n\0\xff,\x01,2,3,4\n-9\x02,1,1,1,1\n", 24);
    const ProgramResult binary = run({"--timetable", dir.Write("b.csv", bytes), "--N", "1"});
    EXPECT_EQ(binary.status, 1);
    EXPECT_EQ(binary.out, "Error in timetable file " + dir.File("b.csv") +
                              ", line 3: field 1 (passage number) \"-9\\x02\" is not an integer "
                              "in 0..4294967295\n");
    EXPECT_TRUE(binary.err.empty());
  }
}

TEST(HostileInput, GraphBeyondTheLimitIsRefusedBeforeItIsBuilt) {
  TempDir dir;
  const std::string table = dir.Write("board.csv", CompleteBoard(3000));  // 2.25 million pairs
  for (Runner run : kBoth) {
    const std::string report = dir.File("report.xml");
    const ProgramResult refused =
        run({"--timetable", table, "--N", "1", "--max_memory", "32M", "--outpath", report});
    EXPECT_EQ(refused.status, 1);
    const std::vector<std::string> lines = SplitLines(refused.out);
    ASSERT_EQ(lines.size(), 1u) << refused.out;
    EXPECT_EQ(lines[0].find("The precedence graph of this timetable has 2250000 pairs and needs "
                            "about "),
              0u)
        << lines[0];
    EXPECT_NE(lines[0].find("more than the limit of 32 MB; raise the limit with --max_memory"),
              std::string::npos)
        << lines[0];
    EXPECT_FALSE(FileExists(report));
  }
  // Not a size: the options are printed.
  const ProgramResult bad = RunParvel({"--timetable", table, "--max_memory", "lots"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("Extensions:"), std::string::npos);
  EXPECT_NE(bad.out.find("--max_memory"), std::string::npos);
}

TEST(HostileInput, ExactCountWithoutRunsNeedsNoGraph) {
  TempDir dir;
  const std::string day = dir.Write("day.csv", ForwardDay());
  const ProgramResult withGraph = RunQuorlin({"--timetable", day, "--N", "0", "--exact"});
  const ProgramResult withoutGraph =
      RunQuorlin({"--timetable", day, "--N", "0", "--exact", "--max_memory", "16K"});
  ASSERT_EQ(withGraph.status, 0) << withGraph.out;
  ASSERT_EQ(withoutGraph.status, 0) << withoutGraph.out;
  std::vector<std::string> a = SplitLines(withGraph.out);
  std::vector<std::string> b = SplitLines(withoutGraph.out);
  ASSERT_EQ(a.size(), b.size());
  a.pop_back();  // run time
  b.pop_back();
  EXPECT_EQ(a, b);
  EXPECT_NE(Line(b, "exact number of decompositions = "), "");

  // The complete board: beyond the limit, runs are refused but the count is
  // not; 3000 passages need 1500 chains.
  const std::string board = dir.Write("board.csv", CompleteBoard(3000));
  const ProgramResult counted =
      RunQuorlin({"--timetable", board, "--N", "0", "--exact", "--max_memory", "32M"});
  EXPECT_EQ(counted.status, 0) << counted.out;
  EXPECT_EQ(Line(SplitLines(counted.out), "optimal number of chains"),
            "optimal number of chains = 1500");
  EXPECT_EQ(RunQuorlin({"--timetable", board, "--N", "1", "--exact", "--max_memory", "32M"}).status,
            1);
}

TEST(HostileInput, RepeatedNumbersAndManyLinesGetResults) {
  TempDir dir;
  std::string repeated = "h,\n";
  for (int k = 0; k < 3000; ++k)
    repeated += std::to_string(1 + k % 3) + "," + std::to_string(1 + k % 4) + "," +
                std::to_string(1 + (k + 1) % 4) + "," + std::to_string(k % 24) + ",23\n";
  const std::string table = dir.Write("repeated.csv", repeated);
  const ProgramResult quorlin =
      RunQuorlin({"--timetable", table, "--N", "1", "--exact", "--seed", "1"});
  EXPECT_EQ(quorlin.status, 0) << quorlin.out;
  EXPECT_NE(quorlin.out.find("unavailable (duplicate passage numbers)"), std::string::npos);
  EXPECT_EQ(RunParvel({"--timetable", table, "--N", "5", "--seed", "1"}).status, 0);

  // A million lines, most of them blank.
  std::string many = "h,\n";
  for (int k = 0; k < 1000000; ++k) many += k % 10 == 0 ? std::to_string(k) + ",1,2,3,4\n" : "\n";
  const ProgramResult lines = RunParvel({"--timetable", dir.Write("many.csv", many), "--N", "0"});
  EXPECT_EQ(lines.status, 0) << lines.out.substr(0, 200);
}

TEST(HostileInput, ReportIsRenamedIntoPlaceOnlyWhenWhole) {
  TempDir dir;
  for (Runner run : kBoth) {
    const std::string report = dir.File("r.xml");
    const ProgramResult written = run({"--timetable", kDayTable, "--N", "2", "--seed", "1",
                                       "--outpath", report});
    EXPECT_EQ(written.status, 0);
    EXPECT_EQ(ReadFile(report).rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n", 0), 0u);
    EXPECT_FALSE(FileExists(report + ".partial"));

    const std::string unwritable = dir.File("no/such/dir/r.xml");
    const ProgramResult failed =
        run({"--timetable", kDayTable, "--N", "2", "--outpath", unwritable});
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.out, "Cannot write the report file " + unwritable + ": the folder " +
                              dir.File("no/such/dir") + " does not exist\n");
    EXPECT_FALSE(FileExists(unwritable + ".partial"));

    // A symbolic link is written through, a device in place: neither is replaced.
    const std::string target = dir.File("target.xml");
    const std::string link = dir.File("link.xml");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(run({"--timetable", kDayTable, "--N", "2", "--outpath", link}).status, 0);
    struct stat linkStatus {};
    ASSERT_EQ(lstat(link.c_str(), &linkStatus), 0);
    EXPECT_TRUE(S_ISLNK(linkStatus.st_mode));
    EXPECT_EQ(ReadFile(target).rfind("<?xml", 0), 0u);
    std::remove(link.c_str());
    std::remove(target.c_str());
    EXPECT_EQ(run({"--timetable", kDayTable, "--N", "2", "--outpath", "/dev/null"}).status, 0);
    struct stat status {};
    ASSERT_EQ(stat("/dev/null", &status), 0);
    EXPECT_TRUE(S_ISCHR(status.st_mode));
  }
}
