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

double CpuSince(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// The open chains of a maximum matching, first passage first.
std::vector<std::vector<std::uint32_t>> OpenChains(std::uint32_t n,
                                                   const BGraph::Matching& matching) {
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
    for (std::uint32_t q = p; q != PathPricing::kNone; q = next[q]) chains.back().push_back(q);
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
  const std::vector<std::uint8_t>& onCycle = pricing.OnCycle();

  std::vector<double> rowLower(n + 1, 1.0);
  std::vector<double> rowUpper(n + 1, 1.0);
  for (std::uint32_t p = 0; p < n; ++p)
    if (onCycle[p]) rowLower[p] = kMinusInfinity;
  rowLower[n] = rowUpper[n] = day.openChains;
  ColumnMaster master(rowLower, rowUpper);

  std::set<std::vector<std::uint32_t>> known;
  const auto balanced = [&day](const std::vector<std::uint32_t>& chain) {
    return day.passages[chain.front()].origin == day.passages[chain.back()].destination;
  };
  const auto add = [&](const std::vector<std::uint32_t>& chain) {
    if (chain.empty() || !known.insert(chain).second) return false;
    std::vector<int> rows(chain.begin(), chain.end());
    rows.push_back(static_cast<int>(n));
    master.AddColumn(balanced(chain) ? -1.0 : 0.0, rows);
    return true;
  };
  for (const std::vector<std::uint32_t>& chain : OpenChains(n, maximum)) add(chain);

  result.lagrangian = std::numeric_limits<double>::infinity();
  const double chains = day.openChains;
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
    double dualSum = 0.0;
    for (std::uint32_t p = 0; p < n; ++p) {
      weight[p] = onCycle[p] ? std::min(duals[p], 0.0) : duals[p];
      dualSum += weight[p];
    }
    const double countDual = duals[n];

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
      result.lagrangian = std::min(result.lagrangian,
                                   chains * (heaviest == kMinusInfinity ? 0.0 : heaviest) - dualSum);
    if (result.lagrangian < settings.stopBelow) {
      result.status = PathBoundResult::Status::Stopped;
      break;
    }
    bool added = false;
    for (const std::vector<std::uint32_t>& chain : entering) added = add(chain) || added;
    if (!added) {
      result.status = PathBoundResult::Status::Converged;
      break;
    }
  }
  result.columns = master.Columns();
  if (std::isfinite(result.lagrangian))
    result.bound = static_cast<int>(std::floor(result.lagrangian + kRounding));
  result.seconds = CpuSince(start);
  return result;
}

}  // namespace certify
