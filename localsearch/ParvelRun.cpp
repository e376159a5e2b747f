#include "localsearch/ParvelRun.h"

#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <random>
#include <string>
#include <vector>

#include <boost/program_options.hpp>
#include <boost/property_tree/ptree.hpp>

#include "bipartite/BGraph.h"
#include "bipartite/TimetableGraph.h"
#include "certify/Certificate.h"
#include "common/MemoryLimit.h"
#include "common/ProgramFrame.h"
#include "common/TimeTable.h"
#include "common/ProgressLine.h"
#include "common/RotationsCsv.h"
#include "common/RunStart.h"
#include "localsearch/BalancedBound.h"
#include "localsearch/Decomposition.h"
#include "localsearch/ExchangePlan.h"
#include "localsearch/ExchangeSearch.h"
#include "localsearch/ExtensionOutput.h"
#include "localsearch/ParvelExtensions.h"
#include "localsearch/Restarts.h"
#include "localsearch/Search.h"
#include "localsearch/SearchBounds.h"
#include "localsearch/SearchMemory.h"
#include "localsearch/SearchStop.h"
#include "parallel/Ranks.h"
#include "parallel/WorkerPool.h"

namespace po = boost::program_options;

namespace {

const char* const kTitleLine = "* Local search procedure for Dilworth's problem             * \n";
const char* const kUsageLine =
    " (Usage example: Parvel --timetable <path to timetable> --N <Maximum iterations number>  "
    "--treshold <the rest time between flights> --seed <seed> --outpath <outpath for external "
    "output analysis>)";

template <typename T>
std::string JoinWithCommas(const std::vector<T>& values) {
  std::string text;
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (k > 0) text += ",";
    text += std::to_string(values[k]);
  }
  return text;
}

void PrintCounts(const char* label, int balanced, int rest, double threshold) {
  std::cout << label << " performance: # of balanced chains: " << balanced
            << " # of chains with rest time >= " << threshold << ": " << rest << std::endl;
}

struct FinalResult {
  BGraph::Decomposition decomposition;
  int balanced = 0;
  int rest = 0;
};

// What a search leaves for the report: its best counts, best matching and
// recorded course.
struct SearchResult {
  DecompositionCounts best;
  BGraph::Matching matching;
  std::vector<int> balances;
  std::vector<int> rests;
  unsigned int iterationsPerEntry = 1;
  bool timeLimitReached = false;
  unsigned int polishedBoards = 0;
};

SearchResult ResultOf(const Search& search) {
  const auto* exchange = dynamic_cast<const ExchangeSearch*>(&search);
  return {search.BestCounts(), search.BestMatching(), search.Balances(), search.Rests(),
          search.IterationsPerEntry(), search.Stopped() == StopReason::TimeLimit,
          exchange != nullptr ? exchange->Polished().improvements : 0};
}

SearchResult ResultOf(RestartOutcome outcome) {
  return {outcome.best,          std::move(outcome.matching), std::move(outcome.balances),
          std::move(outcome.rests), outcome.iterationsPerEntry, outcome.timeLimitReached,
          outcome.polishedBoards};
}

boost::property_tree::ptree BuildReport(const FinalResult& result, double threshold,
                                        double elapsedSeconds, const SearchResult& search,
                                        bool recordPerformance) {
  boost::property_tree::ptree report;
  report.add("OPT.<xmlattr>.version", "1.0");
  report.add("OPT.decomposition_size", result.decomposition.size());
  report.add("OPT.number_of_balanced_chains", result.balanced);
  report.add("OPT.treshold_rest", threshold);
  report.add("OPT.number_of_chains_with_rest", result.rest);
  report.add("OPT.elapsed_seconds", elapsedSeconds);
  boost::property_tree::ptree& decomp = report.add("OPT.opt_decomp", "");
  for (const BGraph::Chain& chain : result.decomposition)
    decomp.add("chain", JoinWithCommas(chain));
  if (recordPerformance) {
    decomp.add("performance.balances", JoinWithCommas(search.balances));
    decomp.add("performance.rest", JoinWithCommas(search.rests));
  }
  return report;
}

using BoundResult = BalancedClaim;

BoundResult BoundOf(const SearchBounds& bounds, const DecompositionCounts& best) {
  return ClaimBalanced(bounds, best);
}

void PrintBound(const BoundResult& bound) {
  std::cout << "upper bound on balanced chains = " << bound.bound
            << (bound.optimal ? " (reached: optimal)" : "") << std::endl;
}

// A run of several restarts: how many, and which won.
struct RestartsRun {
  unsigned int restarts = 0;  // 0: a single search without restarts
  unsigned int best = 0;
};

// Extension elements come after every element of the plain report.
void AddExtensions(boost::property_tree::ptree& report, const parvel::ExtensionSettings& settings,
                   const BoundResult& bound, const SearchResult& search, bool recordPerformance,
                   const RestartsRun& restarts) {
  report.add("OPT.search", SearchKindName(settings.search));
  report.add("OPT.balanced_upper_bound", bound.bound);
  report.add("OPT.balanced_optimal", bound.optimal);
  if (settings.search == SearchKind::Exchange && recordPerformance)
    report.add("OPT.rounds_per_entry", search.iterationsPerEntry);
  if (restarts.restarts > 0) {
    report.add("OPT.restarts", restarts.restarts);
    report.add("OPT.best_restart", restarts.best);
  }
}

// Restarts finished and time, while the restarts run.
ProgressLine::Text RestartsProgressText(const std::atomic<unsigned int>& finished,
                                        unsigned int restarts) {
  return [&finished, restarts](double seconds) {
    std::ostringstream text;
    text << "Parvel: restarts " << finished.load(std::memory_order_relaxed) << "/" << restarts
         << " done here, " << std::fixed << std::setprecision(1) << seconds << " s";
    return text.str();
  };
}

// The best of this rank's restarts, pooled at the leader with the other
// ranks' (a rank without restarts sends nothing). At the leader, the winner.
RestartOutcome RunSharedRestarts(const parallel::Ranks& ranks, const RestartPlan& plan,
                                 unsigned int restarts, BGraph& graph, TimeTable& table,
                                 const BGraph::Matching& start, parallel::WorkerPool& workers,
                                 std::atomic<unsigned int>& finished) {
  const std::vector<unsigned int> mine = ranks.Share(restarts);
  std::vector<std::uint64_t> message;
  if (!mine.empty())
    message = PackRestart(RunRestarts(mine, plan, graph, table, start, workers, &finished));
  const std::vector<std::vector<std::uint64_t>> messages = ranks.Gather(message);
  std::vector<RestartOutcome> outcomes;
  for (const std::vector<std::uint64_t>& words : messages)
    if (!words.empty()) outcomes.push_back(UnpackRestart(words));
  if (outcomes.empty()) return {};
  return BestRestart(outcomes);
}

// Iterations done, best counts and time, while the search runs.
ProgressLine::Text ProgressText(const Search& search, SearchKind kind, unsigned int iterations) {
  const char* unit = kind == SearchKind::Exchange ? "round " : "iteration ";
  return [&search, unit, iterations](double seconds) {
    const Search::Progress& progress = search.Progressing();
    std::ostringstream text;
    text << "Parvel: " << unit << progress.done.load(std::memory_order_relaxed) << "/"
         << iterations << ", best " << progress.balanced.load(std::memory_order_relaxed)
         << " balanced, " << progress.rest.load(std::memory_order_relaxed) << " rested, "
         << std::fixed << std::setprecision(1) << seconds << " s";
    return text.str();
  };
}

int Run(int argc, char* argv[], const parallel::Ranks& ranks) {
  unsigned int iterations = 1000;
  double tresholdRest = 11.0;
  int recordPerformance = 0;
  std::string outpath;

  po::options_description desc(frame::MakeBanner(kTitleLine), 80, 40);
  desc.add_options()
      ("help", "produce help message")
      ("timetable", po::value<std::string>(), "input timetable instance file")
      ("N", po::value<unsigned int>(&iterations), "Maximum iterations (N) (default is 1000)")
      ("treshold_rest", po::value<double>(&tresholdRest),
       "the rest time between flights in hours (default is 11 h)")
      ("seed", po::value<int>(), "random number generator seed (default is none)")
      ("record_performance_by_iteration", po::value<int>(&recordPerformance),
       "record performance (1 - yes, 0 otherwise) (default is 0)")
      ("outpath", po::value<std::string>(&outpath), "output file (optional)");
  parvel::ExtensionSettings settings;
  const po::options_description extensionOptions = parvel::MakeExtensionOptions(settings);
  frame::RunStart run(desc, "Extensions", extensionOptions, kUsageLine);

  const frame::Clock::time_point start = frame::Clock::now();
  try {
    const int status = run.Parse(argc, argv, {"N"});
    if (status >= 0) return status;
    const po::variables_map& vm = run.Options();

    const bool restartsGiven = vm.count("restarts") > 0;
    if (restartsGiven && settings.search != SearchKind::Exchange)
      return frame::RunStart::Stop("--restarts needs --search exchange");
    const int extensionStatus = parvel::CheckExtensionValues(settings);
    if (extensionStatus >= 0) return extensionStatus;
    const bool extended = parvel::AnyGiven(vm, extensionOptions);
    const bool restarting = settings.search == SearchKind::Exchange &&
                            PlanUsesRestarts(vm.count("N") > 0, restartsGiven);
    const FollowRule rule = settings.minTurn.Rule();
    // A single search: the leader runs alone.
    if (!ranks.Runs(restarting, "Parvel: a single search runs on rank 0 alone; --restarts "
                                "shares independent searches among the ranks"))
      return 0;

    output::OutputFiles outputs;
    outputs.Add("report", outpath);
    outputs.Add("rotations", settings.rotationsPath);
    frame::RunStart::Ground ground(settings.maxMemory.bytes);
    if (run.Lay(restarting, [&ranks](std::uint32_t value) { return ranks.Broadcast(value); },
                ranks.IsLeader() ? &outputs : nullptr, settings.strict, rule, ground) >= 0)
      return 1;
    if (!ground.fit.fits) return frame::RunStart::Stop(ground.fit.message);
    TimeTable& table = ground.table;
    memory::Plan& plan = ground.plan;
    BGraph graph;
    InitGraphFromTimetable(table, rule, graph);
    // The exchange search's default schedule goes by the graph's rows, so
    // the searches' memory is planned once the graph stands.
    const ExchangePlan schedule = PlanExchange(
        vm.count("N") > 0 ? std::optional<unsigned int>(iterations) : std::nullopt,
        restartsGiven ? std::optional<unsigned int>(settings.restarts.value) : std::nullopt,
        RowsWithCells(graph));
    PlanSearches(plan, table.passages.size(),
                 settings.search == SearchKind::Exchange ? schedule.rounds : iterations,
                 recordPerformance != 0, settings.search, settings.threads.value,
                 restarting ? ranks.Share(schedule.restarts).size() : 0);
    if (!plan.Fits()) return frame::RunStart::Stop(plan.Refusal());
    SearchStop ending = parvel::TimeLimitStop(settings, start);
    std::unique_ptr<certify::Certificate> certificate;
    if (settings.certify) {
      certify::Settings certifying;
      certifying.seconds = settings.certifySeconds.value;
      certifying.minTurn = rule.minTurn;
      certifying.memoryLimit = settings.maxMemory.bytes;
      // The time limit caps the whole run, the certificate included.
      if (ending.hasDeadline) {
        certifying.timeLimit = settings.timeLimit.seconds;
        certifying.deadline = ending.deadline;
      }
      certificate = std::make_unique<certify::Certificate>(graph, table, certifying);
      if (certificate->Refused()) return frame::RunStart::Stop(certificate->RefusalLine());
    }
    const bool recording = recordPerformance != 0;
    memory::SetActivity("running the search");
    std::unique_ptr<parallel::WorkerPool> workers;
    if (restarting) {
      workers = parallel::StartRunWorkers(settings.threads.value);
      if (!workers) return 1;
    }
    parvel::PrintRunLine(settings.search, iterations, schedule);
    BGraph::Matching startMatching;
    SearchBounds bounds;
    DecompositionCounts initialCounts;
    SearchResult searched;
    RestartsRun restarts;
    if (restarting) {
      startMatching = graph.GetMaxMatching();
      bounds = CombinatorialBounds(graph, table, startMatching);
      FinalResult initial;
      BGraph::Matching startCopy = startMatching;
      initial.decomposition = graph.GetDillworthDecompositionFromMatching(startCopy);
      Decomposition::GetNumberOfBalancedAndRest(table, initial.decomposition, initial.balanced,
                                                initial.rest, tresholdRest);
      initialCounts = {static_cast<int>(initial.decomposition.size()), initial.balanced,
                       initial.rest};
      PrintCounts("initial", initial.balanced, initial.rest, tresholdRest);
      if (extended) parvel::PrintRotations("initial", initialCounts.chains);
      std::cout << std::endl;
      std::atomic<unsigned int> finished{0};
      restarts.restarts = schedule.restarts;
      RestartPlan restartPlan;
      restartPlan.seed = ground.streamSeed;
      restartPlan.rounds = schedule.rounds;
      restartPlan.threshold = tresholdRest;
      restartPlan.recordPerformance = recording;
      restartPlan.rule = rule;
      restartPlan.schedule.repairShare = settings.repair.share;
      if (settings.polish) restartPlan.schedule = WithPolish(restartPlan.schedule);
      restartPlan.bounds = &bounds;
      restartPlan.hasDeadline = ending.hasDeadline;
      restartPlan.deadline = ending.deadline;
      RestartOutcome winner;
      {
        ProgressLine progress(RestartsProgressText(finished, restarts.restarts),
                              ranks.IsLeader() && ProgressLine::StandardErrorIsTerminal());
        winner = RunSharedRestarts(ranks, restartPlan, restarts.restarts, graph, table,
                                   startMatching, *workers, finished);
      }
      if (!ranks.IsLeader()) return 0;
      restarts.best = winner.index;
      searched = ResultOf(std::move(winner));
    } else {
      const std::unique_ptr<Search> search =
          MakeSearch(settings.search, graph, table, ground.engine, tresholdRest, recording, rule,
                     settings.repair.share, settings.polish);
      initialCounts = search->Initial();
      PrintCounts("initial", initialCounts.balanced, initialCounts.rest, tresholdRest);
      if (extended) parvel::PrintRotations("initial", initialCounts.chains);
      std::cout << std::endl;
      const bool withBound = settings.bound || settings.search != SearchKind::Walk;
      if (withBound) {
        bounds = CombinatorialBounds(graph, table, search->StartMatching());
        ending.bounds = &bounds;
      }
      search->SetStop(ending);
      const unsigned int steps = settings.search == SearchKind::Exchange ? schedule.rounds : iterations;
      {
        ProgressLine progress(ProgressText(*search, settings.search, steps));
        search->Run(steps);
      }
      startMatching = search->StartMatching();
      searched = ResultOf(*search);
    }
    if (certificate) {
      certificate->Run(graph, table, tresholdRest, searched.matching, searched.best);
      searched.timeLimitReached = searched.timeLimitReached || certificate->TimeLimitReached();
    }
    PrintCounts("final", searched.best.balanced, searched.best.rest, tresholdRest);
    if (extended) parvel::PrintRotations("final", searched.best.chains);
    if (restarting)
      std::cout << "best of " << restarts.restarts
                << (restarts.restarts == 1 ? " restart: restart " : " restarts: restart ")
                << restarts.best
                << std::endl;
    if (searched.timeLimitReached) parvel::PrintTimeLimitReached(settings.timeLimit.seconds);
    const bool withBound = settings.bound || settings.search != SearchKind::Walk;
    BoundResult bound;
    if (withBound) {
      bound = BoundOf(bounds, searched.best);
      PrintBound(bound);
    }
    if (certificate) certificate->Print();
    const frame::Clock::time_point stop = frame::Clock::now();
    memory::SetActivity("building the report");
    FinalResult result;
    result.decomposition = graph.GetDillworthDecompositionFromMatching(searched.matching);
    Decomposition::GetNumberOfBalancedAndRest(table, result.decomposition, result.balanced,
                                              result.rest, tresholdRest);
    const double elapsed = frame::ElapsedSeconds(start, stop);
    boost::property_tree::ptree report =
        BuildReport(result, tresholdRest, elapsed, searched, recording);
    if (withBound) AddExtensions(report, settings, bound, searched, recording, restarts);
    if (certificate) certificate->AddToReport(report);
    if (extended)
      parvel::AddRunElements(report, settings, initialCounts, schedule, searched.timeLimitReached,
                             searched.polishedBoards);
    return frame::FinishRun(report, outputs, elapsed, [&](output::OutputFiles& files) {
      return files.Stage("rotations", [&](std::ostream& out) {
        WriteRotationsCsv(table, result.decomposition, out);
      });
    });
  } catch (const std::exception& error) {
    return frame::EndOnException(error, run.OptionsText());
  }
}

}  // namespace

int RunParvel(int argc, char* argv[], const parallel::Ranks& ranks) {
  return Run(argc, argv, ranks);
}
