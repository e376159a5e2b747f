#include "certify/PathPricing.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace certify {

namespace {

constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

}  // namespace

PathPricing::PathPricing(const Day& day) : day(day) {
  const auto n = static_cast<std::uint32_t>(day.passages.size());
  std::vector<std::uint32_t> ids;
  for (const Passage& passage : day.passages) {
    ids.push_back(passage.origin);
    ids.push_back(passage.destination);
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  terminals = static_cast<std::uint32_t>(ids.size());
  const auto dense = [&ids](std::uint32_t id) {
    return static_cast<std::uint32_t>(std::lower_bound(ids.begin(), ids.end(), id) - ids.begin());
  };
  std::vector<std::uint8_t> starts(terminals, 0);
  std::vector<std::uint8_t> ends(terminals, 0);
  backward.assign(n, 0);
  for (std::uint32_t p = 0; p < n; ++p) {
    const Passage& passage = day.passages[p];
    originAt.push_back(dense(passage.origin));
    destinationAt.push_back(dense(passage.destination));
    if (day.canStart[p]) starts[originAt[p]] = 1;
    if (day.canEnd[p]) ends[destinationAt[p]] = 1;
    // A passage that cannot leave after an arrival departs first; one that
    // never arrives has no entry.
    const double departure = std::isnan(passage.departure) ? kMinusInfinity : passage.departure;
    events.push_back(Event{departure, p, true});
    const double entry = passage.arrival + day.minTurn;
    if (std::isnan(entry)) continue;
    events.push_back(Event{entry, p, false});
    if (!(entry > departure)) backward[p] = 1;
  }
  for (std::uint32_t t = 0; t < terminals; ++t)
    if (starts[t] && ends[t]) homes.push_back(t);
  sweepLimit = 2 + static_cast<int>(std::count(backward.begin(), backward.end(), 1));
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.time < b.time || (a.time == b.time && !a.departs && b.departs);
  });
  FindCycles();
}

// Strong components of the relation through a node per departure: a passage
// leads to the first departure at its destination no earlier than its
// entry, each departure node to its passage and to the next departure
// there. A passage that may leave after its own entry from the terminal it
// reaches lies on a cycle of this graph but not of the relation: it is
// counted as on a cycle, which only relaxes.
void PathPricing::FindCycles() {
  const auto n = static_cast<std::uint32_t>(originAt.size());
  onCycle.assign(n, 0);
  std::vector<std::vector<std::uint32_t>> departing(terminals);
  for (std::uint32_t p = 0; p < n; ++p)
    if (!std::isnan(day.passages[p].departure)) departing[originAt[p]].push_back(p);
  // Nodes: passages 0..n-1, then departure nodes in per-terminal order.
  std::vector<std::uint32_t> nodeBase(terminals + 1, n);
  for (std::uint32_t t = 0; t < terminals; ++t) {
    std::stable_sort(departing[t].begin(), departing[t].end(), [this](std::uint32_t a, std::uint32_t b) {
      return day.passages[a].departure < day.passages[b].departure;
    });
    nodeBase[t + 1] = nodeBase[t] + static_cast<std::uint32_t>(departing[t].size());
  }
  const std::uint32_t nodes = nodeBase[terminals];
  // Up to two successors per node.
  std::vector<std::uint32_t> next(2 * static_cast<std::size_t>(nodes), kNone);
  for (std::uint32_t p = 0; p < n; ++p) {
    const double entry = day.passages[p].arrival + day.minTurn;
    if (std::isnan(entry)) continue;
    const std::vector<std::uint32_t>& list = departing[destinationAt[p]];
    const auto it = std::lower_bound(list.begin(), list.end(), entry, [this](std::uint32_t q, double time) {
      return day.passages[q].departure < time;
    });
    if (it != list.end())
      next[2 * p] = nodeBase[destinationAt[p]] + static_cast<std::uint32_t>(it - list.begin());
  }
  for (std::uint32_t t = 0; t < terminals; ++t)
    for (std::uint32_t i = 0; i < departing[t].size(); ++i) {
      const std::uint32_t node = nodeBase[t] + i;
      next[2 * node] = departing[t][i];
      if (i + 1 < departing[t].size()) next[2 * node + 1] = node + 1;
    }
  // Tarjan's algorithm, iteratively.
  std::vector<std::uint32_t> index(nodes, kNone);
  std::vector<std::uint32_t> low(nodes, 0);
  std::vector<std::uint8_t> onStack(nodes, 0);
  std::vector<std::uint32_t> stack;
  std::vector<std::pair<std::uint32_t, int>> calls;
  std::uint32_t counter = 0;
  for (std::uint32_t root = 0; root < nodes; ++root) {
    if (index[root] != kNone) continue;
    calls.emplace_back(root, 0);
    index[root] = low[root] = counter++;
    stack.push_back(root);
    onStack[root] = 1;
    while (!calls.empty()) {
      auto& [v, edge] = calls.back();
      if (edge < 2) {
        const std::uint32_t w = next[2 * static_cast<std::size_t>(v) + static_cast<std::size_t>(edge)];
        ++edge;
        if (w == kNone) continue;
        if (index[w] == kNone) {
          index[w] = low[w] = counter++;
          stack.push_back(w);
          onStack[w] = 1;
          calls.emplace_back(w, 0);
        } else if (onStack[w]) {
          low[v] = std::min(low[v], index[w]);
        }
        continue;
      }
      const std::uint32_t done = v;
      calls.pop_back();
      if (!calls.empty()) low[calls.back().first] = std::min(low[calls.back().first], low[done]);
      if (low[done] != index[done]) continue;
      std::vector<std::uint32_t> component;
      std::uint32_t w;
      do {
        w = stack.back();
        stack.pop_back();
        onStack[w] = 0;
        component.push_back(w);
      } while (w != done);
      if (component.size() < 2) continue;
      for (std::uint32_t member : component)
        if (member < n) {
          onCycle[member] = 1;
          cyclic = true;
        }
    }
  }
}

bool PathPricing::Sweep(const std::vector<double>& weight, std::uint32_t home) {
  const auto n = static_cast<std::uint32_t>(originAt.size());
  label.assign(n, kMinusInfinity);
  link.assign(n, kNone);
  // Per terminal the two best labels that have entered it, with whose.
  struct Best {
    double value[2];
    std::uint32_t who[2];
  };
  std::vector<Best> best(terminals);
  bool grew = true;
  for (sweeps = 0; grew; ++sweeps) {
    if (sweeps > sweepLimit) return false;
    grew = false;
    grown.clear();
    std::fill(best.begin(), best.end(), Best{{kMinusInfinity, kMinusInfinity}, {kNone, kNone}});
    for (const Event& event : events) {
      const std::uint32_t p = event.passage;
      if (!event.departs) {
        if (label[p] == kMinusInfinity) continue;
        Best& b = best[destinationAt[p]];
        if (label[p] > b.value[0]) {
          if (b.who[0] != p) {
            b.value[1] = b.value[0];
            b.who[1] = b.who[0];
          }
          b.value[0] = label[p];
          b.who[0] = p;
        } else if (label[p] > b.value[1] && b.who[0] != p) {
          b.value[1] = label[p];
          b.who[1] = p;
        }
        continue;
      }
      double from = kMinusInfinity;
      std::uint32_t via = kNone;
      if (home == kEverywhere || (day.canStart[p] && (home == kAny || originAt[p] == home)))
        from = 0.0;
      const Best& b = best[originAt[p]];
      const int i = b.who[0] == p ? 1 : 0;
      if (b.value[i] > from) {
        from = b.value[i];
        via = b.who[i];
      }
      if (from == kMinusInfinity) continue;
      const double value = from + weight[p];
      if (value > label[p] + kGain || (label[p] == kMinusInfinity)) {
        label[p] = value;
        link[p] = via;
        grown.push_back(p);
        if (backward[p]) grew = true;
      }
    }
  }
  return true;
}

std::vector<std::uint32_t> PathPricing::ChainTo(std::uint32_t last) const {
  std::vector<std::uint32_t> chain;
  std::vector<std::uint8_t> seen(originAt.size(), 0);
  for (std::uint32_t p = last; p != kNone; p = link[p]) {
    if (seen[p]) return {};
    seen[p] = 1;
    chain.push_back(p);
  }
  std::reverse(chain.begin(), chain.end());
  return chain;
}

// Labels that still grow after more sweeps than any chain needs lie
// behind a cycle of the links, which (label correcting) has positive
// weight; each is checked.
std::vector<std::vector<std::uint32_t>> PathPricing::PositiveCycles(
    const std::vector<double>& weight, std::size_t most) const {
  const auto n = static_cast<std::uint32_t>(originAt.size());
  std::vector<std::vector<std::uint32_t>> cycles;
  std::vector<std::uint8_t> taken(n, 0);
  std::vector<std::uint32_t> seenAt(n, kNone);
  for (std::uint32_t g = 0; g < grown.size() && cycles.size() < most; ++g) {
    std::uint32_t p = grown[g];
    std::uint32_t steps = 0;
    while (p != kNone && seenAt[p] != g && steps <= n) {
      seenAt[p] = g;
      p = link[p];
      ++steps;
    }
    if (p == kNone || seenAt[p] != g || taken[p]) continue;
    std::vector<std::uint32_t> cycle;
    double total = 0.0;
    std::uint32_t q = p;
    do {
      cycle.push_back(q);
      total += weight[q];
      q = link[q];
    } while (q != p);
    if (!(total > 0.0)) continue;
    for (std::uint32_t member : cycle) taken[member] = 1;
    std::reverse(cycle.begin(), cycle.end());
    cycles.push_back(std::move(cycle));
  }
  return cycles;
}

}  // namespace certify
