// Quorlin's extension options end to end: the vertex order, abbreviations
// that must stay unambiguous, and counts beyond the double range.

#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <gtest/gtest.h>

#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

namespace pt = boost::property_tree;

const std::string kDayTable = std::string(EXAMPLES_DIR) + "/day.csv";

pt::ptree ReadReport(const std::string& path) {
  std::istringstream in(ReadFile(path));
  pt::ptree tree;
  pt::read_xml(in, tree);
  return tree;
}

std::vector<std::string> ChildNames(const pt::ptree& tree) {
  std::vector<std::string> names;
  for (const auto& child : tree) names.push_back(child.first);
  return names;
}

std::string WithoutRunTime(const std::string& out) {
  return out.substr(0, out.rfind("Run time: "));
}

std::string WithoutExecTime(std::string report) {
  const std::size_t open = report.find("<exec_time_sec>");
  const std::size_t close = report.find("</exec_time_sec>");
  if (open != std::string::npos && close != std::string::npos) report.erase(open, close - open);
  return report;
}

std::string ValueOf(const std::string& out, const std::string& prefix) {
  for (const std::string& line : SplitLines(out))
    if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
  ADD_FAILURE() << "no line starts with \"" << prefix << "\" in\n" << out;
  return "";
}

TEST(QuorlinVertexOrder, RandomGivenExplicitlyChangesNothing) {
  TempDir dir;
  const std::vector<std::string> common = {"--timetable", kDayTable, "--B", "3", "--N", "6",
                                           "--seed", "4", "--outpath"};
  std::vector<std::string> plain = common;
  plain.push_back(dir.File("plain.xml"));
  std::vector<std::string> random = common;
  random.push_back(dir.File("random.xml"));
  random.insert(random.end(), {"--vertex_order", "random"});

  const ProgramResult first = RunQuorlin(plain);
  const ProgramResult second = RunQuorlin(random);
  ASSERT_EQ(first.status, 0) << first.out;
  ASSERT_EQ(second.status, 0) << second.out;
  EXPECT_EQ(WithoutRunTime(first.out), WithoutRunTime(second.out));
  EXPECT_EQ(WithoutExecTime(ReadFile(dir.File("plain.xml"))),
            WithoutExecTime(ReadFile(dir.File("random.xml"))));
}

TEST(QuorlinVertexOrder, DegreeOrderIsReportedAfterEveryOtherElement) {
  TempDir dir;
  const std::string alone = dir.File("alone.xml");
  const ProgramResult run = RunQuorlin({"--timetable", kDayTable, "--N", "5", "--seed", "2",
                                        "--vertex_order", "degree", "--outpath", alone});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(SplitLines(run.out).size(), 9u) << run.out;
  std::vector<std::string> names = ChildNames(ReadReport(alone).get_child("SE"));
  ASSERT_GE(names.size(), 2u);
  EXPECT_EQ(names[names.size() - 2], "decompositions");
  EXPECT_EQ(names.back(), "vertex_order");
  EXPECT_EQ(ReadReport(alone).get<std::string>("SE.vertex_order"), "degree");

  const std::string withExact = dir.File("exact.xml");
  ASSERT_EQ(RunQuorlin({"--timetable", kDayTable, "--N", "5", "--seed", "2", "--vertex_order",
                        "degree", "--exact", "--outpath", withExact})
                .status,
            0);
  names = ChildNames(ReadReport(withExact).get_child("SE"));
  EXPECT_EQ(names[names.size() - 3], "log10_ratio_to_exact");
  EXPECT_EQ(names[names.size() - 2], "minimum_number_of_chains");
  EXPECT_EQ(names.back(), "vertex_order");
}

TEST(QuorlinVertexOrder, DegreeOrderWithALargeBudgetEnumeratesExactly) {
  // Two terminals, each with four arrivals that all connect to four
  // departures, and a round trip at each: 24 ways per terminal before the
  // round trips, which add a choice of their own.
  std::string text = "id,origin,destination,departure,arrival\n";
  unsigned id = 1;
  for (unsigned t = 1; t <= 2; ++t) {
    for (int k = 0; k < 4; ++k) text += std::to_string(id++) + ",9," + std::to_string(t) + ",1,2\n";
    for (int k = 0; k < 4; ++k) text += std::to_string(id++) + "," + std::to_string(t) + ",8,5,6\n";
    text += std::to_string(id++) + "," + std::to_string(t) + "," + std::to_string(t) + ",3,4\n";
  }
  TempDir dir;
  const ProgramResult run =
      RunQuorlin({"--timetable", dir.Write("boards.csv", text), "--B", "1000000", "--N", "1",
                  "--seed", "8", "--vertex_order", "degree", "--exact"});
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(ValueOf(run.out, "is fully enumerated = "), "1");
  EXPECT_EQ(ValueOf(run.out, "mean estimator = "),
            ValueOf(run.out, "exact number of decompositions = "));
  EXPECT_EQ(ValueOf(run.out, "relative deviation of the mean estimator from the exact number = "),
            "0");
}

TEST(QuorlinVertexOrder, UnknownOrderIsACommandLineError) {
  for (const char* value : {"Degree", "", "ascending"}) {
    const ProgramResult run =
        RunQuorlin({"--timetable", kDayTable, "--seed", "1", "--vertex_order", value});
    EXPECT_EQ(run.status, 1) << value;
    EXPECT_NE(run.out.find("Allowed options:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("--vertex_order arg"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Running SE"), std::string::npos) << run.out;
  }
}

TEST(QuorlinVertexOrder, AbbreviationsStayUnambiguous) {
  TempDir dir;
  const std::string report = dir.File("abbrev.xml");
  const ProgramResult run = RunQuorlin({"--timetable", kDayTable, "--N", "2", "--seed", "1",
                                        "--v", "degree", "--ex", "--o", report});
  ASSERT_EQ(run.status, 0) << run.out;
  const pt::ptree tree = ReadReport(report);
  EXPECT_EQ(tree.get<std::string>("SE.vertex_order"), "degree");
  EXPECT_TRUE(tree.get_child("SE").get_child_optional("exact_number_of_decompositions"));
}

// A terminal where each of n arrivals connects to each of n departures: the
// maximum matchings are the n! perfect matchings, and every run of budget 1
// estimates n! (up to rounding), far beyond the double range for n = 200.
std::string CompleteBoard(unsigned n) {
  std::string text = "id,origin,destination,departure,arrival\n";
  for (unsigned k = 0; k < n; ++k)
    text += std::to_string(k + 1) + ",2,1,1.5,3.25\n";
  for (unsigned k = 0; k < n; ++k)
    text += std::to_string(n + k + 1) + ",1,3,4,6.5\n";
  return text;
}

TEST(QuorlinWideCounts, EstimatesBeyondTheDoubleRangeArePrintedAndReported) {
  TempDir dir;
  const std::string table = dir.Write("board.csv", CompleteBoard(200));
  const std::string report = dir.File("wide.xml");
  const ProgramResult run = RunQuorlin({"--timetable", table, "--N", "3", "--seed", "6",
                                        "--exact", "--outpath", report});
  ASSERT_EQ(run.status, 0) << run.out;
  // 200! = 7.8865786736479050355...e+374
  EXPECT_EQ(ValueOf(run.out, "mean estimator = "), "7.88658e+374");
  EXPECT_EQ(ValueOf(run.out, "exact number of decompositions = "), "7.88658e+374");
  const double deviation = std::strtod(
      ValueOf(run.out, "relative deviation of the mean estimator from the exact number = ")
          .c_str(),
      nullptr);
  EXPECT_LT(std::fabs(deviation), 1e-12);

  const pt::ptree tree = ReadReport(report);
  const std::string mean = tree.get<std::string>("SE.se_counting_estimator");
  EXPECT_EQ(mean.substr(0, 12), "7.8865786736") << mean;
  EXPECT_EQ(mean.substr(mean.size() - 5), "e+374") << mean;
  EXPECT_EQ(mean.size(), std::string("7.8865786736479050e+374").size()) << mean;
  // Every run gives the same value, so there is no spread to report.
  EXPECT_LT(std::strtod(tree.get<std::string>("SE.se_counting_estimator_re").c_str(), nullptr),
            1e-12);
  EXPECT_EQ(tree.get<std::string>("SE.exact_number_of_decompositions").substr(0, 20),
            "78865786736479050355");
  EXPECT_NEAR(std::strtod(tree.get<std::string>("SE.exact_number_of_decompositions_log10").c_str(),
                          nullptr),
              374.89688, 1e-5);
}

}  // namespace
