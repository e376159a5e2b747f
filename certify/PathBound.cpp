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
constexpr std::uint32_t kNone = PathPricing::kNone;
// A segment enters when its reduced cost beats this: below it is rounding.
constexpr double kEnters = 1e-7;
constexpr double kRounding = 1e-6;

// A row's dual; 0 for a row not made yet (-1) or made after the duals.
double DualOf(const std::vector<double>& y, int row) {
  const auto r = static_cast<std::size_t>(row);
  return row >= 0 && r < y.size() ? y[r] : 0.0;
}

double CpuSince(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// A column: a segment in a commodity (a home's index, or the last for any
// chain), ending at a chain's end or handing over after its last passage.
struct Column {
  std::uint32_t commodity = 0;
  PathPricing::Segment segment;
  bool handsOver = false;
};

// The chains and closed rotations of a maximum matching, cut into
// segments: a balanced chain's in its home's commodity, the others' in that
// of any chain; false when a rotation has no backward passage (which the
// relation rules out).
bool MatchingSegments(const PathPricing& pricing, const BGraph::Matching& matching,
                      std::vector<Column>& columns) {
  const auto n = static_cast<std::uint32_t>(pricing.Passages());
  const std::vector<std::uint8_t>& backward = pricing.Backward();
  const std::vector<std::uint32_t>& homes = pricing.Homes();
  const auto anyCommodity = static_cast<std::uint32_t>(homes.size());
  std::vector<std::uint32_t> next(n, kNone);
  std::vector<std::uint8_t> hasPrevious(n, 0);
  for (const auto& pair : matching) {
    const auto left = static_cast<std::uint32_t>(std::min(pair.first, pair.second));
    const auto right = static_cast<std::uint32_t>(std::max(pair.first, pair.second)) - n;
    next[left] = right;
    hasPrevious[right] = 1;
  }
  std::vector<std::uint8_t> done(n, 0);
  const auto cut = [&](const std::vector<std::uint32_t>& passages, std::uint32_t after,
                       bool closed) {
    Column column;
    column.commodity = anyCommodity;
    const std::uint32_t home = pricing.OriginAt(passages.front());
    if (!closed && home == pricing.DestinationAt(passages.back())) {
      const auto it = std::lower_bound(homes.begin(), homes.end(), home);
      if (it != homes.end() && *it == home)
        column.commodity = static_cast<std::uint32_t>(it - homes.begin());
    }
    column.segment.after = after;
    for (std::size_t i = 0; i < passages.size(); ++i) {
      const std::uint32_t p = passages[i];
      column.segment.passages.push_back(p);
      if (backward[p] && (closed || i + 1 < passages.size())) {
        column.handsOver = true;
        columns.push_back(column);
        column.segment.passages.clear();
        column.segment.after = p;
        column.handsOver = false;
      }
    }
    if (!column.segment.passages.empty()) columns.push_back(column);
  };
  for (std::uint32_t p = 0; p < n; ++p) {
    if (hasPrevious[p]) continue;
    std::vector<std::uint32_t> chain;
    for (std::uint32_t q = p; q != kNone; q = next[q]) {
      chain.push_back(q);
      done[q] = 1;
    }
    cut(chain, kNone, false);
  }
  for (std::uint32_t p = 0; p < n; ++p) {
    if (done[p]) continue;
    std::vector<std::uint32_t> rotation;
    for (std::uint32_t q = p; !done[q]; q = next[q]) {
      rotation.push_back(q);
      done[q] = 1;
    }
    // Start right after a backward passage; the rotation then ends with it.
    const auto last = std::find_if(rotation.begin(), rotation.end(),
                                   [&backward](std::uint32_t q) { return backward[q] != 0; });
    if (last == rotation.end()) return false;
    const std::uint32_t after = *last;
    std::rotate(rotation.begin(), last + 1, rotation.end());
    cut(rotation, after, true);
  }
  return true;
}

}  // namespace

PathBoundResult SolvePathBound(const Day& day, const BGraph::Matching& maximum,
                               const PathBoundSettings& settings) {
  const std::clock_t start = std::clock();
  const auto n = static_cast<std::uint32_t>(day.passages.size());
  PathBoundResult result;
  PathPricing pricing(day);
  const std::vector<std::uint8_t>& backward = pricing.Backward();
  result.backward = pricing.BackwardCount();
  const std::uint32_t homes = static_cast<std::uint32_t>(pricing.Homes().size());
  const std::uint32_t commodities = homes + 1;

  std::vector<double> rowLower(n + 1, 1.0);
  std::vector<double> rowUpper(n + 1, 1.0);
  rowLower[n] = rowUpper[n] = day.openChains;
  ColumnMaster master(rowLower, rowUpper);
  // Per commodity and backward passage: the row that balances the segments
  // handing over after it and those starting after it (made when first
  // needed; -1 before).
  std::vector<std::uint32_t> backwardIndex(n, kNone);
  std::uint32_t backwards = 0;
  for (std::uint32_t p = 0; p < n; ++p)
    if (backward[p]) backwardIndex[p] = backwards++;
  std::vector<int> flowRow(static_cast<std::size_t>(commodities) * backwards, -1);
  const auto flowRowOf = [&](std::uint32_t commodity, std::uint32_t o) -> int& {
    return flowRow[static_cast<std::size_t>(commodity) * backwards + backwardIndex[o]];
  };

  std::set<std::vector<std::uint32_t>> known;
  const auto add = [&](const Column& column) {
    const PathPricing::Segment& segment = column.segment;
    if (segment.passages.empty()) return false;
    std::vector<std::uint32_t> key{column.commodity, segment.after, column.handsOver ? 1u : 0u};
    key.insert(key.end(), segment.passages.begin(), segment.passages.end());
    if (!known.insert(std::move(key)).second) return false;
    std::vector<std::pair<int, double>> entries;
    for (std::uint32_t p : segment.passages) entries.emplace_back(static_cast<int>(p), 1.0);
    const std::uint32_t last = segment.passages.back();
    // A rotation within one segment starts and ends at the same row: 0.
    const bool loops = column.handsOver && segment.after == last;
    if (segment.after == kNone) {
      entries.emplace_back(static_cast<int>(n), 1.0);
    } else if (!loops) {
      int& row = flowRowOf(column.commodity, segment.after);
      if (row < 0) row = master.AddRow(0.0, 0.0);
      entries.emplace_back(row, -1.0);
    }
    if (column.handsOver && !loops) {
      int& row = flowRowOf(column.commodity, last);
      if (row < 0) row = master.AddRow(0.0, 0.0);
      entries.emplace_back(row, 1.0);
    }
    const bool opensHomeChain = column.commodity < homes && segment.after == kNone;
    master.AddColumn(opensHomeChain ? -1.0 : 0.0, entries);
    return true;
  };
  std::vector<Column> first;
  if (!MatchingSegments(pricing, maximum, first)) return result;
  for (const Column& column : first) add(column);

  result.lagrangian = kUnbounded;
  const double chains = day.openChains;
  std::vector<double> weight(n);
  std::vector<double> afterValue(n, kMinusInfinity);
  struct End {
    double gain;
    std::uint32_t passage;
    bool handsOver;
  };
  std::vector<End> ends;

  std::vector<double> center;  // the duals of the best Lagrangian bound so far
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
    std::vector<double> duals = master.Duals();

    // Prices by `y` (per row; rows beyond it count 0): the largest gain
    // (less the reduced cost) of any segment, and the best few per
    // commodity; returns the Lagrangian bound at y.
    std::vector<Column> entering;
    const auto price = [&](const std::vector<double>& y) {
      const auto dual = [&y](int row) { return DualOf(y, row); };
      const double countDual = y[n];
      double dualObjective = chains * countDual;
      for (std::uint32_t p = 0; p < n; ++p) {
        weight[p] = y[p];
        dualObjective += y[p];
      }
      double heaviest = kMinusInfinity;
      entering.clear();
      for (std::uint32_t c = 0; c < commodities; ++c) {
        const bool any = c == homes;
        const std::uint32_t home = any ? PathPricing::kAny : pricing.Homes()[c];
        for (std::uint32_t o = 0; o < n; ++o)
          if (backward[o]) afterValue[o] = -dual(flowRowOf(c, o));
        pricing.Sweep(weight, home, countDual + (any ? 0.0 : 1.0), afterValue);
        ends.clear();
        for (std::uint32_t p = 0; p < n; ++p) {
          const double label = pricing.Label()[p];
          if (label == kMinusInfinity) continue;
          if (day.canEnd[p] && (any || pricing.DestinationAt(p) == home))
            ends.push_back(End{label, p, false});
          if (backward[p]) ends.push_back(End{label + dual(flowRowOf(c, p)), p, true});
        }
        for (const End& end : ends) heaviest = std::max(heaviest, end.gain);
        ends.erase(std::remove_if(ends.begin(), ends.end(),
                                  [](const End& end) { return !(end.gain > kEnters); }),
                   ends.end());
        const auto few =
            std::min<std::size_t>(ends.size(), static_cast<std::size_t>(settings.columnsPerHome));
        std::partial_sort(ends.begin(), ends.begin() + static_cast<std::ptrdiff_t>(few), ends.end(),
                          [](const End& a, const End& b) { return a.gain > b.gain; });
        for (std::size_t i = 0; i < few; ++i)
          entering.push_back(Column{c, pricing.SegmentTo(ends[i].passage), ends[i].handsOver});
      }
      // Every solution has K segments that open a chain and at most one
      // starting after each backward passage (which is covered once).
      return -dualObjective + (chains + backwards) * std::max(0.0, heaviest);
    };
    // A segment's gain by the master's duals: positive when it improves.
    const auto improves = [&](const Column& column) {
      const auto dual = [&duals](int row) { return DualOf(duals, row); };
      const PathPricing::Segment& segment = column.segment;
      double gain = 0.0;
      for (std::uint32_t p : segment.passages) gain += duals[p];
      const std::uint32_t last = segment.passages.back();
      const bool loops = column.handsOver && segment.after == last;
      if (segment.after == kNone) gain += duals[n] + (column.commodity < homes ? 1.0 : 0.0);
      else if (!loops) gain -= dual(flowRowOf(column.commodity, segment.after));
      if (column.handsOver && !loops) gain += dual(flowRowOf(column.commodity, last));
      return gain > kEnters;
    };

    // Smoothed duals (between the duals of the best Lagrangian bound so far
    // and the master's) damp the master's dual oscillation; when they find
    // nothing that improves the master, the master's own duals price.
    double bound = kUnbounded;
    if (settings.smoothing > 0.0 && !center.empty()) {
      std::vector<double> smoothed(duals.size(), 0.0);
      for (std::size_t r = 0; r < duals.size(); ++r)
        smoothed[r] = settings.smoothing * (r < center.size() ? center[r] : 0.0) +
                      (1.0 - settings.smoothing) * duals[r];
      bound = price(smoothed);
      if (bound < result.lagrangian) center = smoothed;
      if (std::none_of(entering.begin(), entering.end(), improves)) bound = kUnbounded;
    }
    if (bound == kUnbounded) {
      bound = price(duals);
      if (bound < result.lagrangian || center.empty()) center = duals;
    }
    result.lagrangian = std::min(result.lagrangian, bound);
    if (result.lagrangian < settings.stopBelow) {
      result.status = PathBoundResult::Status::Stopped;
      break;
    }
    bool added = false;
    for (const Column& column : entering) added = add(column) || added;
    if (!added) {
      result.status = PathBoundResult::Status::Converged;
      break;
    }
  }
  result.columns = master.Columns();
  result.rows = master.Rows();
  if (std::isfinite(result.lagrangian))
    result.bound = static_cast<int>(std::floor(result.lagrangian + kRounding));
  result.seconds = CpuSince(start);
  return result;
}

}  // namespace certify
