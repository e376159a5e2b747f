#include "se/QuorlinParts.h"

#include <atomic>
#include <iomanip>
#include <sstream>

#include "common/ProgressLine.h"
#include "se/EstimatorMemory.h"

QuorlinParts::QuorlinParts(const quorlin::ExtensionSettings& settings, unsigned int budget,
                           unsigned int repetitions) {
  settings_.split = settings.split;
  settings_.importance = settings.importance;
  settings_.vertexOrder = settings.vertexOrder;
  settings_.budget = budget;
  settings_.repetitions = repetitions;
}

std::string QuorlinParts::Refusal() const {
  if (Active() && settings_.budget == 0)
    return "--split and --importance need a budget B of at least 1";
  return "";
}

void QuorlinParts::AddToPlan(memory::Plan& plan, const BGraph& graph,
                             const std::vector<Passage>& passages, unsigned int threads,
                             std::size_t chains) const {
  if (settings_.repetitions == 0) return;
  plan.Add("the part-wise estimator (B = " + std::to_string(settings_.budget) + ", " +
               std::to_string(threads) + (threads == 1 ? " thread)" : " threads)"),
           parts::EstimatorMemoryBytes(parts::BoardSizes(passages), settings_, threads));
  const std::uint64_t kept = se_memory::LevelNodesBound(graph, settings_.budget);
  plan.Add("the report (up to " + std::to_string(kept) + " decompositions of " +
               std::to_string(passages.size()) + " passages)",
           se_memory::ReportBytes(kept, passages.size(), chains));
}

void QuorlinParts::Run(const BGraph& graph, const TimeTable& table, std::uint32_t seed,
                       parallel::WorkerPool* workers, unsigned int rank, unsigned int ranks,
                       const Gather& gather, frame::Clock::time_point start, bool showProgress) {
  const parts::PartPlan plan(graph, settings_.split);
  const std::vector<std::uint32_t> share = parts::ShareOf(plan, rank, ranks);
  std::atomic<unsigned int> done{0};
  const std::size_t mine = share.size();
  ProgressLine progress(
      [&done, mine](double seconds) {
        std::ostringstream text;
        text << "Quorlin: " << done.load(std::memory_order_relaxed) << "/" << mine
             << " parts done, " << std::fixed << std::setprecision(1) << seconds << " s";
        return text.str();
      },
      showProgress && ProgressLine::StandardErrorIsTerminal());
  const std::vector<parts::PartResult> ran = parts::RunShare(
      graph, &table.passages, plan, settings_, share, seed, workers,
      [start] { return frame::ElapsedSeconds(start, frame::Clock::now()); }, &done);
  progress.Erase();
  const std::vector<std::vector<std::uint64_t>> messages = gather(parts::PackParts(ran));
  if (rank != 0) return;
  results_ = parts::PoolParts(messages, plan.Count());
  summary_ = parts::Summarize(results_, settings_.repetitions);
}

void QuorlinParts::Statistics(WideDouble& mean, WideDouble& std, WideDouble& relativeError,
                              bool& fullyEnumerated) const {
  mean = summary_.mean;
  std = summary_.std;
  relativeError = summary_.relativeError;
  fullyEnumerated = summary_.fullyEnumerated;
}

std::vector<BGraph::Decomposition> QuorlinParts::Decompositions(const BGraph& graph) const {
  if (settings_.repetitions == 0) return {};
  return parts::CombinedDecompositions(graph, results_);
}

void QuorlinParts::PrintLines() const {
  if (Active()) parts::PrintSummaryLines(summary_);
}

void QuorlinParts::AddReport(boost::property_tree::ptree& report) const {
  if (Active()) parts::AddReportElements(report, settings_, summary_);
}

std::string QuorlinParts::Trace(const double* exactLog10) const {
  std::ostringstream text;
  parts::WriteTrace(text, results_, settings_.repetitions, exactLog10);
  return text.str();
}
