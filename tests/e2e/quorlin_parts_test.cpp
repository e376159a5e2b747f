// Quorlin with --split and --importance, end to end: the two new console
// lines, the report elements and the trace agree with the summary; days
// every part of which is enumerated give the exact count and valid, distinct
// decompositions; the true minimum number of chains of --exact; and bad
// settings are refused.

#include <cmath>
#include <cstdlib>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>
#include <gtest/gtest.h>

#include "bipartite/DecompositionVerifier.h"
#include "common/Poset.h"
#include "support/ProgramRunner.h"
#include "support/SmallDays.h"
#include "support/TempFile.h"
#include "support/Timetables.h"

namespace {

namespace pt = boost::property_tree;

const std::string kDay = std::string(EXAMPLES_DIR) + "/day.csv";

pt::ptree ReadReport(const std::string& path) {
  std::istringstream in(ReadFile(path));
  pt::ptree tree;
  pt::read_xml(in, tree);
  return tree.get_child("SE");
}

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

// The text after `prefix` on the line that starts with it.
std::string After(const std::vector<std::string>& lines, const std::string& prefix) {
  for (const std::string& line : lines)
    if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
  ADD_FAILURE() << "no line \"" << prefix << "...\"";
  return "";
}

std::vector<std::vector<std::uint32_t>> Chains(const pt::ptree& decomp) {
  std::vector<std::vector<std::uint32_t>> chains;
  for (const auto& child : decomp) {
    if (child.first != "chain") continue;
    std::vector<std::uint32_t> chain;
    std::istringstream in(child.second.data());
    std::string number;
    while (std::getline(in, number, ',')) chain.push_back(static_cast<std::uint32_t>(std::stoul(number)));
    chains.push_back(chain);
  }
  return chains;
}

std::string TimetableCsv(const std::vector<Passage>& passages) {
  std::ostringstream text;
  text.precision(17);
  text << "id,origin,destination,departure,arrival\n";
  for (const Passage& p : passages)
    text << p.id << ',' << p.origin << ',' << p.destination << ',' << p.departure << ','
         << p.arrival << '\n';
  return text.str();
}

}  // namespace

TEST(QuorlinParts, LinesReportAndTraceAgree) {
  TempDir dir;
  const std::string report = dir.File("report.xml");
  const std::string trace = dir.File("trace.csv");
  const ProgramResult run = RunQuorlin(
      {"--timetable", kDay, "--B", "2", "--N", "5", "--seed", "3", "--exact", "--split", "boards",
       "--importance", "sinkhorn", "--vertex_order", "degree", "--outpath", report, "--trace",
       trace});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 15u) << run.out;
  EXPECT_EQ(lines[7].rfind("Relative Error for estimator = ", 0), 0u);
  EXPECT_EQ(lines[8].rfind("decimal logarithm of the estimate = ", 0), 0u);
  EXPECT_EQ(lines[9].rfind("components = ", 0), 0u);
  EXPECT_EQ(lines[10].rfind("exact number of decompositions = ", 0), 0u);
  EXPECT_EQ(lines[13], "minimum number of chains = 6");
  EXPECT_EQ(lines[14].rfind("Run time: ", 0), 0u);

  const double mean = Number(After(lines, "mean estimator = "));
  const double relativeError = Number(After(lines, "Relative Error for estimator = "));
  const std::string uncertainty = After(lines, "decimal logarithm of the estimate = ");
  EXPECT_NEAR(Number(uncertainty), std::log10(mean), 1e-3);
  const double standardError = Number(uncertainty.substr(uncertainty.find("standard error = ") + 17));
  EXPECT_NEAR(standardError, relativeError / std::log(10.0), 0.006 * standardError);

  const pt::ptree se = ReadReport(report);
  std::vector<std::string> names;
  for (const auto& child : se) names.push_back(child.first);
  const std::vector<std::string> tail = {
      "exact_number_of_decompositions", "exact_number_of_decompositions_log10",
      "relative_deviation_from_exact", "log10_ratio_to_exact", "minimum_number_of_chains",
      "vertex_order", "split", "importance", "components", "components_exact", "log10_estimate",
      "log10_standard_error"};
  ASSERT_GE(names.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(names.end() - static_cast<long>(tail.size()), names.end()),
            tail);
  EXPECT_EQ(se.get<std::string>("split"), "boards");
  EXPECT_EQ(se.get<std::string>("importance"), "sinkhorn");
  const double reportMean = Number(se.get<std::string>("se_counting_estimator"));
  const double reportError = Number(se.get<std::string>("se_counting_estimator_re"));
  const double log10Error = Number(se.get<std::string>("log10_standard_error"));
  EXPECT_NEAR(reportError, log10Error * std::log(10.0), 1e-12 * reportError);
  EXPECT_NEAR(Number(se.get<std::string>("se_counting_estimator_std")),
              reportError * reportMean * std::sqrt(5.0), 1e-9 * reportMean);
  EXPECT_NEAR(Number(se.get<std::string>("log10_estimate")), std::log10(reportMean), 1e-12);
  EXPECT_EQ(lines[9], "components = " + se.get<std::string>("components") +
                          ", counted exactly = " + se.get<std::string>("components_exact"));
  EXPECT_EQ(se.get<std::string>("minimum_number_of_chains"), "6");

  // Every reported decomposition is a minimum one of the day, all distinct.
  TimeTable table;
  table.LoadInstance(kDay);
  std::set<std::vector<std::vector<std::uint32_t>>> distinct;
  for (const auto& child : se.get_child("decompositions")) {
    const std::vector<std::vector<std::uint32_t>> chains = Chains(child.second);
    EXPECT_EQ(VerifyDecomposition(table, chains, kAnyClosedRotations), "");
    distinct.insert(chains);
  }
  EXPECT_EQ(distinct.size(), se.get<std::size_t>("decomposition_number"));
  EXPECT_LE(distinct.size(), 2u);

  const std::vector<std::string> rows = SplitLines(ReadFile(trace));
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0],
            "repetition,estimate,log10_estimate,running_mean,log10_running_mean,"
            "running_relative_error,fully_enumerated,seconds,log10_exact,log10_standard_error");
  std::vector<std::string> last;
  std::istringstream fields(rows[5]);
  for (std::string field; std::getline(fields, field, ',');) last.push_back(field);
  ASSERT_EQ(last.size(), 10u);
  EXPECT_EQ(last[3], se.get<std::string>("se_counting_estimator"));
  EXPECT_EQ(last[5], se.get<std::string>("se_counting_estimator_re"));
  EXPECT_EQ(last[9], se.get<std::string>("log10_standard_error"));
}

TEST(QuorlinParts, EnumeratedDaysGiveTheCountAndTheMinimumNumberOfChains) {
  std::mt19937 rng(31);
  TempDir dir;
  for (int trial = 0; trial < 12; ++trial) {
    std::vector<Passage> passages = RandomPassages(rng, 4 + trial % 6);
    for (std::size_t k = 0; k < passages.size(); ++k) passages[k].id = static_cast<std::uint32_t>(1 + k);
    const std::string path = dir.Write("day" + std::to_string(trial) + ".csv", TimetableCsv(passages));
    const std::string report = dir.File("report" + std::to_string(trial) + ".xml");
    const ProgramResult run = RunQuorlin(
        {"--timetable", path, "--B", "100000", "--N", "2", "--exact", "--split", "boards",
         "--importance", trial % 2 ? "sinkhorn" : "uniform", "--outpath", report});
    ASSERT_EQ(run.status, 0) << run.out;
    const std::vector<std::string> lines = SplitLines(run.out);
    EXPECT_EQ(After(lines, "is fully enumerated = "), "1") << run.out;
    EXPECT_EQ(After(lines, "relative deviation of the mean estimator from the exact number = "),
              "0")
        << run.out;
    const std::string components = After(lines, "components = ");
    EXPECT_EQ(components.substr(components.find(", counted exactly = ") + 20),
              components.substr(0, components.find(',')));

    TimeTable table = MakeTable(passages);
    Poset poset;
    poset.CreatePoset(table);
    MaximumMatchingEnumerator enumerator(static_cast<int>(passages.size()), SplitEdges(table, poset));
    const std::size_t count = enumerator.MaximumMatchings().size();
    EXPECT_EQ(Number(After(lines, "mean estimator = ")), static_cast<double>(count));
    EXPECT_EQ(After(lines, "minimum number of chains = "),
              std::to_string(passages.size() - enumerator.MaximumSize()));

    const pt::ptree se = ReadReport(report);
    std::set<std::vector<std::vector<std::uint32_t>>> distinct;
    for (const auto& child : se.get_child("decompositions")) {
      const std::vector<std::vector<std::uint32_t>> chains = Chains(child.second);
      EXPECT_EQ(VerifyDecomposition(table, chains, kAnyClosedRotations), "") << "trial " << trial;
      distinct.insert(chains);
    }
    EXPECT_EQ(distinct.size(), se.get<std::size_t>("decomposition_number"));
  }
}

TEST(QuorlinParts, BadSettingsAreRefused) {
  const ProgramResult zero = RunQuorlin({"--timetable", kDay, "--B", "0", "--split", "boards"});
  EXPECT_EQ(zero.status, 1);
  EXPECT_EQ(zero.out, "--split and --importance need a budget B of at least 1\n");
  for (const std::vector<std::string>& bad :
       {std::vector<std::string>{"--split", "tiles"}, {"--importance", "exact"}}) {
    std::vector<std::string> args = {"--timetable", kDay};
    args.insert(args.end(), bad.begin(), bad.end());
    const ProgramResult run = RunQuorlin(args);
    EXPECT_EQ(run.status, 1) << bad[0];
    EXPECT_NE(run.out.find("Allowed options"), std::string::npos) << run.out;
  }
}
