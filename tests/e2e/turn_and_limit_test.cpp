// The minimum turnaround time of both programs and the exchange search's
// time limit, end to end: results against a brute force over the
// timetable file, bad values refused with one line.

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <sstream>

#include "localsearch/LocalSearchTestSupport.h"
#include "support/ParvelOutput.h"
#include "support/ProgramRunner.h"
#include "support/SmallDays.h"
#include "support/TempFile.h"

namespace {

const std::string kDay = std::string(EXAMPLES_DIR) + "/day.csv";

std::string CsvOf(const std::vector<Passage>& passages) {
  std::ostringstream text;
  text << "passage,origin,destination,departure,arrival\n";
  for (const Passage& p : passages)
    text << p.id << ',' << p.origin << ',' << p.destination << ',' << p.departure << ','
         << p.arrival << '\n';
  return text.str();
}

std::string LineStartingWith(const std::string& out, const std::string& head) {
  for (const std::string& line : SplitLines(out))
    if (StartsWith(line, head)) return line.substr(head.size());
  return "(no line " + head + ")";
}

}  // namespace

TEST(MinTurn, ParvelChainsKeepTheTurnAndAreAsFewAsItAllows) {
  TempDir dir;
  const std::map<unsigned, Flight> flights = ReadFlights(kDay);
  for (const double turn : {0.5, 1.25}) {
    const std::string report = dir.File("opt.xml");
    std::ostringstream hours;
    hours << turn;
    const ProgramResult run = RunParvel({"--timetable", kDay, "--search", "exchange", "--N", "300",
                                         "--seed", "2", "--min_turn", hours.str(), "--outpath",
                                         report});
    ASSERT_EQ(run.status, 0) << run.out;
    const boost::property_tree::ptree opt = ParseReport(report).get_child("OPT");
    std::multiset<unsigned> covered;
    for (const auto& child : opt.get_child("opt_decomp")) {
      const std::vector<unsigned> chain = SplitNumbers(child.second.data());
      covered.insert(chain.begin(), chain.end());
      for (std::size_t k = 1; k < chain.size(); ++k) {
        const Flight& before = flights.at(chain[k - 1]);
        const Flight& after = flights.at(chain[k]);
        EXPECT_EQ(after.origin, before.destination);
        EXPECT_GE(after.departure, before.arrival + turn) << chain[k - 1] << " -> " << chain[k];
      }
    }
    EXPECT_EQ(covered.size(), flights.size());
    EXPECT_EQ(std::stoul(opt.get<std::string>("decomposition_size")),
              MinimumChainCount(flights, turn));
    EXPECT_GT(MinimumChainCount(flights, turn), MinimumChainCount(flights));
    EXPECT_EQ(opt.get<std::string>("min_turn"), hours.str());
  }
}

TEST(MinTurn, QuorlinCountsTheMaximumMatchingsOfTheTurnsRelation) {
  TempDir dir;
  std::mt19937 random(3);
  for (int trial = 0; trial < 4; ++trial) {
    std::vector<Passage> passages = RandomPassages(random, 9);
    for (std::size_t k = 0; k < passages.size(); ++k) passages[k].id = static_cast<std::uint32_t>(k + 1);
    const double turn = trial % 2 == 0 ? 2.0 : 0.5;
    const int n = static_cast<int>(passages.size());
    std::set<SplitEdge> edges;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        if (i != j && passages[j].origin == passages[i].destination &&
            passages[j].departure >= passages[i].arrival + turn)
          edges.emplace(i, n + j);
    const std::size_t count = MaximumMatchingEnumerator(n, edges).MaximumMatchings().size();
    const std::string table = dir.Write("day" + std::to_string(trial) + ".csv", CsvOf(passages));
    std::ostringstream hours;
    hours << turn;
    const ProgramResult run = RunQuorlin({"--timetable", table, "--N", "3", "--seed", "1",
                                          "--exact", "--min_turn", hours.str()});
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(LineStartingWith(run.out, "exact number of decompositions = "),
              std::to_string(count));
  }
}

TEST(MinTurn, BadTurnsAndTimeLimitsStopWithOneLine) {
  struct Case {
    bool parvel;
    std::vector<std::string> args;
    std::string line;
  };
  const std::vector<Case> cases = {
      {true, {"--min_turn", "-1"}, "--min_turn must be a number of hours from 0 to 24: \"-1\""},
      {false, {"--min_turn", "45"}, "--min_turn must be a number of hours from 0 to 24: \"45\""},
      {true, {"--search", "exchange", "--time_limit", "0"},
       "--time_limit must be a number of seconds above 0: \"0\""},
      {true, {"--search", "exchange", "--time_limit", "1s"},
       "--time_limit must be a number of seconds above 0: \"1s\""},
      {true, {"--time_limit", "5"}, "--time_limit needs --search exchange"},
  };
  for (const Case& bad : cases) {
    std::vector<std::string> args = {"--timetable", kDay};
    args.insert(args.end(), bad.args.begin(), bad.args.end());
    const ProgramResult run = bad.parvel ? RunParvel(args) : RunQuorlin(args);
    EXPECT_EQ(run.status, 1) << bad.line;
    EXPECT_EQ(run.out, bad.line + "\n");
  }
}

TEST(TimeLimit, EndsTheExchangeSearchAndSaysSo) {
  TempDir dir;
  std::mt19937 random(8);
  const std::string table = dir.Write("day.csv", CsvOf(lstest::RandomDay(1500, 30, random).passages));
  const std::string report = dir.File("opt.xml");
  const ProgramResult run = RunParvel({"--timetable", table, "--search", "exchange", "--seed",
                                       "1", "--time_limit", "0.05", "--outpath", report});
  ASSERT_EQ(run.status, 0) << run.out;
  const std::vector<std::string> lines = SplitLines(run.out);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "time limit of 0.05 s reached"), lines.end())
      << run.out;
  const boost::property_tree::ptree opt = ParseReport(report).get_child("OPT");
  EXPECT_EQ(opt.get<std::string>("time_limit"), "0.050000000000000003");
  EXPECT_EQ(opt.get<std::string>("time_limit_reached"), "true");
  EXPECT_EQ(std::stoul(opt.get<std::string>("decomposition_size")),
            MinimumChainCount(ReadFlights(table)));

  // The limit caps the certificate too: past it, no program is solved.
  const ProgramResult certified =
      RunParvel({"--timetable", table, "--search", "exchange", "--seed", "1", "--time_limit",
                 "0.05", "--certify"});
  ASSERT_EQ(certified.status, 0) << certified.out;
  const std::vector<std::string> certifiedLines = SplitLines(certified.out);
  ASSERT_GE(certifiedLines.size(), 3u);
  EXPECT_EQ(certifiedLines[certifiedLines.size() - 3].rfind(
                "LP bound skipped (the time limit of 0.05 s was reached): combinatorial upper "
                "bound on balanced chains = ", 0),
            0u)
      << certified.out;
  EXPECT_EQ(certifiedLines[certifiedLines.size() - 2],
            "LP bound on rested chains skipped: no LP bound on balanced chains");
}
