#include "common/Poset.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <thread>

#include "common/BesideThread.h"
#include "common/TerminalIndex.h"

bool CanFollow(const Passage& before, const Passage& after) {
  return FollowRule{}.CanFollow(before, after);
}

namespace {

// Days from this size on make their pairs on two threads.
constexpr std::uint32_t kTwoThreadsFrom = 4096;

struct Timed {
  double time;
  std::uint32_t position;
};

// Per terminal, the arrivals and departures that carry a time (NaN connects
// to nothing), each sorted by time; and per passage the terminal of its
// origin and of its destination as group indices.
struct Sweep {
  std::vector<std::vector<Timed>> arrivals;
  std::vector<std::vector<Timed>> departures;
  std::vector<std::uint32_t> originGroup;
  std::vector<std::uint32_t> destinationGroup;
  FollowRule rule;

  Sweep(const std::vector<Passage>& passages, const FollowRule& rule) : rule(rule) {
    const std::vector<TerminalGroup> groups = GroupByTerminal(passages);
    arrivals.resize(groups.size());
    departures.resize(groups.size());
    originGroup.resize(passages.size());
    destinationGroup.resize(passages.size());
    const auto byTime = [](const Timed& a, const Timed& b) { return a.time < b.time; };
    for (std::uint32_t g = 0; g < groups.size(); ++g) {
      for (std::uint32_t p : groups[g].arriving) {
        destinationGroup[p] = g;
        if (!std::isnan(passages[p].arrival)) arrivals[g].push_back({passages[p].arrival, p});
      }
      for (std::uint32_t p : groups[g].departing) {
        originGroup[p] = g;
        if (!std::isnan(passages[p].departure))
          departures[g].push_back({passages[p].departure, p});
      }
      std::sort(arrivals[g].begin(), arrivals[g].end(), byTime);
      std::sort(departures[g].begin(), departures[g].end(), byTime);
    }
  }

  // Passages that `passage` can follow: arrived at its origin early enough
  // for it to leave (a prefix of the arrivals, the rule's ready time being
  // monotone in the arrival).
  std::pair<const Timed*, const Timed*> Before(const Passage& passage, std::uint32_t p) const {
    const std::vector<Timed>& list = arrivals[originGroup[p]];
    if (std::isnan(passage.departure)) return {list.data(), list.data()};
    const auto end = std::upper_bound(
        list.begin(), list.end(), passage.departure,
        [this](double time, const Timed& entry) { return time < rule.ReadyAt(entry.time); });
    return {list.data(), list.data() + (end - list.begin())};
  }

  // Passages that can follow `passage`: leave its destination no earlier than
  // it is ready to leave again (a suffix of the departures).
  std::pair<const Timed*, const Timed*> After(const Passage& passage, std::uint32_t p) const {
    const std::vector<Timed>& list = departures[destinationGroup[p]];
    const Timed* end = list.data() + list.size();
    if (std::isnan(passage.arrival)) return {end, end};
    const auto begin = std::lower_bound(
        list.begin(), list.end(), rule.ReadyAt(passage.arrival),
        [](const Timed& entry, double time) { return entry.time < time; });
    return {list.data() + (begin - list.begin()), end};
  }
};

}  // namespace

void Poset::CreatePoset(TimeTable& table) { CreatePoset(table, FollowRule{}); }

void Poset::CreatePoset(TimeTable& table, const FollowRule& rule) {
  const std::vector<Passage>& passages = table.passages;
  const std::uint32_t n = static_cast<std::uint32_t>(passages.size());
  const Sweep sweep(passages, rule);

  // The larger positions are split into a lower and an upper half, walked
  // by two threads on large days. A bucket takes the pairs of the lower
  // half first, then those of the upper half: still in order of the larger
  // position.
  const std::uint32_t middle = n / 2;
  const bool twoThreads = n >= kTwoThreadsFrom && std::thread::hardware_concurrency() > 1;
  const auto inHalves = [&](const auto& walk) {
    if (twoThreads) {
      RunBesideThread([&] { walk(1, middle, n); }, [&] { walk(0, 0, middle); });
    } else {
      walk(0, 0, middle);
      walk(1, middle, n);
    }
  };

  // Pass 1: each half's pairs per smaller position.
  std::vector<std::uint64_t> cursors[2] = {std::vector<std::uint64_t>(n, 0),
                                           std::vector<std::uint64_t>(n, 0)};
  inHalves([&](int half, std::uint32_t from, std::uint32_t to) {
    std::vector<std::uint64_t>& count = cursors[half];
    for (std::uint32_t q = from; q < to; ++q) {
      const auto before = sweep.Before(passages[q], q);
      for (const Timed* e = before.first; e != before.second; ++e)
        if (e->position < q) ++count[e->position];
      const auto after = sweep.After(passages[q], q);
      for (const Timed* e = after.first; e != after.second; ++e)
        if (e->position < q) ++count[e->position];
    }
  });
  // The counts become the places where each half's pairs of a bucket go.
  const std::size_t first = pairs.size();
  std::uint64_t total = first;
  for (std::uint32_t p = 0; p < n; ++p) {
    const std::uint64_t lower = cursors[0][p];
    const std::uint64_t upper = cursors[1][p];
    cursors[0][p] = total;
    cursors[1][p] = total + lower;
    total += lower + upper;
  }
  pairs.resize(total);

  // Pass 2: the same walks write each pair into its place.
  std::pair<std::uint32_t, std::uint32_t>* out = pairs.data();
  inHalves([&](int half, std::uint32_t from, std::uint32_t to) {
    std::vector<std::uint64_t>& next = cursors[half];
    for (std::uint32_t q = from; q < to; ++q) {
      const std::uint32_t qId = passages[q].id;
      const auto before = sweep.Before(passages[q], q);
      for (const Timed* e = before.first; e != before.second; ++e)
        if (e->position < q) out[next[e->position]++] = {passages[e->position].id, qId};
      const auto after = sweep.After(passages[q], q);
      for (const Timed* e = after.first; e != after.second; ++e)
        if (e->position < q) out[next[e->position]++] = {qId, passages[e->position].id};
    }
  });
}

void Poset::CreatePosetByPairTest(TimeTable& table, const FollowRule& rule) {
  const std::vector<Passage>& passages = table.passages;
  const std::size_t n = passages.size();
  for (std::size_t i = 0; i + 1 < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (rule.CanFollow(passages[i], passages[j]))
        pairs.emplace_back(passages[i].id, passages[j].id);
      if (rule.CanFollow(passages[j], passages[i]))
        pairs.emplace_back(passages[j].id, passages[i].id);
    }
  }
}

std::uint64_t Poset::CountPairs(const std::vector<Passage>& passages, const FollowRule& rule) {
  const Sweep sweep(passages, rule);
  std::uint64_t count = 0;
  for (std::uint32_t q = 0; q < passages.size(); ++q) {
    const auto before = sweep.Before(passages[q], q);
    count += static_cast<std::uint64_t>(before.second - before.first);
    // A round trip that arrives no later than it leaves is in its own prefix.
    if (rule.CanFollow(passages[q], passages[q])) --count;
  }
  return count;
}

void Poset::Print() const {
  for (const auto& pair : pairs) std::cout << pair.first << " <= " << pair.second << std::endl;
}
