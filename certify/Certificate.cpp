#include "certify/Certificate.h"

#include <algorithm>
#include <map>
#include <cmath>
#include <ctime>
#include <iostream>
#include <sstream>

#include "bipartite/DecompositionVerifier.h"
#include "certify/LinearProgram.h"
#include "certify/MipSolver.h"
#include "certify/RotationMerge.h"
#include "common/ChainEnds.h"
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

// Per terminal number: the chains that every maximum matching starts and
// ends there (`maximum` being one of them), and the open balanced chains of
// `matching`, with each passage's open balanced chain's terminal.
struct TerminalCounts {
  std::map<std::uint32_t, int> starts, ends, balanced;
  std::vector<std::uint32_t> balancedHome;  // per position, kNoHome off such chains
};

TerminalCounts CountByTerminal(const std::vector<Passage>& passages,
                               const BGraph::Matching& maximum, const BGraph::Matching& matching) {
  const auto n = static_cast<std::uint32_t>(passages.size());
  TerminalCounts counts;
  const auto links = [n](const BGraph::Matching& pairs, std::vector<std::uint32_t>& next,
                         std::vector<std::uint8_t>& hasPrevious) {
    next.assign(n, kNoHome);
    hasPrevious.assign(n, 0);
    for (const auto& pair : pairs) {
      const auto left = static_cast<std::uint32_t>(std::min(pair.first, pair.second));
      const auto right = static_cast<std::uint32_t>(std::max(pair.first, pair.second)) - n;
      next[left] = right;
      hasPrevious[right] = 1;
    }
  };
  std::vector<std::uint32_t> next;
  std::vector<std::uint8_t> hasPrevious;
  links(maximum, next, hasPrevious);
  for (std::uint32_t p = 0; p < n; ++p) {
    if (!hasPrevious[p]) ++counts.starts[passages[p].origin];
    if (next[p] == kNoHome) ++counts.ends[passages[p].destination];
  }
  links(matching, next, hasPrevious);
  counts.balancedHome.assign(n, kNoHome);
  for (std::uint32_t p = 0; p < n; ++p) {
    if (hasPrevious[p]) continue;
    std::uint32_t last = p;
    while (next[last] != kNoHome) last = next[last];
    if (!IsBalancedChain(passages[p], passages[last])) continue;
    ++counts.balanced[passages[p].origin];
    for (std::uint32_t q = p; q != kNoHome; q = next[q]) counts.balancedHome[q] = passages[p].origin;
  }
  return counts;
}

}  // namespace

Day ReadDay(const BGraph& graph, const TimeTable& table, const BGraph::Matching& maximum,
            double minTurn) {
  const MatchingFacts facts = ReadMatchingFacts(graph, maximum);
  Day day;
  day.passages = CountedPassages(graph, table);
  day.canStart = facts.canStart;
  day.canEnd = facts.canEnd;
  day.openChains = static_cast<int>(day.passages.size() - maximum.size());
  day.minTurn = minTurn;
  return day;
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

LpSolution Certificate::Solve(const char* what, const TimeSpaceModel& model, double seconds,
                              int minOpenBalanced) {
  LpSolution solution;
  solution.status = LpSolution::Status::OutOfTime;
  if (WallLeft() <= 0.0) {
    timeLimitReached = true;
    return solution;
  }
  const std::clock_t start = std::clock();
  const LinearProgram program = model.Build(minOpenBalanced);
  const std::unique_ptr<LpSolver> solver = MakeLpSolver();
  solver->wallSeconds = std::max(WallLeft(), 0.0);
  solution = solver->Solve(program, seconds);
  records.push_back(LpRecord{what, model.Size(),
                             static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC,
                             solution.status});
  // Out of time under the tighter of the two limits.
  if (solution.status == LpSolution::Status::OutOfTime &&
      (solver->wallSeconds < seconds || WallLeft() <= 0.0))
    timeLimitReached = true;
  return solution;
}

double Certificate::WallLeft() const {
  if (settings.timeLimit <= 0.0) return kUnbounded;
  return std::chrono::duration<double>(settings.deadline - std::chrono::steady_clock::now())
      .count();
}

std::string Certificate::OutOfTime(std::uint64_t columns) const {
  std::ostringstream text;
  if (timeLimitReached)
    text << "the time limit of " << settings.timeLimit << " s was reached";
  else
    text << "its LP (" << columns << " columns) took more than " << settings.seconds << " s";
  return text.str();
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

bool Certificate::KeepIfBetter(const TimeSpaceModel& model, const std::vector<double>& columns,
                               const BGraph& graph, TimeTable& table, double threshold,
                               BGraph::Matching& matching, DecompositionCounts& best) const {
  BGraph::Matching decoded;
  DecompositionCounts counts;
  if (!model.Decode(columns, decoded)) return false;
  MergeClosedRotations(day.passages, day.minTurn, decoded);
  if (!CheckedCounts(graph, table, threshold, decoded, counts) || !IsBetter(counts, best))
    return false;
  matching = std::move(decoded);
  best = counts;
  return true;
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
  // per terminal and connected part of the follow relation, which no flow
  // path leaves): where the best reaches that bound, the LP's bound is that
  // bound, and it need not be solved. It is the bound the search prints, so
  // a fallback never prints a looser one beside it.
  combinatorialBound = PartBalancedChainsBound(graph, table, maximum) + closedRotations(best);
  if (balanced && best.balanced == combinatorialBound) {
    lpSolved = true;
    bound = combinatorialBound;
    lpBound = bound;
    balanced.reset();
  }
  if (balanced) {
    const std::clock_t start = std::clock();
    const auto spent = [start] {
      return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    };
    SolveBalanced(graph, table, threshold, matching, best);
    lpBound = bound;
    const std::uint64_t integerBytes = IntegerBytes(graph);
    bool integerWanted = lpSolved && best.balanced < bound &&
                         settings.integerProgram != IntegerProgram::None &&
                         spent() < settings.seconds;
    if (integerWanted && WallLeft() <= 0.0) {
      timeLimitReached = true;
      integerWanted = false;
    }
    if (integerWanted && integerBytes > settings.memoryLimit) {
      integerSkipped = "its model needs about " + memory::FormatSize(integerBytes) +
                       ", more than the limit of " + memory::FormatSize(settings.memoryLimit);
    } else if (integerWanted) {
      SolveInteger(graph, table, threshold, matching, best, settings.seconds - spent());
      bound = openBound + closedRotations(best);
      integerBound = bound;
    }
    balancedSeconds = spent();
    balanced.reset();
  }
  if (!lpSolved) {
    bound = combinatorialBound;
    restSkipped = "no LP bound on balanced chains";
  }
  certified = isCertified(bound);
  bestBalanced = best.balanced;
  if (lpSolved) BoundRest(graph, table, threshold, matching, best);
  return keptLp || keptInteger;
}

// Only the homes where the best falls short of min(starts, ends) need a
// commodity at first: every other home has at most that many balanced
// chains in any maximum matching, and the best has them. So the LP over the
// chosen homes (the others' chains flying in the commodity of all chains)
// plus the others' minima bounds the open balanced chains: a relaxation of
// the whole model, much smaller while few homes are chosen. When it does
// not prove the best, a second LP looks for a better decomposition: the
// chosen homes as before, and each other home keeping at most the passages
// of its balanced chains in the best (a restriction, in which the best is
// one solution). Then the homes whose balanced chains the chosen homes'
// flow crossed are chosen too, and both are solved again, until the best
// is proven, no home is added, or time runs out; the bound only falls.
void Certificate::SolveBalanced(const BGraph& graph, TimeTable& table, double threshold,
                                BGraph::Matching& matching, DecompositionCounts& best) {
  const auto closedRotations = [this](const DecompositionCounts& counts) {
    return counts.chains - day.openChains;
  };
  const std::clock_t start = std::clock();
  const auto secondsLeft = [&] {
    return settings.seconds - static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  };
  const bool integerFits = IntegerBytes(graph) <= settings.memoryLimit;
  const auto integerNext = [&](std::uint64_t roundColumns) {
    return integerFits && settings.integerProgram == IntegerProgram::Whole &&
           balanced->Size().columns <= kIntegerSoonerRatio * roundColumns;
  };
  std::vector<std::uint32_t> chosen;
  bool first = true;
  for (;;) {
    const TerminalCounts counts = CountByTerminal(day.passages, maximum, matching);
    int unchosen = 0;
    for (const auto& [terminal, starts] : counts.starts) {
      const auto ends = counts.ends.find(terminal);
      const int most = ends == counts.ends.end() ? 0 : std::min(starts, ends->second);
      const auto found = counts.balanced.find(terminal);
      const int reached = found == counts.balanced.end() ? 0 : found->second;
      if (reached < most || std::binary_search(chosen.begin(), chosen.end(), terminal))
        day.homes.push_back(terminal);
      else
        unchosen += most;
    }
    chosen = day.homes;
    if (day.homes.empty()) day.homes.push_back(kNoHome);  // no home commodity at all
    const TimeSpaceModel relaxed(day, Aim::Balanced, 0.0, kBalancedColumnBudget);
    const LpSolution solution = Solve("relaxed", relaxed, secondsLeft());
    if (solution.status != LpSolution::Status::Optimal) {
      if (first)
        fallback = solution.status == LpSolution::Status::OutOfTime
                       ? OutOfTime(relaxed.Size().columns)
                       : "the LP solver found no optimum";
      break;
    }
    first = false;
    lpSolved = true;
    const int relaxedBound = relaxed.IntegerBound(solution.objective) + unchosen;
    openBound = openBound == 0 ? relaxedBound : std::min(openBound, relaxedBound);
    if (best.balanced - closedRotations(best) >= openBound || secondsLeft() <= 0.0) break;

    day.keptHome = counts.balancedHome;
    const TimeSpaceModel kept(day, Aim::Balanced, 0.0, kBalancedColumnBudget);
    const LpSolution keptSolution = Solve("restricted", kept, secondsLeft());
    day.keptHome.clear();
    if (keptSolution.status == LpSolution::Status::Optimal &&
        KeepIfBetter(kept, keptSolution.columns, graph, table, threshold, matching, best))
      keptLp = true;
    if (best.balanced - closedRotations(best) >= openBound || secondsLeft() <= 0.0) break;
    // Where the whole model is not much larger than this round's programs,
    // its integer program settles the day sooner than more rounds would.
    if (integerNext(relaxed.Size().columns)) break;
    // Homes whose balanced chains the chosen homes' flow crossed.
    const std::vector<std::uint8_t> flown = relaxed.FlownHome(solution.columns);
    const std::size_t before = chosen.size();
    for (std::uint32_t p = 0; p < flown.size(); ++p)
      if (flown[p] && counts.balancedHome[p] != kNoHome) chosen.push_back(counts.balancedHome[p]);
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    day.homes.clear();
    if (chosen.size() == before) break;
  }
  day.homes.clear();
  if (lpSolved) bound = openBound + closedRotations(best);
}

std::uint64_t Certificate::IntegerBytes(const BGraph& graph) const {
  return memory::GraphBytes(graph.edgeList.size(), day.passages.size()) +
         kIntegerBytesPerModelByte * balanced->Size().Bytes();
}

// Every column integer, and only solutions with more open balanced chains
// than the best sought (a cutoff): where none is found, the best is proven
// without any branching on solutions as good. The whole model's solutions
// decode into decompositions; the short homes' program (the others counted
// by their minima, which the best reaches) is smaller, and its solutions
// are still maximum matchings, checked like any other.
void Certificate::SolveInteger(const BGraph& graph, TimeTable& table, double threshold,
                               BGraph::Matching& matching, DecompositionCounts& best,
                               double seconds) {
  const int bestOpen = best.balanced - (best.chains - day.openChains);
  int others = 0;
  std::unique_ptr<TimeSpaceModel> shortHomes;
  if (settings.integerProgram == IntegerProgram::ShortHomes) {
    const TerminalCounts counts = CountByTerminal(day.passages, maximum, matching);
    for (const auto& [terminal, starts] : counts.starts) {
      const auto ends = counts.ends.find(terminal);
      const int most = ends == counts.ends.end() ? 0 : std::min(starts, ends->second);
      const auto found = counts.balanced.find(terminal);
      if ((found == counts.balanced.end() ? 0 : found->second) < most)
        day.homes.push_back(terminal);
      else
        others += most;
    }
    if (day.homes.empty()) day.homes.push_back(kNoHome);
    shortHomes = std::make_unique<TimeSpaceModel>(day, Aim::Balanced, 0.0, kBalancedColumnBudget);
  }
  const TimeSpaceModel& model = shortHomes ? *shortHomes : *balanced;
  const std::clock_t start = std::clock();
  // An integer solution's objective lies within 1/2 below its count (see
  // TimeSpaceModel::Build): a quarter above the best's count parts them,
  // and a gap just under 1/2 stops the search once no higher count is
  // possible, rather than lowering the penalties further.
  constexpr double kGap = 0.5 - 1e-5;
  const LinearProgram program = model.Build();
  const std::unique_ptr<MipSolver> solver = MakeMipSolver();
  solver->wallSeconds = std::max(WallLeft(), 0.0);
  const MipSolution solution = solver->Solve(program, seconds, bestOpen - others + 0.25, kGap);
  if (solution.status == MipSolution::Status::OutOfTime &&
      (solver->wallSeconds < seconds || WallLeft() <= 0.0))
    timeLimitReached = true;
  // A bound no lower than the LPs' (infinite when out of time before the
  // first node) leaves theirs.
  const auto boundOf = [&](double value) {
    return value < openBound - others + 1.0 ? model.IntegerBound(value) + others : openBound;
  };
  LpSolution::Status status = LpSolution::Status::Failed;
  int integerOpen = openBound;
  switch (solution.status) {
    case MipSolution::Status::Optimal:
      status = LpSolution::Status::Optimal;
      integerOpen = boundOf(solution.bound);
      break;
    case MipSolution::Status::Infeasible:
      status = LpSolution::Status::Infeasible;
      integerOpen = bestOpen;
      break;
    case MipSolution::Status::OutOfTime:
      status = LpSolution::Status::OutOfTime;
      integerOpen = boundOf(solution.bound);
      break;
    case MipSolution::Status::Failed:
      break;
  }
  records.push_back(LpRecord{"integer", model.Size(),
                             static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC, status});
  if (status != LpSolution::Status::Failed) {
    integerSolved = true;
    openBound = std::min(openBound, integerOpen);
  }
  if (solution.found &&
      KeepIfBetter(model, solution.columns, graph, table, threshold, matching, best))
    keptInteger = true;
  // Out of time with a bound that the best, its own solution included,
  // already meets is as good as done.
  integerFinished = integerSolved && (status != LpSolution::Status::OutOfTime ||
                                      integerOpen <= best.balanced - (best.chains - day.openChains));
  day.homes.clear();
}

// Two programs share the budget. First a relaxation: no home commodities
// (the balanced count not imposed) and the start classes merged into
// kCoarseRestClasses per home; where it proves the best, or time runs out,
// its bound stands. Then the whole rested model, whose bound is exact for
// the model and replaces the first where it finishes.
void Certificate::BoundRest(const BGraph& graph, TimeTable& table, double threshold,
                            BGraph::Matching& matching, DecompositionCounts& best) {
  if (!certified) {
    restSkipped = "the balanced count is not proven optimal";
    return;
  }
  const int closed = best.chains - day.openChains;
  const std::clock_t start = std::clock();
  const auto secondsLeft = [&] {
    return settings.seconds - static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  };
  for (int stage = 0; stage < 2 && !restOptimal; ++stage) {
    const bool coarse = stage == 0;
    if (coarse) {
      day.homes = {kNoHome};
      day.restClasses = kCoarseRestClasses;
    }
    const TimeSpaceModel rested(day, Aim::Rested, threshold, kRestedColumnBudget);
    day.homes.clear();
    day.restClasses = 0;
    if (!rested.Fits()) {
      if (!restSolved)
        restSkipped = "its model would have more than " + std::to_string(kRestedColumnBudget) +
                      " columns";
      return;
    }
    const std::uint64_t bytes =
        memory::GraphBytes(graph.edgeList.size(), day.passages.size()) + rested.Size().Bytes();
    if (bytes > settings.memoryLimit) {
      if (!restSolved)
        restSkipped = "its model needs about " + memory::FormatSize(bytes) +
                      ", more than the limit of " + memory::FormatSize(settings.memoryLimit);
      return;
    }
    if (secondsLeft() <= 0.0) return;
    const LpSolution solution = Solve(coarse ? "rested, coarse" : "rested", rested, secondsLeft(),
                                      coarse ? 0 : best.balanced - closed);
    if (solution.status != LpSolution::Status::Optimal) {
      if (restSolved) return;
      if (solution.status == LpSolution::Status::OutOfTime) {
        restSkipped = OutOfTime(rested.Size().columns);
      } else {
        restSkipped = "the LP solver found no optimum";
      }
      return;
    }
    const int stageBound = rested.IntegerBound(solution.objective) + closed;
    restBound = restSolved ? std::min(restBound, stageBound) : stageBound;
    restSolved = true;
    if (KeepIfBetter(rested, solution.columns, graph, table, threshold, matching, best))
      keptLp = true;
    restOptimal = best.rest == restBound;
  }
}

void Certificate::Print() const {
  const char* const reached = " (reached: optimal)";
  if (keptLp)
    std::cout << "the LP's decomposition ranks higher than the search's best: kept" << std::endl;
  if (keptInteger)
    std::cout << "the integer program's decomposition ranks higher than the search's best: kept"
              << std::endl;
  if (lpSolved)
    std::cout << "LP bound on balanced chains = " << lpBound;
  else
    std::cout << "LP bound skipped (" << fallback
              << "): combinatorial upper bound on balanced chains = " << combinatorialBound;
  std::cout << (certified && !integerSolved ? reached : "") << std::endl;
  if (!integerSkipped.empty())
    std::cout << "integer program on balanced chains skipped: " << integerSkipped << std::endl;
  else if (integerSolved && integerFinished)
    std::cout << "integer program on balanced chains = " << integerBound
              << (certified ? reached : "") << std::endl;
  else if (integerSolved)
    std::cout << "integer program on balanced chains: bound " << integerBound << ", best found "
              << bestBalanced << " (" << (timeLimitReached ? "stopped by the time limit of "
                                                          : "out of time after ")
              << (timeLimitReached ? settings.timeLimit : settings.seconds) << " s)" << std::endl;
  if (restSolved)
    std::cout << "LP bound on rested chains = " << restBound << (restOptimal ? reached : "")
              << std::endl;
  else
    std::cout << "LP bound on rested chains skipped: " << restSkipped << std::endl;
}

void Certificate::AddToReport(boost::property_tree::ptree& report) const {
  if (lpSolved) report.add("OPT.lp_bound", lpBound);
  report.add("OPT.certified", certified);
  if (restSolved) {
    report.add("OPT.rest_upper_bound", restBound);
    report.add("OPT.rest_optimal", restOptimal);
  }
  if (integerSolved) {
    report.add("OPT.ip_bound", integerBound);
    report.add("OPT.ip_finished", integerFinished);
  }
}

}  // namespace certify

