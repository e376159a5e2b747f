// Quorlin with and without the "exact" switch: the extra console lines, the
// extra report elements, agreement with fully enumerated runs,
// and the runs where the count is unavailable.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <gmpxx.h>
#include <gtest/gtest.h>

#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

namespace pt = boost::property_tree;

const std::string kDayTable = std::string(EXAMPLES_DIR) + "/day.csv";
const std::string kExactPrefix = "exact number of decompositions = ";
const std::string kDeviationPrefix =
    "relative deviation of the mean estimator from the exact number = ";
const std::string kRatioPrefix = "decimal logarithm of mean estimator / exact number = ";
const std::string kMeanPrefix = "mean estimator = ";

pt::ptree ReadReport(const std::string& path) {
  std::istringstream in(ReadFile(path));
  pt::ptree tree;
  pt::read_xml(in, tree);
  return tree;
}

double DoubleOf(const pt::ptree& tree, const std::string& key) {
  return std::strtod(tree.get<std::string>(key).c_str(), nullptr);
}

std::vector<std::string> ChildNames(const pt::ptree& tree) {
  std::vector<std::string> names;
  for (const auto& child : tree) names.push_back(child.first);
  return names;
}

// Text after `prefix` on the line that starts with it; fails the test when
// there is no such line.
std::string ValueOf(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines)
    if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
  ADD_FAILURE() << "no line starts with \"" << prefix << "\"";
  return "";
}

std::string ConsoleDouble(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

std::string PassageLine(unsigned id, unsigned origin, unsigned destination, double departure,
                        double arrival) {
  std::ostringstream line;
  line << id << ',' << origin << ',' << destination << ',' << departure << ',' << arrival << '\n';
  return line.str();
}

const std::string kHeader = "id,origin,destination,departure,arrival\n";

TEST(QuorlinExact, WithoutTheSwitchTheRunIsUnchanged) {
  TempDir dir;
  const std::string report = dir.File("report.xml");
  const ProgramResult run =
      RunQuorlin({"--timetable", kDayTable, "--B", "2", "--N", "3", "--seed", "5", "--outpath",
                  report});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 9u) << run.out;
  EXPECT_EQ(lines[8].rfind("Run time: ", 0), 0u);
  EXPECT_EQ(run.out.find("exact"), std::string::npos);
  const pt::ptree tree = ReadReport(report);
  EXPECT_FALSE(tree.get_child("SE").get_child_optional("exact_number_of_decompositions"));
  EXPECT_FALSE(tree.get_child("SE").get_child_optional("relative_deviation_from_exact"));
}

TEST(QuorlinExact, HelpListsTheSwitchAfterTheUnchangedProgramOptions) {
  const ProgramResult run = RunQuorlin({"--help"});
  EXPECT_EQ(run.status, 1);
  const std::vector<std::string> lines = SplitLines(run.out);
  std::size_t outpath = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i)
    if (lines[i].rfind("  --outpath arg", 0) == 0) outpath = i;
  ASSERT_LT(outpath + 3, lines.size()) << run.out;
  // The program's own options keep their column: descriptions start at 24.
  EXPECT_EQ(lines[outpath], "  --outpath arg         output file (optional)");
  EXPECT_NE(run.out.find("\n  --help                produce help message\n"), std::string::npos)
      << run.out;
  EXPECT_EQ(lines[outpath + 1], "");
  EXPECT_EQ(lines[outpath + 2], "Extensions:");
  EXPECT_EQ(lines[outpath + 3].rfind("  --exact ", 0), 0u) << lines[outpath + 3];
}

TEST(QuorlinExact, SwitchAddsFourLinesBeforeTheRunTimeAndFiveReportElements) {
  TempDir dir;
  const std::string report = dir.File("report.xml");
  const ProgramResult run = RunQuorlin({"--timetable", kDayTable, "--B", "2", "--N", "4",
                                        "--seed", "9", "--exact", "--outpath", report});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 13u) << run.out;
  EXPECT_EQ(lines[7].rfind("Relative Error for estimator = ", 0), 0u);
  EXPECT_EQ(lines[8].rfind(kExactPrefix, 0), 0u);
  EXPECT_EQ(lines[9].rfind(kDeviationPrefix, 0), 0u);
  EXPECT_EQ(lines[10].rfind(kRatioPrefix, 0), 0u);
  EXPECT_EQ(lines[11], "minimum number of chains = 6");
  EXPECT_EQ(lines[12].rfind("Run time: ", 0), 0u);

  const pt::ptree se = ReadReport(report).get_child("SE");
  const std::vector<std::string> names = ChildNames(se);
  ASSERT_GE(names.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(names.end() - 5, names.end()),
            (std::vector<std::string>{"exact_number_of_decompositions",
                                      "exact_number_of_decompositions_log10",
                                      "relative_deviation_from_exact", "log10_ratio_to_exact",
                                      "minimum_number_of_chains"}));
  EXPECT_EQ(names[names.size() - 6], "decompositions");
  EXPECT_EQ(se.get<std::string>("minimum_number_of_chains"), "6");

  const mpz_class exact(se.get<std::string>("exact_number_of_decompositions"));
  ASSERT_GT(exact, 0);
  const double log10 = DoubleOf(se, "exact_number_of_decompositions_log10");
  EXPECT_NEAR(log10, std::log10(exact.get_d()), 1e-12);
  if (exact.get_str().size() <= 20) {
    EXPECT_EQ(ValueOf(lines, kExactPrefix), exact.get_str());
  }

  const double mean = DoubleOf(se, "se_counting_estimator");
  const double deviation = (mean - exact.get_d()) / exact.get_d();
  EXPECT_NEAR(DoubleOf(se, "relative_deviation_from_exact"), deviation, 1e-15);
  EXPECT_EQ(ValueOf(lines, kDeviationPrefix), ConsoleDouble(deviation));
  const double ratio = std::log10(mean) - log10;
  EXPECT_NEAR(DoubleOf(se, "log10_ratio_to_exact"), ratio, 1e-12);
  EXPECT_NEAR(std::stod(ValueOf(lines, kRatioPrefix)), ratio, 0.0005 + 1e-12);
}

// Small timetables with ties, overnight flights and round trips.
std::string RandomSmallTimetable(std::mt19937_64& engine) {
  std::uniform_int_distribution<int> count(4, 7);
  std::uniform_int_distribution<unsigned> terminal(1, 2);
  std::uniform_int_distribution<int> hour(0, 5);
  std::uniform_int_distribution<int> percent(0, 99);
  std::string text = kHeader;
  const int n = count(engine);
  for (int k = 0; k < n; ++k) {
    const unsigned origin = terminal(engine);
    unsigned destination = terminal(engine);
    double departure = 4.0 * hour(engine);
    double arrival = 4.0 * hour(engine);
    if (percent(engine) < 20) {
      destination = origin;
      if (arrival > departure) std::swap(arrival, departure);
    }
    text += PassageLine(static_cast<unsigned>(10 + k), origin, destination, departure, arrival);
  }
  return text;
}

TEST(QuorlinExact, FullyEnumeratedRunsFindTheExactCount) {
  TempDir dir;
  std::mt19937_64 engine(77);
  for (int trial = 0; trial < 12; ++trial) {
    const std::string table = dir.Write("small.csv", RandomSmallTimetable(engine));
    const ProgramResult run = RunQuorlin(
        {"--timetable", table, "--B", "100000", "--N", "1", "--seed", "1", "--exact"});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_EQ(ValueOf(lines, "is fully enumerated = "), "1") << ReadFile(table);
    EXPECT_EQ(ValueOf(lines, kExactPrefix), ValueOf(lines, kMeanPrefix)) << ReadFile(table);
    EXPECT_EQ(ValueOf(lines, kDeviationPrefix), "0") << ReadFile(table);
  }
}

TEST(QuorlinExact, CountsBeyondTwentyDigitsUseExponentNotation) {
  // Fifteen terminals, each with four arrivals that all connect to four
  // departures: 24 maximum matchings per terminal, 24^15 in all.
  std::string text = kHeader;
  unsigned id = 1;
  for (unsigned board = 1; board <= 15; ++board) {
    for (int k = 0; k < 4; ++k) text += PassageLine(id++, 1000 + board, board, 0.0, 1.0);
    for (int k = 0; k < 4; ++k) text += PassageLine(id++, board, 2000 + board, 5.0, 6.0);
  }
  TempDir dir;
  const std::string report = dir.File("report.xml");
  const ProgramResult run =
      RunQuorlin({"--timetable", dir.Write("boards.csv", text), "--B", "1", "--N", "1", "--seed",
                  "2", "--exact", "--outpath", report});
  ASSERT_EQ(run.status, 0) << run.out;

  mpz_class expected;
  mpz_ui_pow_ui(expected.get_mpz_t(), 24, 15);
  char printed[64];
  std::snprintf(printed, sizeof printed, "%g", expected.get_d());  // 24^15 is exactly a double
  EXPECT_EQ(ValueOf(SplitLines(run.out), kExactPrefix), printed);
  EXPECT_EQ(ReadReport(report).get<std::string>("SE.exact_number_of_decompositions"),
            expected.get_str());
}

TEST(QuorlinExact, DuplicatePassageNumbersMakeTheCountUnavailable) {
  TempDir dir;
  const std::string table =
      dir.Write("dup.csv", kHeader + PassageLine(1, 1, 2, 8, 9) + PassageLine(2, 2, 1, 10, 11) +
                               PassageLine(1, 1, 2, 12, 13));
  const std::string report = dir.File("report.xml");
  const ProgramResult run = RunQuorlin(
      {"--timetable", table, "--N", "2", "--seed", "3", "--exact", "--outpath", report});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 11u) << run.out;
  EXPECT_EQ(lines[8], kExactPrefix + "unavailable (duplicate passage numbers)");
  // The graph attaches number 1's pairs to its later passage: it matches
  // two pairs of the three passages.
  EXPECT_EQ(lines[9], "minimum number of chains = 1");
  EXPECT_EQ(run.out.find(kDeviationPrefix), std::string::npos);
  const pt::ptree se = ReadReport(report).get_child("SE");
  EXPECT_FALSE(se.get_child_optional("exact_number_of_decompositions"));
  EXPECT_FALSE(se.get_child_optional("exact_number_of_decompositions_log10"));
  EXPECT_FALSE(se.get_child_optional("relative_deviation_from_exact"));
  EXPECT_FALSE(se.get_child_optional("log10_ratio_to_exact"));
  EXPECT_EQ(se.get<std::string>("minimum_number_of_chains"), "1");
}

TEST(QuorlinExact, NoRepetitionsGiveNotANumberDeviation) {
  TempDir dir;
  const std::string report = dir.File("report.xml");
  const ProgramResult run = RunQuorlin(
      {"--timetable", kDayTable, "--N", "0", "--seed", "3", "--exact", "--outpath", report});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = SplitLines(run.out);
  EXPECT_EQ(ValueOf(lines, kDeviationPrefix), ValueOf(lines, kMeanPrefix));
  EXPECT_TRUE(std::isnan(std::strtod(ValueOf(lines, kDeviationPrefix).c_str(), nullptr)));
  const pt::ptree se = ReadReport(report).get_child("SE");
  EXPECT_EQ(se.get<std::string>("relative_deviation_from_exact"),
            se.get<std::string>("se_counting_estimator"));
}

}  // namespace
