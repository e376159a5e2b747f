// Parvel --certify end to end: console lines, report elements, the kept LP
// decomposition, the memory refusal, the fallback and bad budgets.

#include <algorithm>
#include <gtest/gtest.h>

#include <fstream>

#include "support/ParvelOutput.h"
#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

const std::string kDay = std::string(EXAMPLES_DIR) + "/day.csv";

}  // namespace

TEST(ParvelCertify, ExampleDayIsProvenOptimalByBothSearchesAndReported) {
  TempDir dir;
  const std::map<unsigned, Flight> flights = ReadFlights(kDay);
  for (const std::string search : {"exchange", "walk"}) {
    const std::string report = dir.File(search + ".xml");
    // The walk without iterations ends at its start: the LP's own
    // decomposition must carry the proof.
    const ProgramResult result =
        RunParvel({"--timetable", kDay, "--search", search, "--N", search == "walk" ? "0" : "1000",
                   "--seed", "3", "--certify", "--outpath", report});
    // Exchange: the combinatorial bound and two LP lines; walk: the kept
    // line and two LP lines.
    const auto counts = CheckExtendedConsole(
        result,
        search == "walk" ? "Running local search with sample size N=0"
                         : "Running exchange search: 1000 rounds",
        "11", 3, nullptr);
    const std::vector<std::string> lines = SplitLines(result.out);
    const std::size_t end = lines.size() - 1;  // the run time line
    EXPECT_EQ(lines[end - 2], "LP bound on balanced chains = 6 (reached: optimal)") << search;
    EXPECT_EQ(lines[end - 1], "LP bound on rested chains = 5 (reached: optimal)") << search;
    if (search == "walk") {
      EXPECT_EQ(lines[end - 3], "the LP's decomposition ranks higher than the search's best: kept");
    }
    EXPECT_EQ(counts.second.balanced, 6);
    EXPECT_EQ(counts.second.rest, 5);

    const boost::property_tree::ptree opt = ParseReport(report).get_child("OPT");
    std::vector<std::string> names = ChildNames(opt);
    // The certificate's elements, in this order, before the run's own.
    const auto from = std::find(names.begin(), names.end(), "lp_bound");
    ASSERT_GE(names.end() - from, 4);
    EXPECT_EQ(std::vector<std::string>(from, from + 4),
              (std::vector<std::string>{"lp_bound", "certified", "rest_upper_bound",
                                        "rest_optimal"}));
    EXPECT_EQ(opt.get<std::string>("lp_bound"), "6");
    EXPECT_EQ(opt.get<std::string>("certified"), "true");
    EXPECT_EQ(opt.get<std::string>("rest_optimal"), "true");
    EXPECT_EQ(std::stoi(opt.get<std::string>("number_of_balanced_chains")), 6);
    EXPECT_EQ(std::stoul(opt.get<std::string>("decomposition_size")), MinimumChainCount(flights));
    // The kept decomposition covers every flight with flyable chains.
    ExpectValidChains(opt, flights);
  }
}

TEST(ParvelCertify, RefusesBeyondTheMemoryLimitFallsBackOnRepeatedNumbersAndRejectsBadBudgets) {
  const ProgramResult refused =
      RunParvel({"--timetable", kDay, "--certify", "--max_memory", "60K", "--N", "0"});
  EXPECT_EQ(refused.status, 1);
  ASSERT_EQ(SplitLines(refused.out).size(), 1u) << refused.out;
  EXPECT_TRUE(StartsWith(refused.out, "The precedence graph and the certificate's LP model"));
  // Without --certify the same limit holds the graph alone.
  EXPECT_EQ(RunParvel({"--timetable", kDay, "--max_memory", "60K", "--N", "0"}).status, 0);

  TempDir dir;
  const std::string repeated = dir.File("repeated.csv");
  std::ofstream(repeated) << "id,o,d,dep,arr\n1,1,2,6,7\n1,2,1,8,9\n2,2,1,10,11\n";
  const ProgramResult fallback =
      RunParvel({"--timetable", repeated, "--certify", "--N", "10", "--seed", "1"});
  EXPECT_EQ(fallback.status, 0);
  const std::vector<std::string> lines = SplitLines(fallback.out);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_TRUE(StartsWith(lines[lines.size() - 3],
                         "LP bound skipped (passage numbers repeat): combinatorial upper bound "
                         "on balanced chains = "))
      << fallback.out;
  EXPECT_EQ(lines[lines.size() - 2],
            "LP bound on rested chains skipped: no LP bound on balanced chains");

  for (const std::string budget : {"0", "-1", "nan", "inf", "5s"}) {
    const ProgramResult bad =
        RunParvel({"--timetable", kDay, "--certify", "--certify_seconds", budget});
    EXPECT_EQ(bad.status, 1) << budget;
    EXPECT_EQ(bad.out.find("LP bound"), std::string::npos) << budget;
  }
}

TEST(ParvelCertify, IntegerProgramProvesWhatTheLinearProgramsLeaveOpen) {
  // The walk without iterations keeps its start (1 balanced chain); the
  // LPs bound 2 without reaching it, and the integer program finds and
  // proves it.
  TempDir dir;
  const std::string day = dir.File("day.csv");
  std::ofstream(day) << "id,origin,destination,departure,arrival\n"
                        "1,3,1,19.833333333333332,21.666666666666668\n"
                        "2,1,2,22.5,0.16666666666666666\n"
                        "3,1,4,16,19.083333333333332\n"
                        "4,1,2,12.583333333333334,14.166666666666666\n"
                        "5,1,3,18.083333333333332,19.916666666666668\n"
                        "6,2,1,19.333333333333332,21\n"
                        "7,1,4,12.5,15.333333333333334\n"
                        "8,2,1,9.5,11.166666666666666\n"
                        "9,1,2,12.666666666666666,14.083333333333334\n"
                        "10,2,1,18.25,19.666666666666668\n"
                        "11,1,2,10.083333333333334,11.666666666666666\n"
                        "12,1,3,22,23.916666666666668\n"
                        "13,1,2,14.333333333333334,15.75\n"
                        "14,2,3,20.65,22.433333333333334\n";
  const std::string report = dir.File("report.xml");
  const ProgramResult result = RunParvel(
      {"--timetable", day, "--N", "0", "--seed", "1", "--certify", "--outpath", report});
  const auto counts =
      CheckExtendedConsole(result, "Running local search with sample size N=0", "11", 4, nullptr);
  EXPECT_EQ(counts.first.balanced, 1);
  EXPECT_EQ(counts.second.balanced, 2);
  const std::vector<std::string> lines = SplitLines(result.out);
  const std::size_t end = lines.size() - 1;  // the run time line
  EXPECT_EQ(std::vector<std::string>(lines.begin() + end - 4, lines.begin() + end - 1),
            (std::vector<std::string>{
                "the integer program's decomposition ranks higher than the search's best: kept",
                "LP bound on balanced chains = 2",
                "integer program on balanced chains = 2 (reached: optimal)"}));
  EXPECT_TRUE(StartsWith(lines[end - 1], "LP bound on rested chains = ")) << result.out;

  const boost::property_tree::ptree opt = ParseReport(report).get_child("OPT");
  const std::vector<std::string> names = ChildNames(opt);
  const auto from = std::find(names.begin(), names.end(), "lp_bound");
  ASSERT_GE(names.end() - from, 6);
  EXPECT_EQ(std::vector<std::string>(from, from + 6),
            (std::vector<std::string>{"lp_bound", "certified", "rest_upper_bound", "rest_optimal",
                                      "ip_bound", "ip_finished"}));
  EXPECT_EQ(opt.get<std::string>("lp_bound"), "2");
  EXPECT_EQ(opt.get<std::string>("ip_bound"), "2");
  EXPECT_EQ(opt.get<std::string>("ip_finished"), "true");
  EXPECT_EQ(opt.get<std::string>("certified"), "true");
  EXPECT_EQ(opt.get<std::string>("number_of_balanced_chains"), "2");
  // The kept decomposition: every flight once, in flyable chains, as many
  // chains as a minimum decomposition has.
  const std::map<unsigned, Flight> flights = ReadFlights(day);
  ASSERT_EQ(flights.size(), 14u);
  ExpectValidChains(opt, flights);
  EXPECT_EQ(std::stoul(opt.get<std::string>("decomposition_size")), MinimumChainCount(flights));

  // A memory limit that holds the LPs but not the integer program's search:
  // skipped, saying so, and nothing claimed.
  const ProgramResult limited =
      RunParvel({"--timetable", day, "--N", "0", "--seed", "1", "--certify", "--max_memory", "200K"});
  EXPECT_EQ(limited.status, 0);
  const std::vector<std::string> limitedLines = SplitLines(limited.out);
  ASSERT_GE(limitedLines.size(), 4u);
  const std::string skipped = limitedLines[limitedLines.size() - 3];
  const std::string limit = ", more than the limit of 200 KB";
  EXPECT_EQ(limitedLines[limitedLines.size() - 4], "LP bound on balanced chains = 2");
  EXPECT_TRUE(StartsWith(skipped, "integer program on balanced chains skipped: its model needs about "))
      << limited.out;
  EXPECT_EQ(skipped.substr(skipped.size() - std::min(skipped.size(), limit.size())), limit);
  EXPECT_EQ(limitedLines[limitedLines.size() - 2],
            "LP bound on rested chains skipped: the balanced count is not proven optimal");
}
