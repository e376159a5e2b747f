#pragma once

// Quorlin's run made of parts (--split, --importance): settings check, the
// run over threads and MPI ranks, and what the driver prints and writes
// for it (EstimateParts.h, PartsSummary.h). Inactive, it does nothing and
// the driver runs as without the options.
//
// Console, report and trace agree: the "mean estimator" line, the report's
// se_counting_estimator and the trace's last running_mean are the product
// of the parts' means; the relative error is that of the product (delta
// method), the std the one that gives it back as (std / mean) / N^0.5;
// "is fully enumerated" holds when every part was counted exactly.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>

#include "bipartite/BGraph.h"
#include "common/MemoryPlan.h"
#include "common/ProgramFrame.h"
#include "common/TimeTable.h"
#include "numeric/WideDouble.h"
#include "parallel/WorkerPool.h"
#include "se/EstimateParts.h"
#include "se/PartsSummary.h"
#include "se/QuorlinExtensions.h"

class QuorlinParts {
 public:
  // Every rank's words at the leader (empty elsewhere); every rank calls it.
  using Gather =
      std::function<std::vector<std::vector<std::uint64_t>>(const std::vector<std::uint64_t>&)>;

  QuorlinParts(const quorlin::ExtensionSettings& settings, unsigned int budget,
               unsigned int repetitions);

  bool Active() const { return settings_.Active(); }
  // The line that refuses these settings (a budget of 0), or empty.
  std::string Refusal() const;

  // Adds what the parts' runs will take beside the graph, and the report of
  // their decompositions, to `plan` (nothing without runs).
  void AddToPlan(memory::Plan& plan, const BGraph& graph, const std::vector<Passage>& passages,
                 unsigned int threads, std::size_t chains) const;

  // Runs this rank's share of the parts (ranks deal them round-robin,
  // largest first) on `workers` (may be null) and pools every rank's at
  // the leader. Shows a progress line on a terminal when `showProgress`.
  void Run(const BGraph& graph, const TimeTable& table, std::uint32_t seed,
           parallel::WorkerPool* workers, unsigned int rank, unsigned int ranks,
           const Gather& gather, frame::Clock::time_point start, bool showProgress);

  // The day's statistics, for the driver's summary lines; at the leader.
  void Statistics(WideDouble& mean, WideDouble& std, WideDouble& relativeError,
                  bool& fullyEnumerated) const;
  std::vector<BGraph::Decomposition> Decompositions(const BGraph& graph) const;
  // Nothing when inactive.
  void PrintLines() const;
  void AddReport(boost::property_tree::ptree& report) const;
  std::string Trace(const double* exactLog10) const;

 private:
  parts::Settings settings_;
  std::vector<parts::PartResult> results_;
  parts::DaySummary summary_;
};
