// Quorlin end to end: console summary, report layout and values, and the
// edge runs (no repetitions, zero budget, a single decomposition,
// reproducibility with a seed).

#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <gtest/gtest.h>

#include "bipartite/BGraph.h"
#include "bipartite/DecompositionVerifier.h"
#include "common/Poset.h"
#include "common/TimeTable.h"
#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

namespace pt = boost::property_tree;

const std::string kDayTable = std::string(EXAMPLES_DIR) + "/day.csv";

const std::vector<std::string> kReportKeys = {
    "<xmlattr>",          "opt_number_of_chains",       "SE_Budget",
    "SE_Samples_N",       "is_fully_enumerated",        "se_counting_estimator",
    "se_counting_estimator_std", "se_counting_estimator_re", "exec_time_sec",
    "decomposition_number"};

struct Report {
  std::string text;
  pt::ptree tree;
  const pt::ptree& Root() const { return tree.get_child("SE"); }
  double Double(const std::string& key) const {
    return std::strtod(Root().get<std::string>(key).c_str(), nullptr);
  }
};

Report ReadReport(const std::string& path) {
  Report report;
  report.text = ReadFile(path);
  std::istringstream in(report.text);
  pt::read_xml(in, report.tree);
  return report;
}

std::string ConsoleDouble(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// Declaration line, then the element tree on one line, no final line feed.
void ExpectReportLayout(const Report& report, bool withDecompositions) {
  const std::string declaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";
  ASSERT_EQ(report.text.compare(0, declaration.size(), declaration), 0) << report.text;
  const std::string body = report.text.substr(declaration.size());
  EXPECT_EQ(body.find('\n'), std::string::npos);
  EXPECT_EQ(body.compare(0, 18, "<SE version=\"1.0\">"), 0) << body;
  EXPECT_EQ(body.substr(body.size() - 5), "</SE>");
  std::vector<std::string> keys;
  for (const auto& child : report.Root()) keys.push_back(child.first);
  std::vector<std::string> expected = kReportKeys;
  if (withDecompositions) expected.push_back("decompositions");
  EXPECT_EQ(keys, expected);
}

// The chain texts of every decomp element, checking the ids 1, 2, ...
std::vector<std::vector<std::string>> Decompositions(const Report& report) {
  std::vector<std::vector<std::string>> result;
  const auto found = report.Root().get_child_optional("decompositions");
  if (!found) return result;
  for (const auto& decomp : *found) {
    EXPECT_EQ(decomp.first, "decomp");
    EXPECT_EQ(decomp.second.get<std::string>("<xmlattr>.id"), std::to_string(result.size() + 1));
    std::vector<std::string> chains;
    for (const auto& chain : decomp.second)
      if (chain.first == "chain") chains.push_back(chain.second.data());
    result.push_back(chains);
  }
  return result;
}

std::vector<std::uint32_t> ParseChain(const std::string& text) {
  std::vector<std::uint32_t> ids;
  std::istringstream in(text);
  std::string piece;
  while (std::getline(in, piece, ','))
    ids.push_back(static_cast<std::uint32_t>(std::stoul(piece)));
  return ids;
}

// "Run time: <number> sec."
bool IsRunTimeLine(const std::string& line) {
  const std::string head = "Run time: ";
  const std::string tail = " sec.";
  if (line.size() <= head.size() + tail.size()) return false;
  if (line.compare(0, head.size(), head) != 0) return false;
  if (line.compare(line.size() - tail.size(), tail.size(), tail) != 0) return false;
  const std::string number = line.substr(head.size(), line.size() - head.size() - tail.size());
  return number.find_first_not_of("0123456789.e+-") == std::string::npos;
}

void ExpectRunTimeLine(const std::string& line) { EXPECT_TRUE(IsRunTimeLine(line)) << line; }

std::string WithoutExecTime(std::string report) {
  const std::size_t open = report.find("<exec_time_sec>");
  const std::size_t close = report.find("</exec_time_sec>");
  if (open != std::string::npos && close != std::string::npos)
    report.erase(open, close + std::string("</exec_time_sec>").size() - open);
  return report;
}

// Console lines without the run time, and the report without exec_time_sec.
std::pair<std::vector<std::string>, std::string> ComparableRun(const ProgramResult& result,
                                                               const std::string& reportPath) {
  std::vector<std::string> lines = SplitLines(result.out);
  if (!lines.empty()) lines.pop_back();
  const std::string report = WithoutExecTime(ReadFile(reportPath));
  return {lines, report};
}

class Quorlin : public testing::Test {
 protected:
  TempDir dir;
  std::string ReportPath() const { return dir.File("report.xml"); }
};

}  // namespace

TEST_F(Quorlin, DayTimetableSummaryAndReport) {
  const ProgramResult result = RunQuorlin({"--timetable", kDayTable, "--B", "5", "--N", "20",
                                           "--seed", "1", "--outpath", ReportPath()});
  ASSERT_EQ(result.status, 0) << result.out;
  EXPECT_TRUE(result.err.empty()) << result.err;
  ASSERT_EQ(result.out.back(), '\n');
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_EQ(lines.size(), 9u) << result.out;

  TimeTable table;
  table.LoadInstance(kDayTable);
  Poset poset;
  poset.CreatePoset(table);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  const std::size_t n = table.passages.size();
  const std::size_t chains = n - graph.GetCardinalityOfMaxMatching();

  const Report report = ReadReport(ReportPath());
  ExpectReportLayout(report, true);
  const std::string flag = report.Root().get<std::string>("is_fully_enumerated");
  ASSERT_TRUE(flag == "true" || flag == "false") << flag;
  const double mean = report.Double("se_counting_estimator");
  const double std = report.Double("se_counting_estimator_std");
  const double relativeError = report.Double("se_counting_estimator_re");

  EXPECT_EQ(lines[0], "Running SE with B=5 and N=20");
  EXPECT_EQ(lines[1], "optimal number of chains = " + std::to_string(chains));
  EXPECT_EQ(lines[2], "SE run:");
  EXPECT_EQ(lines[3], "Budget = 5");
  EXPECT_EQ(lines[4], "N (replications) = 20");
  EXPECT_EQ(lines[5], std::string("is fully enumerated = ") + (flag == "true" ? "1" : "0"));
  EXPECT_EQ(lines[6], "mean estimator = " + ConsoleDouble(mean));
  EXPECT_EQ(lines[7], "Relative Error for estimator = " + ConsoleDouble(relativeError));
  ExpectRunTimeLine(lines[8]);

  EXPECT_EQ(report.Root().get<std::string>("opt_number_of_chains"), std::to_string(chains));
  EXPECT_EQ(report.Root().get<std::string>("SE_Budget"), "5");
  EXPECT_EQ(report.Root().get<std::string>("SE_Samples_N"), "20");
  EXPECT_GE(mean, 1.0);
  EXPECT_NEAR(relativeError, std / mean / std::sqrt(20.0), 1e-12 * relativeError);
  EXPECT_GE(report.Double("exec_time_sec"), 0.0);

  // Up to B distinct decompositions, each covering every passage once along
  // the follow relation.
  const auto decompositions = Decompositions(report);
  EXPECT_EQ(report.Root().get<std::string>("decomposition_number"),
            std::to_string(decompositions.size()));
  EXPECT_GE(decompositions.size(), 1u);
  EXPECT_LE(decompositions.size(), 5u);
  EXPECT_EQ(std::set<std::vector<std::string>>(decompositions.begin(), decompositions.end()).size(),
            decompositions.size());
  const std::set<std::pair<std::uint32_t, std::uint32_t>> follows(poset.pairs.begin(),
                                                                  poset.pairs.end());
  for (const auto& decomposition : decompositions) {
    std::multiset<std::uint32_t> seen;
    BGraph::Decomposition parsed;
    for (const std::string& text : decomposition) {
      const std::vector<std::uint32_t> chain = ParseChain(text);
      parsed.push_back(chain);
      seen.insert(chain.begin(), chain.end());
      for (std::size_t k = 1; k < chain.size(); ++k)
        EXPECT_TRUE(follows.count({chain[k - 1], chain[k]})) << text;
    }
    EXPECT_EQ(seen.size(), n);
    EXPECT_EQ(std::set<std::uint32_t>(seen.begin(), seen.end()).size(), n);
    EXPECT_GE(decomposition.size(), chains);
    EXPECT_EQ(VerifyDecomposition(table, parsed, kAnyClosedRotations), "");
  }
}

TEST_F(Quorlin, SameSeedSameOutput) {
  const std::string second = dir.File("second.xml");
  const std::vector<std::string> args = {"--timetable", kDayTable, "--B", "2", "--N", "4",
                                         "--seed", "7", "--outpath"};
  std::vector<std::string> firstArgs = args;
  firstArgs.push_back(ReportPath());
  std::vector<std::string> secondArgs = args;
  secondArgs.push_back(second);
  const ProgramResult a = RunQuorlin(firstArgs);
  const ProgramResult b = RunQuorlin(secondArgs);
  ASSERT_EQ(a.status, 0);
  ASSERT_EQ(b.status, 0);
  EXPECT_EQ(ComparableRun(a, ReportPath()), ComparableRun(b, second));
  EXPECT_NE(ReadFile(ReportPath()).find("<decomp id=\"2\">"), std::string::npos);
}

TEST_F(Quorlin, NoRepetitionsReportNaNAndNoDecompositions) {
  const ProgramResult result =
      RunQuorlin({"--timetable", kDayTable, "--N", "0", "--outpath", ReportPath()});
  ASSERT_EQ(result.status, 0) << result.out;
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], "Running SE with B=1 and N=0");
  EXPECT_EQ(lines[5], "is fully enumerated = 0");
  const std::string meanPrefix = "mean estimator = ";
  const std::string errorPrefix = "Relative Error for estimator = ";
  ASSERT_EQ(lines[6].compare(0, meanPrefix.size(), meanPrefix), 0);
  ASSERT_EQ(lines[7].compare(0, errorPrefix.size(), errorPrefix), 0);
  EXPECT_TRUE(std::isnan(std::strtod(lines[6].c_str() + meanPrefix.size(), nullptr))) << lines[6];
  EXPECT_TRUE(std::isnan(std::strtod(lines[7].c_str() + errorPrefix.size(), nullptr))) << lines[7];
  ExpectRunTimeLine(lines[8]);

  const Report report = ReadReport(ReportPath());
  ExpectReportLayout(report, false);
  EXPECT_EQ(report.Root().get<std::string>("is_fully_enumerated"), "false");
  EXPECT_TRUE(std::isnan(report.Double("se_counting_estimator")));
  EXPECT_TRUE(std::isnan(report.Double("se_counting_estimator_std")));
  EXPECT_TRUE(std::isnan(report.Double("se_counting_estimator_re")));
  EXPECT_EQ(report.Root().get<std::string>("decomposition_number"), "0");
}

TEST_F(Quorlin, ZeroBudgetRunsAndReportsNaN) {
  const ProgramResult result =
      RunQuorlin({"--timetable", kDayTable, "--B", "0", "--N", "3", "--outpath", ReportPath()});
  ASSERT_EQ(result.status, 0) << result.out;
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[3], "Budget = 0");
  EXPECT_EQ(lines[5], "is fully enumerated = 0");
  const Report report = ReadReport(ReportPath());
  ExpectReportLayout(report, false);
  EXPECT_EQ(report.Root().get<std::string>("SE_Budget"), "0");
  EXPECT_TRUE(std::isnan(report.Double("se_counting_estimator")));
  EXPECT_EQ(report.Root().get<std::string>("decomposition_number"), "0");
}

TEST_F(Quorlin, SingleDecompositionIsExactWithoutSpread) {
  // 1 -> 2 -> 3 is the only way to link these passages; 4 stands alone.
  const std::string table = dir.Write(
      "line.csv", "passage,origin,destination,departure,arrival\n1,1,2,8,9\n2,2,3,10,11\n"
                  "3,3,4,12,13\n4,7,8,9,10\n");
  const ProgramResult result =
      RunQuorlin({"--timetable", table, "--B", "3", "--N", "6", "--outpath", ReportPath()});
  ASSERT_EQ(result.status, 0) << result.out;
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[1], "optimal number of chains = 2");
  EXPECT_EQ(lines[5], "is fully enumerated = 1");
  EXPECT_EQ(lines[6], "mean estimator = 1");
  EXPECT_EQ(lines[7], "Relative Error for estimator = 0");
  const Report report = ReadReport(ReportPath());
  ExpectReportLayout(report, true);
  EXPECT_EQ(report.Root().get<std::string>("is_fully_enumerated"), "true");
  EXPECT_EQ(report.Root().get<std::string>("se_counting_estimator"), "1");
  EXPECT_EQ(report.Root().get<std::string>("se_counting_estimator_std"), "0");
  EXPECT_EQ(report.Root().get<std::string>("se_counting_estimator_re"), "0");
  const std::string tail =
      "<decomposition_number>1</decomposition_number><decompositions><decomp id=\"1\">"
      "<chain>1,2,3</chain><chain>4</chain></decomp></decompositions></SE>";
  ASSERT_GE(report.text.size(), tail.size());
  EXPECT_EQ(report.text.substr(report.text.size() - tail.size()), tail);
}

TEST_F(Quorlin, SmallBudgetCoveringAllDecompositionsListsThemAll) {
  // Passage 1 may be followed by 2 or by 3: two minimum decompositions.
  const std::string table = dir.Write(
      "fork.csv", "passage,origin,destination,departure,arrival\n1,1,2,8,9\n2,2,3,10,11\n"
                  "3,2,4,10,11\n");
  const ProgramResult result =
      RunQuorlin({"--timetable", table, "--B", "2", "--N", "3", "--outpath", ReportPath()});
  ASSERT_EQ(result.status, 0) << result.out;
  const Report report = ReadReport(ReportPath());
  EXPECT_EQ(report.Root().get<std::string>("is_fully_enumerated"), "true");
  EXPECT_EQ(report.Root().get<std::string>("se_counting_estimator"), "2");
  const auto decompositions = Decompositions(report);
  EXPECT_EQ(std::set<std::vector<std::string>>(decompositions.begin(), decompositions.end()),
            (std::set<std::vector<std::string>>{{"1,2", "3"}, {"1,3", "2"}}));
}
