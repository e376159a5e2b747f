#include "certify/PathPricing.h"

#include <algorithm>
#include <cmath>

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
    if (!(entry > departure)) {
      backward[p] = 1;
      ++backwardCount;
    }
  }
  for (std::uint32_t t = 0; t < terminals; ++t)
    if (starts[t] && ends[t] && day.IsHome(ids[t])) homes.push_back(t);
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    return a.time < b.time || (a.time == b.time && !a.departs && b.departs);
  });
}

void PathPricing::Sweep(const std::vector<double>& weight, std::uint32_t home, double startValue,
                        const std::vector<double>& afterValue) {
  const auto n = static_cast<std::uint32_t>(originAt.size());
  label.assign(n, kMinusInfinity);
  link.assign(n, kNone);
  source.assign(n, 0);
  // Per terminal the two best values that have entered it, with whose
  // (a label, or a source after a backward passage).
  struct Best {
    double value[2];
    std::uint32_t who[2];
    bool after[2];
  };
  std::vector<Best> best(
      terminals, Best{{kMinusInfinity, kMinusInfinity}, {kNone, kNone}, {false, false}});
  for (const Event& event : events) {
    const std::uint32_t p = event.passage;
    if (!event.departs) {
      const double value = backward[p] ? afterValue[p] : label[p];
      if (value == kMinusInfinity) continue;
      Best& b = best[destinationAt[p]];
      if (value > b.value[0]) {
        b.value[1] = b.value[0];
        b.who[1] = b.who[0];
        b.after[1] = b.after[0];
        b.value[0] = value;
        b.who[0] = p;
        b.after[0] = backward[p] != 0;
      } else if (value > b.value[1]) {
        b.value[1] = value;
        b.who[1] = p;
        b.after[1] = backward[p] != 0;
      }
      continue;
    }
    double from = kMinusInfinity;
    std::uint32_t via = kNone;
    bool after = false;
    if (day.canStart[p] && (home == kAny || originAt[p] == home)) from = startValue;
    const Best& b = best[originAt[p]];
    const int i = b.who[0] == p ? 1 : 0;
    if (b.value[i] > from) {
      from = b.value[i];
      via = b.who[i];
      after = b.after[i];
    }
    if (from == kMinusInfinity) continue;
    label[p] = from + weight[p];
    link[p] = via;
    source[p] = after ? 1 : 0;
  }
}

PathPricing::Segment PathPricing::SegmentTo(std::uint32_t last) const {
  Segment segment;
  std::uint32_t p = last;
  while (true) {
    segment.passages.push_back(p);
    if (link[p] == kNone) break;
    if (source[p]) {
      segment.after = link[p];
      break;
    }
    p = link[p];
  }
  std::reverse(segment.passages.begin(), segment.passages.end());
  return segment;
}

}  // namespace certify
