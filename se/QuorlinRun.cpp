#include "se/QuorlinRun.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <boost/program_options.hpp>
#include <boost/property_tree/ptree.hpp>

#include "bipartite/BGraph.h"
#include "bipartite/TimetableGraph.h"
#include "common/MemoryLimit.h"
#include "common/ProgramFrame.h"
#include "common/ProgressLine.h"
#include "common/RunStart.h"
#include "common/RotationsCsv.h"
#include "common/TimeTable.h"
#include "exact/ExactCountOutput.h"
#include "numeric/Statistics.h"
#include "numeric/WideDouble.h"
#include "parallel/Ranks.h"
#include "parallel/UsableCpus.h"
#include "parallel/WorkerPool.h"
#include "se/EstimateTrace.h"
#include "se/EstimatorMemory.h"
#include "se/PooledRepetitions.h"
#include "se/QuorlinExtensions.h"
#include "se/QuorlinParts.h"
#include "se/SE.h"
#include "se/VertexOrder.h"

namespace po = boost::program_options;

namespace {

const char* const kTitleLine =
    "* Stochastic Enumeration package for Dilworth's problem counting   * \n";
const char* const kUsageLine =
    " (Usage example: Quorlin --timetable <path to timetable> --B <SE budget> --N <SE "
    "repetitions number> --seed <seed> --outpath <outpath for external output analysis>)";

// Mean, deviation and relative error are wide doubles: the counts of real
// timetables lie far beyond the double range.
struct Summary {
  unsigned int chains = 0;
  bool isFullyEnumerated = false;
  WideDouble mean;
  WideDouble std;
  WideDouble relativeError;
};

void PrintSummary(const Summary& summary, unsigned int budget, unsigned int repetitions) {
  std::cout << "optimal number of chains = " << summary.chains << std::endl;
  std::cout << "SE run:" << std::endl;
  std::cout << "Budget = " << budget << std::endl;
  std::cout << "N (replications) = " << repetitions << std::endl;
  std::cout << "is fully enumerated = " << summary.isFullyEnumerated << std::endl;
  std::cout << "mean estimator = " << summary.mean << std::endl;
  std::cout << "Relative Error for estimator = " << summary.relativeError << std::endl;
}

std::string JoinChain(const BGraph::Chain& chain) {
  std::string text;
  for (std::size_t k = 0; k < chain.size(); ++k) {
    if (k > 0) text += ",";
    text += std::to_string(chain[k]);
  }
  return text;
}

void AddDecompositions(boost::property_tree::ptree& report,
                       const SE::DecompositionList& decompositions) {
  unsigned int id = 0;
  for (const BGraph::Decomposition& decomposition : decompositions) {
    boost::property_tree::ptree& decomp = report.add("SE.decompositions.decomp", "");
    decomp.add("<xmlattr>.id", ++id);
    for (const BGraph::Chain& chain : decomposition) decomp.add("chain", JoinChain(chain));
  }
}

// The report of a run without extension options.
boost::property_tree::ptree BuildReport(const Summary& summary, unsigned int budget,
                                        unsigned int repetitions, double elapsedSeconds,
                                        const SE::DecompositionList& decompositions) {
  boost::property_tree::ptree report;
  report.add("SE.<xmlattr>.version", "1.0");
  report.add("SE.opt_number_of_chains", summary.chains);
  report.add("SE.SE_Budget", budget);
  report.add("SE.SE_Samples_N", repetitions);
  report.add("SE.is_fully_enumerated", summary.isFullyEnumerated);
  report.add("SE.se_counting_estimator", summary.mean);
  report.add("SE.se_counting_estimator_std", summary.std);
  report.add("SE.se_counting_estimator_re", summary.relativeError);
  report.add("SE.exec_time_sec", elapsedSeconds);
  report.add("SE.decomposition_number", static_cast<std::uint64_t>(decompositions.size()));
  AddDecompositions(report, decompositions);
  return report;
}

// Stages the rotations and trace files asked for; false when one cannot be
// written.
bool StageExtensionFiles(output::OutputFiles& outputs, const TimeTable& table,
                         const SE::DecompositionList& decompositions, const EstimateTrace& trace,
                         const quorlin::ExtensionSettings& settings, const exact::ExactCount& count,
                         const QuorlinParts& partRun) {
  const double* exactLog10 = settings.exact && count.available ? &count.log10 : nullptr;
  return outputs.Stage("rotations",
                       [&](std::ostream& out) {
                         WriteRotationsCsv(
                             table, decompositions.empty() ? ChainList() : decompositions.front(),
                             out);
                       }) &&
         outputs.Stage("trace", [&](std::ostream& out) {
           if (partRun.Active())
             out << partRun.Trace(exactLog10);
           else
             trace.Write(out, exactLog10);
         });
}

// Repetition, level and running mean, while the estimator runs.
ProgressLine::Text ProgressText(const SE::Progress& progress, unsigned int repetitions) {
  return [&progress, repetitions](double seconds) {
    const unsigned int done = progress.repetitions.load(std::memory_order_relaxed);
    std::ostringstream text;
    if (!progress.concurrent.load(std::memory_order_relaxed)) {
      text << "Quorlin: repetition " << std::min(done + 1, repetitions) << "/" << repetitions
           << ", level " << progress.level.load(std::memory_order_relaxed) << "/"
           << progress.levels.load(std::memory_order_relaxed);
    } else {
      text << "Quorlin: " << done << "/" << repetitions << " repetitions done";
    }
    const double meanLog10 = progress.meanLog10.load(std::memory_order_relaxed);
    if (std::isfinite(meanLog10)) {
      const double exponent = std::floor(meanLog10);
      text << ", running mean " << std::fixed << std::setprecision(3)
           << std::pow(10.0, meanLog10 - exponent) << "e+" << std::setprecision(0) << exponent;
    }
    text << ", " << std::fixed << std::setprecision(1) << seconds << " s";
    return text.str();
  };
}

// Extension elements come after every element of the plain report.
void AddExtensions(boost::property_tree::ptree& report,
                   const quorlin::ExtensionSettings& settings, const exact::ExactCount& count,
                   const WideDouble& mean, std::size_t minimumChains, const QuorlinParts& partRun) {
  if (settings.exact) {
    exact::AddExactReport(report, count, mean);
    exact::AddMinimumChains(report, minimumChains);
  }
  if (settings.vertexOrder != VertexOrder::Random)
    report.add("SE.vertex_order", VertexOrderName(settings.vertexOrder));
  if (settings.streams != parallel::StreamKind::Single)
    report.add("SE.streams", parallel::StreamKindName(settings.streams));
  partRun.AddReport(report);
  if (settings.minTurn.given) report.add("SE.min_turn", settings.minTurn.hours);
}

// The runs with a stream per repetition: this process's share over its
// threads, pooled at the leader in repetition order. Elsewhere than at the
// leader the result is empty.
PooledRepetitions RunRepetitionStreams(SE& se, const parallel::Ranks& ranks, std::uint32_t seed,
                                       frame::Clock::time_point start) {
  SE::DecompositionList last;
  const std::vector<unsigned int> mine = ranks.Share(se.repetitions);
  const std::vector<SE::Repetition> ran = se.RunStreams(mine, seed, start, last);
  const bool hasLast = !mine.empty() && mine.back() + 1 == se.repetitions;
  const std::vector<std::vector<std::uint64_t>> messages =
      ranks.Gather(PackRepetitions(ran, hasLast ? &last : nullptr));
  if (!ranks.IsLeader()) return {};
  return PoolRepetitions(messages, se.repetitions);
}

int Run(int argc, char* argv[], const parallel::Ranks& ranks) {
  unsigned int budget = 1;
  unsigned int repetitions = 100;
  std::string outpath;

  po::options_description desc(frame::MakeBanner(kTitleLine), 80, 40);
  desc.add_options()
      ("help", "produce help message")
      ("timetable", po::value<std::string>(), "input timetable instance file")
      ("B", po::value<unsigned int>(&budget), "Stochastic Enumeration budget (B) (default is 1)")
      ("N", po::value<unsigned int>(&repetitions),
       "Stochastic Enumeration repetitions (N) (default is 100)")
      ("seed", po::value<int>(), "random number generator seed (default is none)")
      ("outpath", po::value<std::string>(&outpath), "output file (optional)");
  quorlin::ExtensionSettings settings;
  const po::options_description extensionOptions = quorlin::MakeExtensionOptions(settings);
  frame::RunStart run(desc, quorlin::kCaption, extensionOptions, kUsageLine);

  const frame::Clock::time_point start = frame::Clock::now();
  try {
    const int status = run.Parse(argc, argv, {"B", "N"});
    if (status >= 0) return status;
    QuorlinParts partRun(settings, budget, repetitions);
    if (!partRun.Refusal().empty()) return frame::RunStart::Stop(partRun.Refusal());
    if (!settings.minTurn.error.empty()) return frame::RunStart::Stop(settings.minTurn.error);
    const FollowRule rule = settings.minTurn.Rule();

    const bool streamPerRepetition = settings.streams == parallel::StreamKind::Repetition;
    // Runs made of parts draw from streams of their own, shared by the ranks.
    const bool ownStreams = streamPerRepetition || partRun.Active();
    // One stream orders every draw: the leader runs alone.
    if (!ranks.Runs(ownStreams, "Quorlin: with a single random stream rank 0 runs every "
                                "repetition; --streams repetition shares them among the ranks"))
      return 0;

    output::OutputFiles outputs;
    outputs.Add("report", outpath);
    outputs.Add("rotations", settings.rotationsPath);
    outputs.Add("trace", settings.tracePath);
    frame::RunStart::Ground ground(settings.maxMemory.bytes);
    if (run.Lay(ownStreams, [&ranks](std::uint32_t value) { return ranks.Broadcast(value); },
                ranks.IsLeader() ? &outputs : nullptr, settings.strict, rule, ground) >= 0)
      return 1;
    TimeTable& table = ground.table;
    memory::Plan& plan = ground.plan;
    // The graph's size is known from the boards before a pair is stored. An
    // exact count without runs needs no graph: its chain count then comes
    // from the boards (see README).
    const memory::GraphCheck& fit = ground.fit;
    exact::ExactCount count;
    if (!fit.fits && settings.exact && repetitions == 0)
      count = exact::CountMinimumDecompositions(table, rule);
    if (!fit.fits && !count.available) return frame::RunStart::Stop(fit.message);

    BGraph graph;
    unsigned int chains = static_cast<unsigned int>(table.passages.size() - count.matchingSize);
    BGraph::Matching maximum;
    std::size_t minimumChains = table.passages.size() - count.matchingSize;
    if (fit.fits) {
      InitGraphFromTimetable(table, rule, graph);
      // The reference decomposition is that of Edmonds' matching; the
      // estimator starts from the same matching instead of finding its own.
      maximum = graph.GetMaxMatching();
      minimumChains = table.passages.size() - maximum.size();
      chains = static_cast<unsigned int>(graph.GetDillworthDecompositionFromMatching(maximum).size());
      if (partRun.Active())
        partRun.AddToPlan(plan, graph, table.passages,
                          parallel::WorkersToRun(settings.threads.value), chains);
      else
        se_memory::PlanEstimator(plan, graph, budget, repetitions,
                                 settings.streams == parallel::StreamKind::Repetition,
                                 settings.threads.value, chains);
      if (!plan.Fits()) return frame::RunStart::Stop(plan.Refusal());
    }

    // The estimator keeps its own graph; the driver needs none after this,
    // so the graph moves instead of being copied (it is the largest object
    // of a run).
    SE se(std::move(graph), budget, repetitions, ground.engine);
    se.vertexOrder = settings.vertexOrder;
    if (fit.fits) se.startMatching = std::move(maximum);
    const std::unique_ptr<parallel::WorkerPool> workers =
        parallel::StartRunWorkers(settings.threads.value);
    if (!workers) return 1;
    if (workers->Workers() > 1) se.workers = workers.get();
    std::cout << "Running SE with B=" << budget << " and N=" << repetitions << std::endl;
    Summary summary;
    std::vector<WideDouble> estimates;
    SE::Progress progress;
    se.progress = &progress;
    EstimateTrace trace;
    if (!settings.tracePath.empty()) {
      se.onRepetition = [&trace, start](const WideDouble& estimate, bool fullyEnumerated) {
        trace.Add(estimate, fullyEnumerated, frame::ElapsedSeconds(start, frame::Clock::now()));
      };
    }
    ProgressLine progressLine(
        ProgressText(progress, repetitions),
        ranks.IsLeader() && !partRun.Active() && ProgressLine::StandardErrorIsTerminal());
    SE::DecompositionList decompositions;
    memory::SetActivity("running the estimator");
    if (partRun.Active()) {
      partRun.Run(se.graph, table, ground.streamSeed, se.workers, ranks.Rank(), ranks.Size(),
                  [&ranks](const std::vector<std::uint64_t>& words) { return ranks.Gather(words); },
                  start, ranks.IsLeader());
      if (!ranks.IsLeader()) return 0;
      decompositions = partRun.Decompositions(se.graph);
    } else if (streamPerRepetition) {
      PooledRepetitions pooled = RunRepetitionStreams(se, ranks, ground.streamSeed, start);
      if (!ranks.IsLeader()) return 0;
      estimates = std::move(pooled.estimates);
      for (unsigned int r = 0; r < repetitions; ++r)
        trace.Add(estimates[r], pooled.fullyEnumerated[r], pooled.seconds[r]);
      summary.isFullyEnumerated = repetitions > 0 && pooled.fullyEnumerated.back();
      decompositions = std::move(pooled.last);
    } else {
      decompositions = se.RunSE(summary.isFullyEnumerated, estimates);
    }
    progressLine.Erase();
    if (partRun.Active()) {
      partRun.Statistics(summary.mean, summary.std, summary.relativeError,
                         summary.isFullyEnumerated);
    } else {
      summary.mean = Mean(estimates);
      summary.std = Std(estimates);
      summary.relativeError = RelativeError(summary.std, summary.mean, repetitions);
    }
    summary.chains = chains;
    PrintSummary(summary, budget, repetitions);
    partRun.PrintLines();
    if (settings.exact) {
      if (fit.fits) count = exact::ComputeExactCount(table, se.graph, rule);
      exact::PrintExactLines(count, summary.mean);
      exact::PrintMinimumChains(minimumChains);
    }

    const frame::Clock::time_point stop = frame::Clock::now();
    const double elapsedSeconds = frame::ElapsedSeconds(start, stop);
    memory::SetActivity("building the report");
    boost::property_tree::ptree report =
        BuildReport(summary, budget, repetitions, elapsedSeconds, decompositions);
    AddExtensions(report, settings, count, summary.mean, minimumChains, partRun);
    return frame::FinishRun(report, outputs, elapsedSeconds, [&](output::OutputFiles& files) {
      return StageExtensionFiles(files, table, decompositions, trace, settings, count, partRun);
    });
  } catch (const std::exception& error) {
    return frame::EndOnException(error, run.OptionsText());
  }
}

}  // namespace

int RunQuorlin(int argc, char* argv[], const parallel::Ranks& ranks) {
  return Run(argc, argv, ranks);
}
