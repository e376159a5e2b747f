// Parvel's extension options end to end: the exchange search (with
// re-pairing proposals), the bound, the progress line of both programs on a
// terminal.

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "localsearch/LocalSearchTestSupport.h"
#include "support/ParvelOutput.h"
#include "support/ProgramRunner.h"
#include "support/TempFile.h"

namespace {

const std::string kDay = std::string(EXAMPLES_DIR) + "/day.csv";

std::string WithoutRunTime(const std::string& out) {
  return out.substr(0, out.rfind("Run time: "));
}

}  // namespace

TEST(ParvelExchange, ExampleDayReachesItsBoundAndReportsIt) {
  TempDir dir;
  const std::string report = dir.File("opt.xml");
  const ProgramResult result = RunParvel({"--timetable", kDay, "--search", "exchange", "--seed",
                                          "3", "--record_performance_by_iteration", "1",
                                          "--outpath", report});
  // The default: rounds and restarts by the day's size (a small day: the
  // most restarts).
  std::pair<int, int> rotations;
  const auto counts = CheckExtendedConsole(result, "Running exchange search: 5000 rounds, 8 restarts",
                                           "11", 2, &rotations);
  const std::vector<std::string> lines = SplitLines(result.out);
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_TRUE(StartsWith(lines[7], "best of 8 restarts: restart ")) << lines[7];
  EXPECT_EQ(lines[8], "upper bound on balanced chains = 6 (reached: optimal)");
  EXPECT_EQ(counts.second.balanced, 6);

  const boost::property_tree::ptree opt = ParseReport(report).get_child("OPT");
  EXPECT_EQ(ChildNames(opt),
            (std::vector<std::string>{
                "<xmlattr>", "decomposition_size", "number_of_balanced_chains", "treshold_rest",
                "number_of_chains_with_rest", "elapsed_seconds", "opt_decomp", "search",
                "balanced_upper_bound", "balanced_optimal", "rounds_per_entry", "restarts",
                "best_restart", "initial_decomposition_size",
                "initial_number_of_balanced_chains", "initial_number_of_chains_with_rest",
                "rounds"}));
  EXPECT_EQ(opt.get<std::string>("search"), "exchange");
  EXPECT_EQ(std::stoi(opt.get<std::string>("balanced_upper_bound")), 6);
  EXPECT_EQ(opt.get<std::string>("balanced_optimal"), "true");
  EXPECT_EQ(std::stoi(opt.get<std::string>("rounds_per_entry")), 3);
  EXPECT_EQ(std::stoi(opt.get<std::string>("rounds")), 5000);
  EXPECT_EQ(lines[7], "best of 8 restarts: restart " + opt.get<std::string>("best_restart"));
  EXPECT_EQ(std::stoi(opt.get<std::string>("number_of_balanced_chains")), counts.second.balanced);
  EXPECT_EQ(std::stoi(opt.get<std::string>("number_of_chains_with_rest")), counts.second.rest);
  EXPECT_EQ(std::stoi(opt.get<std::string>("initial_number_of_balanced_chains")),
            counts.first.balanced);
  EXPECT_EQ(std::stoi(opt.get<std::string>("initial_number_of_chains_with_rest")),
            counts.first.rest);
  EXPECT_EQ(std::stoi(opt.get<std::string>("initial_decomposition_size")), rotations.first);
  const std::map<unsigned, Flight> flights = ReadFlights(kDay);
  EXPECT_EQ(std::stoul(opt.get<std::string>("decomposition_size")), MinimumChainCount(flights));
  EXPECT_EQ(rotations.second, static_cast<int>(MinimumChainCount(flights)));
  ExpectValidChains(opt, flights);
  EXPECT_EQ(SplitSigned(opt.get<std::string>("opt_decomp.performance.balances")).size(), 1666u);

  // The same seed repeats the run.
  const std::string again = dir.File("again.xml");
  const ProgramResult repeat = RunParvel({"--timetable", kDay, "--search", "exchange", "--seed",
                                          "3", "--record_performance_by_iteration", "1",
                                          "--outpath", again});
  EXPECT_EQ(WithoutRunTime(repeat.out), WithoutRunTime(result.out));
  EXPECT_EQ(WithoutElapsed(ReadFile(again)), WithoutElapsed(ReadFile(report)));
}

TEST(ParvelExchange, AnExtensionOptionAddsTheRotationLinesAndInitialCountsOnly) {
  TempDir dir;
  std::vector<std::string> reports;
  std::vector<ProgramResult> results;
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{}, {"--search", "walk"}, {"--bound"}}) {
    reports.push_back(dir.File("r" + std::to_string(reports.size()) + ".xml"));
    std::vector<std::string> args = {"--timetable", kDay, "--N", "300", "--seed", "5",
                                     "--outpath", reports.back()};
    args.insert(args.end(), extra.begin(), extra.end());
    results.push_back(RunParvel(args));
  }
  const auto plainCounts = CheckConsole(results[0], "300", "11");
  const std::vector<std::string> plain = SplitLines(results[0].out);
  const std::string plainReport = WithoutElapsed(ReadFile(reports[0]));
  const boost::property_tree::ptree opt = ParseReport(reports[0]).get_child("OPT");
  for (std::size_t k = 1; k < results.size(); ++k) {
    const bool bounded = k == 2;
    std::pair<int, int> rotations;
    const auto counts = CheckExtendedConsole(results[k], plain[0], "11", bounded ? 1 : 0, &rotations);
    EXPECT_EQ(std::to_string(rotations.second), opt.get<std::string>("decomposition_size"));
    EXPECT_EQ(counts.second.balanced, plainCounts.second.balanced);
    const std::vector<std::string> lines = SplitLines(results[k].out);
    EXPECT_EQ(lines[2], plain[2]);
    EXPECT_EQ(lines[5], plain[4]);
    std::string tail =
        "<initial_decomposition_size>" + std::to_string(rotations.first) +
        "</initial_decomposition_size><initial_number_of_balanced_chains>" +
        std::to_string(plainCounts.first.balanced) +
        "</initial_number_of_balanced_chains><initial_number_of_chains_with_rest>" +
        std::to_string(plainCounts.first.rest) + "</initial_number_of_chains_with_rest></OPT>";
    if (bounded) {
      EXPECT_TRUE(StartsWith(lines[7], "upper bound on balanced chains = 6"));
      tail = "<search>walk</search><balanced_upper_bound>6</balanced_upper_bound>"
             "<balanced_optimal>" +
             std::string(counts.second.balanced == 6 ? "true" : "false") +
             "</balanced_optimal>" + tail;
    }
    EXPECT_EQ(WithoutElapsed(ReadFile(reports[k])),
              plainReport.substr(0, plainReport.size() - 6) + tail);
  }
}

// Overnight passages close 103 on itself and 102, 104 into a cycle in the
// walk's start (2 rotations, 1 balanced, meeting its bound of 1): a single
// rotation covers the day all the same, so the start is not optimal.
TEST(ParvelBound, AStartKeepingAClosedRotationIsNotClaimedOptimal) {
  TempDir dir;
  const std::string day = dir.Write("cyclic.csv",
                                    "passage,origin,destination,departure,arrival\n"
                                    "101,1,2,1,12\n102,2,2,23,12\n103,1,1,12,1\n104,2,2,22,1\n");
  const std::string report = dir.File("opt.xml");
  const ProgramResult walk =
      RunParvel({"--timetable", day, "--N", "0", "--bound", "--outpath", report});
  ASSERT_EQ(walk.status, 0) << walk.out;
  const std::vector<std::string> lines = SplitLines(walk.out);
  ASSERT_EQ(lines.size(), 9u) << walk.out;
  EXPECT_EQ(lines[6], "final rotations: 2");
  EXPECT_EQ(lines[7], "upper bound on balanced chains = 1");
  EXPECT_EQ(ParseReport(report).get<std::string>("OPT.balanced_optimal"), "false");

  const ProgramResult exchange = RunParvel({"--timetable", day, "--search", "exchange", "--seed", "1"});
  EXPECT_NE(exchange.out.find("final rotations: 1\n"), std::string::npos) << exchange.out;
  EXPECT_NE(exchange.out.find("upper bound on balanced chains = 0 (reached: optimal)\n"),
            std::string::npos) << exchange.out;
}

TEST(ParvelExchange, UnknownSearchIsACommandLineErrorAndOwnAbbreviationsStay) {
  const ProgramResult bad = RunParvel({"--timetable", kDay, "--search", "tabu"});
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.out.find("--search arg"), std::string::npos);
  EXPECT_EQ(bad.out.find("final performance"), std::string::npos);

  // "--se" named the seed before "--search" existed, and still does.
  const ProgramResult abbreviated = RunParvel({"--timetable", kDay, "--N", "50", "--se", "4"});
  const ProgramResult full = RunParvel({"--timetable", kDay, "--N", "50", "--seed", "4"});
  EXPECT_EQ(abbreviated.status, 0) << abbreviated.out;
  EXPECT_EQ(WithoutRunTime(abbreviated.out), WithoutRunTime(full.out));
}

TEST(ProgressLine, OnATerminalOnlyAndErasedWithStandardOutputUnchanged) {
  struct Case {
    std::string program;
    std::vector<std::string> args;
    std::string line;
  };
  const std::vector<Case> cases = {
      {PARVEL_BIN, {"--timetable", kDay, "--N", "2000", "--seed", "2"}, "Parvel: iteration "},
      {PARVEL_BIN,
       {"--timetable", kDay, "--search", "exchange", "--N", "2000", "--seed", "2"},
       "Parvel: round "},
      {PARVEL_BIN,
       {"--timetable", kDay, "--search", "exchange", "--seed", "2"},
       "Parvel: restarts "},
      {QUORLIN_BIN, {"--timetable", kDay, "--B", "5", "--N", "20", "--seed", "1"},
       "Quorlin: repetition "},
  };
  for (const Case& run : cases) {
    const ProgramResult piped = RunProgram(run.program, run.args);
    const ProgramResult onTerminal = RunProgramOnTerminal(run.program, run.args);
    EXPECT_EQ(onTerminal.status, 0);
    EXPECT_TRUE(piped.err.empty()) << piped.err;
    EXPECT_EQ(WithoutRunTime(onTerminal.out), WithoutRunTime(piped.out));
    const std::string& err = onTerminal.err;
    ASSERT_FALSE(err.empty()) << run.line;
    EXPECT_NE(err.find("\r" + run.line), std::string::npos) << err;
    EXPECT_EQ(err.find('\n'), std::string::npos) << err;
    // Erased at the end: blanks over the last line, back to its start.
    const std::size_t lastStart = err.rfind('\r', err.size() - 2);
    ASSERT_NE(lastStart, std::string::npos);
    EXPECT_EQ(err.back(), '\r');
    EXPECT_EQ(err.substr(lastStart + 1, err.size() - lastStart - 2).find_first_not_of(' '),
              std::string::npos)
        << err;
  }
}

TEST(ParvelExchange, RepairingAndPolishKeepValidRepeatableResultsAndBadOptionsStop) {
  TempDir dir;
  std::mt19937 random(12);
  std::ostringstream csv;
  csv << "passage,origin,destination,departure,arrival\n";
  for (const Passage& p : lstest::RandomDay(200, 6, random).passages)
    csv << p.id << ',' << p.origin << ',' << p.destination << ',' << p.departure << ','
        << p.arrival << '\n';
  const std::string table = dir.Write("day.csv", csv.str());
  const std::map<unsigned, Flight> flights = ReadFlights(table);
  std::vector<std::string> reports;
  std::vector<std::string> outs;
  for (const char* threads : {"1", "2"}) {
    reports.push_back(dir.File(std::string("opt") + threads + ".xml"));
    const ProgramResult run =
        RunParvel({"--timetable", table, "--search", "exchange", "--seed", "4", "--N", "400",
                   "--restarts", "3", "--threads", threads, "--exchange_repair", "0.5",
                   "--exchange_polish", "--outpath", reports.back()});
    const auto counts = CheckExtendedConsole(run, "Running exchange search: 400 rounds, 3 restarts",
                                             "11", 2);
    EXPECT_TRUE(counts.second.balanced > counts.first.balanced ||
                (counts.second.balanced == counts.first.balanced &&
                 counts.second.rest >= counts.first.rest));
    outs.push_back(WithoutRunTime(run.out));
    const boost::property_tree::ptree opt = ParseReport(reports.back()).get_child("OPT");
    const std::vector<std::string> names = ChildNames(opt);
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[names.size() - 2], "exchange_repair");
    EXPECT_EQ(names.back(), "exchange_polish");
    EXPECT_EQ(opt.get<std::string>("exchange_repair"), "0.5");
    EXPECT_EQ(opt.get<std::string>("exchange_polish").find_first_not_of("0123456789"),
              std::string::npos);
    EXPECT_EQ(std::stoul(opt.get<std::string>("decomposition_size")), MinimumChainCount(flights));
    ExpectValidChains(opt, flights);
  }
  EXPECT_EQ(outs[0], outs[1]);
  EXPECT_EQ(WithoutElapsed(ReadFile(reports[0])), WithoutElapsed(ReadFile(reports[1])));

  const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
      {{"--search", "exchange", "--exchange_repair", "1.5"},
       "--exchange_repair must be a share from 0 to 1: \"1.5\""},
      {{"--search", "exchange", "--exchange_repair", "nan"},
       "--exchange_repair must be a share from 0 to 1: \"nan\""},
      {{"--exchange_repair", "0.2"}, "--exchange_repair needs --search exchange"},
      {{"--exchange_polish"}, "--exchange_polish needs --search exchange"},
  };
  for (const auto& [options, line] : bad) {
    std::vector<std::string> args = {"--timetable", kDay};
    args.insert(args.end(), options.begin(), options.end());
    const ProgramResult run = RunParvel(args);
    EXPECT_EQ(run.status, 1) << line;
    EXPECT_EQ(run.out, line + "\n");
  }
}
