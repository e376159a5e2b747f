#include "certify/PathBound.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <set>

#include "certify/ColumnMaster.h"
#include "certify/PathPricing.h"

namespace certify {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// A chain enters when its reduced cost beats this: below it is rounding.
constexpr double kEnters = 1e-7;
constexpr double kRounding = 1e-6;

int Floor(double bound) { return static_cast<int>(std::floor(bound + kRounding)); }

double CpuSince(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

using Rotations = std::vector<std::vector<std::uint32_t>>;

// The open chains of a maximum matching, first passage first, and its
// closed rotations.
std::vector<std::vector<std::uint32_t>> OpenChains(std::uint32_t n,
                                                   const BGraph::Matching& matching,
                                                   Rotations& rotations) {
  std::vector<std::uint32_t> next(n, PathPricing::kNone);
  std::vector<std::uint8_t> hasPrevious(n, 0);
  for (const auto& pair : matching) {
    const auto left = static_cast<std::uint32_t>(std::min(pair.first, pair.second));
    const auto right = static_cast<std::uint32_t>(std::max(pair.first, pair.second)) - n;
    next[left] = right;
    hasPrevious[right] = 1;
  }
  std::vector<std::vector<std::uint32_t>> chains;
  for (std::uint32_t p = 0; p < n; ++p) {
    if (hasPrevious[p]) continue;
    chains.emplace_back();
    for (std::uint32_t q = p; q != PathPricing::kNone; q = next[q]) {
      chains.back().push_back(q);
      hasPrevious[q] = 2;
    }
  }
  for (std::uint32_t p = 0; p < n; ++p) {
    if (hasPrevious[p] == 2) continue;
    rotations.emplace_back();
    for (std::uint32_t q = p; hasPrevious[q] != 2; q = next[q]) {
      rotations.back().push_back(q);
      hasPrevious[q] = 2;
    }
  }
  return chains;
}

}  // namespace

PathBoundResult SolvePathBound(const Day& day, const BGraph::Matching& maximum,
                               const PathBoundSettings& settings) {
  const std::clock_t start = std::clock();
  const auto n = static_cast<std::uint32_t>(day.passages.size());
  PathBoundResult result;
  PathPricing pricing(day);
  result.cyclic = pricing.Cyclic();

  std::vector<double> rowLower(n + 1, 1.0);
  std::vector<double> rowUpper(n + 1, 1.0);
  rowLower[n] = rowUpper[n] = day.openChains;
  // First the relaxation (passages on cycles covered at most once, no
  // rotations priced), whose duals on those rows are at most 0: it settles
  // fast, and its bound stands if the whole master runs out of time.
  bool relaxed = pricing.Cyclic();
  const std::vector<std::uint8_t>& onCycle = pricing.OnCycle();
  for (std::uint32_t p = 0; p < n; ++p)
    if (relaxed && onCycle[p]) rowLower[p] = kMinusInfinity;
  ColumnMaster master(rowLower, rowUpper);

  std::set<std::vector<std::uint32_t>> known;
  const auto balanced = [&day](const std::vector<std::uint32_t>& chain) {
    return day.passages[chain.front()].origin == day.passages[chain.back()].destination;
  };
  // A chain counts in the chain row; a rotation (first passage least) not.
  const auto add = [&](const std::vector<std::uint32_t>& chain, bool rotation) {
    if (chain.empty()) return false;
    std::vector<std::uint32_t> key = chain;
    if (rotation) {
      std::rotate(key.begin(), std::min_element(key.begin(), key.end()), key.end());
      key.push_back(PathPricing::kNone);
    }
    if (!known.insert(key).second) return false;
    std::vector<int> rows(chain.begin(), chain.end());
    if (!rotation) rows.push_back(static_cast<int>(n));
    master.AddColumn(!rotation && balanced(chain) ? -1.0 : 0.0, rows);
    return true;
  };
  Rotations rotations;
  for (const std::vector<std::uint32_t>& chain : OpenChains(n, maximum, rotations))
    add(chain, false);
  for (const std::vector<std::uint32_t>& rotation : rotations) add(rotation, true);

  result.lagrangian = std::numeric_limits<double>::infinity();
  const double chains = day.openChains;
  // What a label may miss (PathPricing::kGain), over the chains and the
  // rotations of a solution.
  const double slack = (chains + n) * n * PathPricing::kGain;
  std::vector<double> weight(n);
  // Per home (and for any chain): ends by label, the best first.
  std::vector<std::pair<double, std::uint32_t>> ends;
  std::vector<std::vector<std::uint32_t>> homes(pricing.Homes().size() + 1);
  for (std::uint32_t p = 0; p < n; ++p) {
    if (!day.canEnd[p]) continue;
    const auto it = std::lower_bound(pricing.Homes().begin(), pricing.Homes().end(),
                                     pricing.DestinationAt(p));
    if (it != pricing.Homes().end() && *it == pricing.DestinationAt(p))
      homes[static_cast<std::size_t>(it - pricing.Homes().begin())].push_back(p);
    homes.back().push_back(p);
  }

  while (true) {
    const double left = settings.seconds - CpuSince(start);
    if (left <= 0.0) {
      result.status = PathBoundResult::Status::OutOfTime;
      break;
    }
    const std::clock_t lpStart = std::clock();
    const ColumnMaster::Status status = master.Solve(left);
    result.lpSeconds += CpuSince(lpStart);
    if (status != ColumnMaster::Status::Optimal) {
      result.status = status == ColumnMaster::Status::OutOfTime ? PathBoundResult::Status::OutOfTime
                                                                : PathBoundResult::Status::Failed;
      break;
    }
    ++result.rounds;
    result.lpValue = -master.Objective();
    const std::vector<double> duals = master.Duals();
    const double countDual = duals[n];
    weight.assign(duals.begin(), duals.begin() + n);

    // Rotations of positive weight enter first; while there are any, the
    // chains are priced with the weights on cycles cut to at most 0, which
    // keeps the sweeps finite and the Lagrangian bound valid.
    bool added = false;
    if (relaxed) {
      for (std::uint32_t p = 0; p < n; ++p)
        if (onCycle[p]) weight[p] = std::min(weight[p], 0.0);
    } else if (pricing.Cyclic() && !pricing.Sweep(weight, PathPricing::kEverywhere)) {
      result.largestSweeps = std::max(result.largestSweeps, pricing.Sweeps());
      for (const std::vector<std::uint32_t>& cycle :
           pricing.PositiveCycles(weight, static_cast<std::size_t>(settings.columnsPerHome) * 4))
        added = add(cycle, true) || added;
      for (std::uint32_t p = 0; p < n; ++p)
        if (onCycle[p]) weight[p] = std::min(weight[p], 0.0);
    }
    double weightSum = 0.0;
    for (std::uint32_t p = 0; p < n; ++p) weightSum += weight[p];

    double heaviest = kMinusInfinity;
    std::vector<std::vector<std::uint32_t>> entering;
    bool settled = true;
    for (std::size_t h = 0; h < homes.size(); ++h) {
      const bool any = h + 1 == homes.size();
      if (!pricing.Sweep(weight, any ? PathPricing::kAny : pricing.Homes()[h])) {
        settled = false;
        break;
      }
      result.largestSweeps = std::max(result.largestSweeps, pricing.Sweeps());
      const double bonus = any ? 0.0 : 1.0;
      ends.clear();
      for (std::uint32_t p : homes[h]) {
        const double label = pricing.Label()[p];
        if (label == kMinusInfinity) continue;
        heaviest = std::max(heaviest, label + bonus);
        if (label + bonus + countDual > kEnters) ends.emplace_back(label + bonus, p);
      }
      const auto few = std::min<std::size_t>(ends.size(), static_cast<std::size_t>(settings.columnsPerHome));
      std::partial_sort(ends.begin(), ends.begin() + static_cast<std::ptrdiff_t>(few), ends.end(),
                        [](const auto& a, const auto& b) { return a.first > b.first; });
      for (std::size_t i = 0; i < few; ++i) entering.push_back(pricing.ChainTo(ends[i].second));
    }
    if (!settled) {
      result.status = PathBoundResult::Status::Failed;
      break;
    }
    if (heaviest != kMinusInfinity || chains == 0.0)
      result.lagrangian =
          std::min(result.lagrangian,
                   chains * (heaviest == kMinusInfinity ? 0.0 : heaviest) - weightSum + slack);
    if (result.lagrangian < settings.stopBelow) {
      result.status = PathBoundResult::Status::Stopped;
      break;
    }
    for (const std::vector<std::uint32_t>& chain : entering) added = add(chain, false) || added;
    if (!added && relaxed) {
      relaxed = false;
      result.relaxedBound = Floor(result.lagrangian);
      result.relaxedRounds = result.rounds;
      result.relaxedSeconds = CpuSince(start);
      for (std::uint32_t p = 0; p < n; ++p)
        if (onCycle[p]) master.SetRowLower(static_cast<int>(p), 1.0);
      continue;
    }
    if (!added) {
      result.status = PathBoundResult::Status::Converged;
      break;
    }
  }
  result.columns = master.Columns();
  if (std::isfinite(result.lagrangian))
    result.bound = Floor(result.lagrangian);
  result.seconds = CpuSince(start);
  return result;
}

}  // namespace certify
