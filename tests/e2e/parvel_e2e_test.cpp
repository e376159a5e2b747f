// Parvel end to end: console lines, the OPT report, reproducibility.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <sstream>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "bipartite/BGraph.h"
#include "bipartite/DecompositionVerifier.h"
#include "common/TimeTable.h"
#include "support/ParvelOutput.h"
#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n";

// Chains 10,20,30 (balanced, rest 19) and 40 (not balanced, rest 23).
const std::string kFourPassages =
    "passage,origin,destination,departure,arrival\n"
    "10,1,2,6,7\n20,2,3,8,9\n30,3,1,10,11\n40,4,5,12,13\n";

}  // namespace

TEST(ParvelRun, SmallDayReportIsWrittenExactly) {
  TempDir dir;
  const std::string table = dir.Write("day.csv", kFourPassages);
  const std::string outpath = dir.File("opt.xml");
  const ProgramResult result = RunParvel({"--timetable", table, "--N", "2", "--seed", "4",
                                          "--record_performance_by_iteration", "1", "--outpath",
                                          outpath});
  const auto counts = CheckConsole(result, "2", "11");
  EXPECT_EQ(counts.first.balanced, 1);
  EXPECT_EQ(counts.first.rest, 2);
  EXPECT_EQ(WithoutElapsed(ReadFile(outpath)),
            kDeclaration +
                "<OPT version=\"1.0\"><decomposition_size>2</decomposition_size>"
                "<number_of_balanced_chains>1</number_of_balanced_chains>"
                "<treshold_rest>11</treshold_rest>"
                "<number_of_chains_with_rest>2</number_of_chains_with_rest>"
                "<elapsed_seconds/><opt_decomp><chain>10,20,30</chain><chain>40</chain>"
                "<performance><balances>1,1</balances><rest>2,2</rest></performance>"
                "</opt_decomp></OPT>");
}

TEST(ParvelRun, ZeroIterationsWithAndWithoutRecording) {
  TempDir dir;
  const std::string table = dir.Write("day.csv", kFourPassages);
  for (const char* record : {"1", "0"}) {
    const std::string outpath = dir.File(std::string("opt") + record + ".xml");
    const ProgramResult result =
        RunParvel({"--timetable", table, "--N", "0", "--record_performance_by_iteration", record,
                   "--outpath", outpath});
    const auto counts = CheckConsole(result, "0", "11");
    EXPECT_EQ(counts.first.balanced, counts.second.balanced);
    EXPECT_EQ(counts.first.rest, counts.second.rest);
    const std::string report = ReadFile(outpath);
    if (std::string(record) == "1") {
      EXPECT_NE(report.find("<chain>40</chain><performance><balances/><rest/></performance>"
                            "</opt_decomp></OPT>"),
                std::string::npos)
          << report;
    } else {
      EXPECT_EQ(report.find("performance"), std::string::npos) << report;
      EXPECT_NE(report.find("<chain>40</chain></opt_decomp></OPT>"), std::string::npos);
    }
    EXPECT_NE(report.back(), '\n');
  }
}

TEST(ParvelRun, AnyNonZeroRecordingValueRecords) {
  TempDir dir;
  const std::string table = dir.Write("day.csv", kFourPassages);
  for (const char* record : {"2", "-1"}) {
    const std::string outpath = dir.File("opt.xml");
    const ProgramResult result =
        RunParvel({"--timetable", table, "--N", "3", "--record_performance_by_iteration", record,
                   "--outpath", outpath});
    EXPECT_EQ(result.status, 0);
    const boost::property_tree::ptree tree = ParseReport(outpath);
    EXPECT_EQ(tree.get<std::string>("OPT.opt_decomp.performance.balances"), "1,1,1") << record;
    EXPECT_EQ(tree.get<std::string>("OPT.opt_decomp.performance.rest"), "2,2,2") << record;
  }
}

TEST(ParvelRun, ThresholdByPrefixOfItsOptionName) {
  TempDir dir;
  const std::string table = dir.Write("day.csv", kFourPassages);
  const std::string outpath = dir.File("opt.xml");
  // Chain 10,20,30 rests 19 h, chain 40 rests 23 h.
  const ProgramResult result =
      RunParvel({"--timetable", table, "--N", "5", "--treshold", "19.5", "--outpath", outpath});
  const auto counts = CheckConsole(result, "5", "19.5");
  EXPECT_EQ(counts.second.rest, 1);
  const ProgramResult nineAndAHalf =
      RunParvel({"--timetable", table, "--N", "1", "--treshold", "9.5", "--outpath", outpath});
  CheckConsole(nineAndAHalf, "1", "9.5");
  const boost::property_tree::ptree tree = ParseReport(outpath);
  EXPECT_EQ(tree.get<std::string>("OPT.treshold_rest"), "9.5");
  EXPECT_EQ(std::stoi(tree.get<std::string>("OPT.number_of_chains_with_rest")), 2);
}

TEST(ParvelRun, TimetableWithoutConnectionsGivesOneChainPerPassage) {
  TempDir dir;
  const std::string table = dir.Write(
      "day.csv", "p,o,d,dep,arr\n3,1,1,6,7\n1,2,3,6,20\n2,4,5,5,6\n");  // nothing connects
  const std::string outpath = dir.File("opt.xml");
  const ProgramResult result =
      RunParvel({"--timetable", table, "--N", "20", "--seed", "2",
                 "--record_performance_by_iteration", "1", "--outpath", outpath});
  const auto counts = CheckConsole(result, "20", "11");
  EXPECT_EQ(counts.first.balanced, 1);
  EXPECT_EQ(counts.first.rest, 2);
  EXPECT_EQ(counts.second.balanced, 1);
  EXPECT_EQ(counts.second.rest, 2);
  const std::string report = ReadFile(outpath);
  EXPECT_NE(report.find("<opt_decomp><chain>3</chain><chain>1</chain><chain>2</chain>"
                        "<performance>"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("<decomposition_size>3</decomposition_size>"), std::string::npos);
}

// 12 flies overnight back to where 11 leaves: 11 -> 12 -> 11 closes a
// rotation (listed as the chain 11,12, balanced, beside 13 alone), while
// 11 -> 12 -> 13 covers the day with one unbalanced chain.
TEST(ParvelRun, OvernightCycleDoesNotCostAnExtraChain) {
  TempDir dir;
  const std::string table =
      dir.Write("day.csv", "p,o,d,dep,arr\n11,1,2,8,9\n12,2,1,10,7.5\n13,1,3,7.75,8.5\n");
  for (const char* seed : {"1", "2", "3", "4", "5"}) {
    const std::string outpath = dir.File(std::string("opt") + seed + ".xml");
    const ProgramResult result =
        RunParvel({"--timetable", table, "--N", "50", "--seed", seed, "--outpath", outpath});
    const auto counts = CheckConsole(result, "50", "11");
    EXPECT_EQ(counts.second.balanced, 0) << "seed " << seed;
    const boost::property_tree::ptree tree = ParseReport(outpath);
    EXPECT_EQ(tree.get<std::string>("OPT.decomposition_size"), "1") << "seed " << seed;
    EXPECT_EQ(tree.get<std::string>("OPT.opt_decomp.chain"), "11,12,13") << "seed " << seed;
  }
}

TEST(ParvelRun, EmptyTimetableGivesAnEmptyDecomposition) {
  TempDir dir;
  const std::string table = dir.Write("day.csv", "p,o,d,dep,arr\n");
  const std::string outpath = dir.File("opt.xml");
  ProgramResult result = RunParvel({"--timetable", table, "--N", "4", "--outpath", outpath});
  EXPECT_EQ(result.err, "Warning: timetable " + table +
                            ": no passages were read; is the separator a comma?\n");
  result.err.clear();
  const auto counts = CheckConsole(result, "4", "11");
  EXPECT_EQ(counts.second.balanced, 0);
  const std::string report = ReadFile(outpath);
  EXPECT_NE(report.find("<decomposition_size>0</decomposition_size>"), std::string::npos);
  EXPECT_NE(report.find("<opt_decomp/></OPT>"), std::string::npos) << report;
}

TEST(ParvelRun, SameSeedRepeatsConsoleAndReport) {
  TempDir dir;
  const std::string table = std::string(EXAMPLES_DIR) + "/day.csv";
  std::vector<std::string> outputs;
  std::vector<std::string> reports;
  for (const char* name : {"a.xml", "b.xml"}) {
    const ProgramResult result =
        RunParvel({"--timetable", table, "--N", "400", "--seed", "7",
                   "--record_performance_by_iteration", "1", "--outpath", dir.File(name)});
    ASSERT_EQ(result.status, 0);
    std::vector<std::string> lines = SplitLines(result.out);
    ASSERT_EQ(lines.size(), 6u);
    lines.pop_back();  // run time
    std::string joined;
    for (const std::string& line : lines) joined += line + "\n";
    outputs.push_back(joined);
    reports.push_back(WithoutElapsed(ReadFile(dir.File(name))));
  }
  EXPECT_EQ(outputs[0], outputs[1]);
  EXPECT_EQ(reports[0], reports[1]);
  EXPECT_NE(reports[0].find("<chain>"), std::string::npos);
}

// The example day, checked against the timetable read independently: every
// chain is flyable, the chains cover every passage once, and the reported
// counts are those of the reported chains.
TEST(ParvelRun, ExampleDayReportIsConsistent) {
  TempDir dir;
  const std::string tablePath = std::string(EXAMPLES_DIR) + "/day.csv";
  const std::string outpath = dir.File("opt.xml");
  const ProgramResult result =
      RunParvel({"--timetable", tablePath, "--N", "1000", "--seed", "3",
                 "--record_performance_by_iteration", "1", "--outpath", outpath});
  const auto counts = CheckConsole(result, "1000", "11");
  const Counts initial = counts.first;
  const Counts final = counts.second;
  EXPECT_TRUE(final.balanced > initial.balanced ||
              (final.balanced == initial.balanced && final.rest >= initial.rest));

  const std::string text = ReadFile(outpath);
  ASSERT_EQ(text.compare(0, kDeclaration.size(), kDeclaration), 0);
  EXPECT_EQ(text.find('\n', kDeclaration.size()), std::string::npos);

  const boost::property_tree::ptree tree = ParseReport(outpath);
  const boost::property_tree::ptree& opt = tree.get_child("OPT");
  EXPECT_EQ(ChildNames(opt),
            (std::vector<std::string>{"<xmlattr>", "decomposition_size",
                                      "number_of_balanced_chains", "treshold_rest",
                                      "number_of_chains_with_rest", "elapsed_seconds",
                                      "opt_decomp"}));
  EXPECT_EQ(opt.get<std::string>("<xmlattr>.version"), "1.0");
  EXPECT_EQ(std::stoi(opt.get<std::string>("number_of_balanced_chains")), final.balanced);
  EXPECT_EQ(std::stoi(opt.get<std::string>("number_of_chains_with_rest")), final.rest);
  EXPECT_EQ(opt.get<std::string>("treshold_rest"), "11");
  EXPECT_GE(std::stod(opt.get<std::string>("elapsed_seconds")), 0.0);

  const std::map<unsigned, Flight> flights = ReadFlights(tablePath);
  std::multiset<unsigned> covered;
  int balanced = 0;
  int rested = 0;
  std::size_t chains = 0;
  BGraph::Decomposition parsed;
  const boost::property_tree::ptree& decomp = opt.get_child("opt_decomp");
  for (const auto& child : decomp) {
    if (child.first != "chain") {
      EXPECT_EQ(child.first, "performance");
      continue;
    }
    ++chains;
    const std::vector<unsigned> chain = SplitNumbers(child.second.data());
    ASSERT_FALSE(chain.empty());
    parsed.push_back(BGraph::Chain(chain.begin(), chain.end()));
    for (std::size_t k = 0; k < chain.size(); ++k) {
      covered.insert(chain[k]);
      if (k == 0) continue;
      const Flight& before = flights.at(chain[k - 1]);
      const Flight& after = flights.at(chain[k]);
      EXPECT_EQ(after.origin, before.destination) << chain[k - 1] << " -> " << chain[k];
      EXPECT_GE(after.departure, before.arrival) << chain[k - 1] << " -> " << chain[k];
    }
    const Flight& first = flights.at(chain.front());
    const Flight& last = flights.at(chain.back());
    if (last.destination == first.origin) ++balanced;
    if (24.0 - last.arrival + first.departure >= 11.0) ++rested;
  }
  EXPECT_EQ(std::stoul(opt.get<std::string>("decomposition_size")), chains);
  EXPECT_EQ(chains, MinimumChainCount(flights)) << "the search left the minimum decompositions";
  EXPECT_EQ(balanced, final.balanced);
  EXPECT_EQ(rested, final.rest);
  std::multiset<unsigned> all;
  for (const auto& entry : flights) all.insert(entry.first);
  EXPECT_EQ(covered, all);
  TimeTable table;
  table.LoadInstance(tablePath);
  EXPECT_EQ(VerifyDecomposition(table, parsed), "") << "a minimum decomposition, no loop";
  EXPECT_EQ(ChildNames(decomp).back(), "performance");

  const std::vector<int> balances =
      SplitSigned(decomp.get<std::string>("performance.balances"));
  const std::vector<int> rests = SplitSigned(decomp.get<std::string>("performance.rest"));
  ASSERT_EQ(balances.size(), 1000u);
  ASSERT_EQ(rests.size(), 1000u);
  for (std::size_t k = 1; k < balances.size(); ++k) EXPECT_GE(balances[k], balances[k - 1]);
  EXPECT_GE(balances.front(), initial.balanced);
  EXPECT_EQ(balances.back(), final.balanced);
  EXPECT_EQ(rests.back(), final.rest);
}

TEST(ParvelRun, HelpEndsWithTheUsageLine) {
  const ProgramResult result = RunParvel({"--help"});
  EXPECT_EQ(result.status, 1);
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[2], "* Local search procedure for Dilworth's problem             * ");
  EXPECT_EQ(lines.back(),
            " (Usage example: Parvel --timetable <path to timetable> --N <Maximum iterations "
            "number>  --treshold <the rest time between flights> --seed <seed> --outpath "
            "<outpath for external output analysis>)");
  EXPECT_NE(result.out.find("--record_performance_by_iteration arg"), std::string::npos);
}
