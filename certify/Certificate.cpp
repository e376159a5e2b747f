#include "certify/Certificate.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <sstream>

#include "bipartite/DecompositionVerifier.h"
#include "certify/LinearProgram.h"
#include "certify/RotationMerge.h"
#include "common/MemoryLimit.h"
#include "common/Poset.h"
#include "common/TerminalIndex.h"
#include "localsearch/BalancedBound.h"
#include "localsearch/Decomposition.h"

namespace certify {

namespace {

// Pairs (a, b) with b leaving a's destination at least `minTurn` after a
// arrives, a != b, counted per terminal from the sorted times.
std::uint64_t CountRulePairs(const std::vector<Passage>& passages, double minTurn) {
  std::uint64_t pairs = 0;
  for (const TerminalGroup& group : GroupByTerminal(passages)) {
    std::vector<double> ready;
    for (std::uint32_t q : group.arriving)
      if (!std::isnan(passages[q].arrival)) ready.push_back(passages[q].arrival + minTurn);
    std::sort(ready.begin(), ready.end());
    for (std::uint32_t p : group.departing) {
      const Passage& passage = passages[p];
      pairs += static_cast<std::uint64_t>(
          std::upper_bound(ready.begin(), ready.end(), passage.departure) - ready.begin());
      if (passage.destination == passage.origin && passage.arrival + minTurn <= passage.departure)
        --pairs;
    }
  }
  return pairs;
}

// Empty when the graph's edges are exactly the pairs of the connection
// rule with `minTurn` on distinct passages; otherwise why not.
std::string CheckRule(const BGraph& graph, const TimeTable& table,
                      const std::vector<Passage>& passages, double minTurn) {
  const std::size_t n = passages.size();
  if (table.passages.size() != n || table.positionById.size() != n)
    return "passage numbers repeat";
  for (const auto& edge : graph.edgeList) {
    const Passage& before = passages[static_cast<std::size_t>(edge.first)];
    const Passage& after = passages[static_cast<std::size_t>(edge.second) - n];
    if (edge.first == edge.second - static_cast<int>(n) || after.origin != before.destination ||
        !(after.departure >= before.arrival + minTurn))
      return "the precedence graph does not follow the model's connection rule";
  }
  if (CountRulePairs(passages, minTurn) != graph.edgeList.size())
    return "the precedence graph does not follow the model's connection rule";
  return "";
}

}  // namespace

std::uint64_t BalancedModelBytes(const BGraph& graph, const TimeTable& table,
                                 const BGraph::Matching& maximum, double minTurn) {
  const MatchingFacts facts = ReadMatchingFacts(graph, maximum);
  Day day;
  day.passages = CountedPassages(graph, table);
  day.canStart = facts.canStart;
  day.canEnd = facts.canEnd;
  day.minTurn = minTurn;
  const TimeSpaceModel model(day, Aim::Balanced, 0.0, kBalancedColumnBudget);
  return model.Fits() ? model.Size().Bytes() : 0;
}

Certificate::Certificate(const BGraph& graph, const TimeTable& table, const Settings& settings)
    : settings(settings) {
  day.passages = CountedPassages(graph, table);
  day.minTurn = settings.minTurn;
  maximum = graph.GetMaxMatching();
  day.openChains = static_cast<int>(day.passages.size() - maximum.size());
  facts = ReadMatchingFacts(graph, maximum);
  fallback = CheckRule(graph, table, day.passages, settings.minTurn);
  if (!fallback.empty()) return;
  day.canStart = facts.canStart;
  day.canEnd = facts.canEnd;
  balanced = std::make_unique<TimeSpaceModel>(day, Aim::Balanced, 0.0, kBalancedColumnBudget);
  if (!balanced->Fits()) {
    fallback = "its model would have more than " + std::to_string(kBalancedColumnBudget) +
               " columns";
    balanced.reset();
    return;
  }
  const std::uint64_t bytes =
      memory::GraphBytes(graph.edgeList.size(), day.passages.size()) + balanced->Size().Bytes();
  if (bytes > settings.memoryLimit)
    refusal = "The precedence graph and the certificate's LP model (" +
              std::to_string(balanced->Size().columns) + " columns) need about " +
              memory::FormatSize(bytes) + " of memory, more than the limit of " +
              memory::FormatSize(settings.memoryLimit) +
              "; raise the limit with --max_memory (for example --max_memory " +
              std::to_string((bytes >> 30) + 1) + "G)";
}

bool Certificate::CheckedCounts(const BGraph& graph, TimeTable& table, double threshold,
                                BGraph::Matching matching, DecompositionCounts& counts) const {
  const std::size_t pairs = matching.size();
  BGraph::Decomposition chains = graph.GetDillworthDecompositionFromMatching(matching);
  counts.chains = static_cast<int>(chains.size());
  Decomposition::GetNumberOfBalancedAndRest(table, chains, counts.balanced, counts.rest,
                                            threshold);
  const int closed = counts.chains - static_cast<int>(day.passages.size() - pairs);
  return VerifyDecomposition(table, chains, closed).empty();
}

bool Certificate::Run(const BGraph& graph, TimeTable& table, double threshold,
                      BGraph::Matching& matching, DecompositionCounts& best) {
  const auto closedRotations = [this](const DecompositionCounts& counts) {
    return counts.chains - day.openChains;
  };
  const auto isCertified = [&](int bound) {
    return closedRotations(best) == facts.fewestClosedRotations && best.balanced == bound;
  };
  // The LP optimum lies between the open balanced chains of any maximum
  // matching and the combinatorial bound (a relaxation of the same counts
  // per terminal and component): where the best reaches that bound, the
  // LP's bound is that bound, and it need not be solved.
  combinatorialBound = OpenBalancedChainsBound(graph, table, maximum) + closedRotations(best);
  if (balanced && best.balanced == combinatorialBound) {
    lpSolved = true;
    bound = combinatorialBound;
    balanced.reset();
  }
  if (balanced) {
    const LpSolution solution = MakeLpSolver()->Solve(balanced->Build(), settings.seconds);
    if (solution.status == LpSolution::Status::Optimal) {
      lpSolved = true;
      BGraph::Matching decoded;
      DecompositionCounts counts;
      if (balanced->Decode(solution.columns, decoded) &&
          (MergeClosedRotations(day.passages, day.minTurn, decoded), true) &&
          CheckedCounts(graph, table, threshold, decoded, counts) && IsBetter(counts, best)) {
        matching = std::move(decoded);
        best = counts;
        keptLp = true;
      }
      bound = balanced->IntegerBound(solution.objective) + closedRotations(best);
    } else if (solution.status == LpSolution::Status::OutOfTime) {
      std::ostringstream text;
      text << "its LP (" << balanced->Size().columns << " columns) took more than "
           << settings.seconds << " s";
      fallback = text.str();
    } else {
      fallback = "the LP solver found no optimum";
    }
    balanced.reset();
  }
  if (!lpSolved) {
    bound = combinatorialBound;
    restSkipped = "no LP bound on balanced chains";
  }
  certified = isCertified(bound);
  if (lpSolved) BoundRest(graph, table, threshold, matching, best);
  return keptLp;
}

void Certificate::BoundRest(const BGraph& graph, TimeTable& table, double threshold,
                            BGraph::Matching& matching, DecompositionCounts& best) {
  if (!certified) {
    restSkipped = "the balanced count is not proven optimal";
    return;
  }
  const int closed = best.chains - day.openChains;
  const TimeSpaceModel rested(day, Aim::Rested, threshold, kRestedColumnBudget);
  if (!rested.Fits()) {
    restSkipped = "its model would have more than " + std::to_string(kRestedColumnBudget) +
                  " columns";
    return;
  }
  const std::uint64_t bytes =
      memory::GraphBytes(graph.edgeList.size(), day.passages.size()) + rested.Size().Bytes();
  if (bytes > settings.memoryLimit) {
    restSkipped = "its model needs about " + memory::FormatSize(bytes) +
                  ", more than the limit of " + memory::FormatSize(settings.memoryLimit);
    return;
  }
  const LpSolution solution =
      MakeLpSolver()->Solve(rested.Build(best.balanced - closed), settings.seconds);
  if (solution.status == LpSolution::Status::OutOfTime) {
    std::ostringstream text;
    text << "its LP (" << rested.Size().columns << " columns) took more than "
         << settings.seconds << " s";
    restSkipped = text.str();
    return;
  }
  if (solution.status != LpSolution::Status::Optimal) {
    restSkipped = "the LP solver found no optimum";
    return;
  }
  restSolved = true;
  restBound = rested.IntegerBound(solution.objective) + closed;
  BGraph::Matching decoded;
  DecompositionCounts counts;
  if (rested.Decode(solution.columns, decoded) &&
      (MergeClosedRotations(day.passages, day.minTurn, decoded), true) &&
      CheckedCounts(graph, table, threshold, decoded, counts) && IsBetter(counts, best)) {
    matching = std::move(decoded);
    best = counts;
    keptLp = true;
  }
  restOptimal = best.rest == restBound;
}

void Certificate::Print() const {
  const char* const reached = " (reached: optimal)";
  if (keptLp)
    std::cout << "the LP's decomposition ranks higher than the search's best: kept" << std::endl;
  if (lpSolved)
    std::cout << "LP bound on balanced chains = " << bound;
  else
    std::cout << "LP bound skipped (" << fallback
              << "): combinatorial upper bound on balanced chains = " << combinatorialBound;
  std::cout << (certified ? reached : "") << std::endl;
  if (restSolved)
    std::cout << "LP bound on rested chains = " << restBound << (restOptimal ? reached : "")
              << std::endl;
  else
    std::cout << "LP bound on rested chains skipped: " << restSkipped << std::endl;
}

void Certificate::AddToReport(boost::property_tree::ptree& report) const {
  if (lpSolved) report.add("OPT.lp_bound", bound);
  report.add("OPT.certified", certified);
  if (restSolved) {
    report.add("OPT.rest_upper_bound", restBound);
    report.add("OPT.rest_optimal", restOptimal);
  }
}

}  // namespace certify
