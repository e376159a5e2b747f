#include "certify/TimeSpaceModel.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <iterator>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <tuple>

#include "common/ChainEnds.h"

namespace certify {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Bytes per column, row and matrix entry while the program is built and
// solved: the plan and the program here, the solver's copies of both, its
// presolved model and its factors. Calibrated on the peak memory measured
// by `certify_bench --full` (the whole balanced model of generated days of
// 1,000 passages grew the peak by 1.4 and 1.75 times the estimate from 240,
// 200 and 60 bytes), and doubled from those.
constexpr std::uint64_t kBytesPerColumn = 480;
constexpr std::uint64_t kBytesPerRow = 400;
constexpr std::uint64_t kBytesPerEntry = 120;

std::uint32_t DenseTerminals(const std::vector<Passage>& passages,
                             std::vector<std::uint32_t>& originAt,
                             std::vector<std::uint32_t>& destinationAt,
                             std::vector<std::uint32_t>& terminals) {
  for (const Passage& passage : passages) {
    terminals.push_back(passage.origin);
    terminals.push_back(passage.destination);
  }
  std::sort(terminals.begin(), terminals.end());
  terminals.erase(std::unique(terminals.begin(), terminals.end()), terminals.end());
  const auto dense = [&terminals](std::uint32_t terminal) {
    return static_cast<std::uint32_t>(
        std::lower_bound(terminals.begin(), terminals.end(), terminal) - terminals.begin());
  };
  for (const Passage& passage : passages) {
    originAt.push_back(dense(passage.origin));
    destinationAt.push_back(dense(passage.destination));
  }
  return static_cast<std::uint32_t>(terminals.size());
}

// Per terminal, positions sorted by a time (NaN times left out).
std::vector<std::vector<std::uint32_t>> SortedBy(
    const std::vector<std::uint32_t>& terminalAt, std::uint32_t terminals,
    const std::vector<double>& time) {
  std::vector<std::vector<std::uint32_t>> lists(terminals);
  for (std::uint32_t p = 0; p < terminalAt.size(); ++p)
    if (!std::isnan(time[p])) lists[terminalAt[p]].push_back(p);
  for (std::vector<std::uint32_t>& list : lists)
    std::stable_sort(list.begin(), list.end(),
                     [&time](std::uint32_t a, std::uint32_t b) { return time[a] < time[b]; });
  return lists;
}

// One direction of the reachability sweeps: a passage reached leaves
// from `hop`'s terminal at time `out`; there it reaches every passage whose
// time `in` is at least that (`byIn`: per terminal, sorted by `in`).
struct Sweep {
  const std::vector<std::uint32_t>& hop;
  const std::vector<double>& out;
  const std::vector<double>& in;
  std::vector<std::vector<std::uint32_t>> byIn;
};

// Marks in `reached` the passages that `Seeds` picks and all they reach.
// Per terminal only an earlier time than any before reaches new passages,
// which are a run just before those already taken: each is taken once.
template <typename Seeds>
void Reach(const Sweep& sweep, Seeds seeds, std::vector<std::uint8_t>& reached) {
  const auto n = static_cast<std::uint32_t>(sweep.hop.size());
  const std::size_t terminals = sweep.byIn.size();
  reached.assign(n, 0);
  std::vector<double> earliest(terminals, kInfinity);
  std::vector<std::size_t> from(terminals);
  for (std::size_t t = 0; t < terminals; ++t) from[t] = sweep.byIn[t].size();
  std::vector<std::uint32_t> stack;
  for (std::uint32_t p = 0; p < n; ++p)
    if (seeds(p)) {
      reached[p] = 1;
      stack.push_back(p);
    }
  while (!stack.empty()) {
    const std::uint32_t p = stack.back();
    stack.pop_back();
    const std::uint32_t t = sweep.hop[p];
    if (!(sweep.out[p] < earliest[t])) continue;
    earliest[t] = sweep.out[p];
    const std::vector<std::uint32_t>& list = sweep.byIn[t];
    const auto first = std::lower_bound(
        list.begin(), list.end(), sweep.out[p],
        [&sweep](std::uint32_t q, double time) { return sweep.in[q] < time; });
    for (auto it = first; it != list.begin() + static_cast<std::ptrdiff_t>(from[t]); ++it)
      if (!reached[*it]) {
        reached[*it] = 1;
        stack.push_back(*it);
      }
    from[t] = static_cast<std::size_t>(first - list.begin());
  }
}

}  // namespace

bool Day::IsHome(std::uint32_t terminal) const {
  return homes.empty() || std::binary_search(homes.begin(), homes.end(), terminal);
}

int TimeSpaceModel::IntegerBound(double optimum) const {
  constexpr double kTolerance = 1e-6;
  const double penalties = Penalty() * static_cast<double>(day.passages.size());
  return static_cast<int>(std::floor(optimum + penalties + kTolerance));
}

std::uint64_t ModelSize::Bytes() const {
  return kBytesPerColumn * columns + kBytesPerRow * rows + kBytesPerEntry * entries;
}

TimeSpaceModel::TimeSpaceModel(const Day& day, Aim aim, double threshold,
                               std::uint64_t columnCap)
    : day(day), aim(aim), threshold(threshold) {
  terminals = DenseTerminals(day.passages, originAt, destinationAt, terminalIds);
  if (aim == Aim::Rested) PlanRestClasses();
  PlanCommodities();
  const std::uint64_t memberships = PlanMembers(columnCap);
  if (memberships > columnCap) {
    fits = false;
    size.columns = memberships;
    size.commodities = commodities.size();
    return;
  }
  PlanVariables();
  fits = size.columns <= columnCap;
}

bool TimeSpaceModel::MayStart(std::uint32_t p, const Commodity& c) const {
  if (!day.canStart[p]) return false;
  if (c.home != kAnyHome && originAt[p] != c.home) return false;
  if (aim != Aim::Rested) return true;
  return (c.home == kAnyHome ? startClassAny[p] : startClassHome[p]) == c.restClass;
}

bool TimeSpaceModel::MayEnd(std::uint32_t p, const Commodity& c) const {
  return day.canEnd[p] && (c.home == kAnyHome || destinationAt[p] == c.home);
}

bool TimeSpaceModel::EndIsRested(std::uint32_t p, const Commodity& c) const {
  return (c.home == kAnyHome ? endRankAny[p] : endRankHome[p]) < c.restClass;
}

// A chain's rest depends on its first departure and last arrival alone,
// and for a given first departure the rested arrivals are the earliest
// ones. Its class is how many chain ends (at its home, or anywhere) are
// rested for it; an end is rested for the class iff its rank among the
// ends' arrivals is below it. Equal classes make equal chains rested.
void TimeSpaceModel::PlanRestClasses() {
  const std::size_t n = day.passages.size();
  std::vector<std::vector<double>> endsAt(terminals);
  std::vector<double> allEnds;
  for (std::uint32_t p = 0; p < n; ++p) {
    if (!day.canEnd[p] || std::isnan(day.passages[p].arrival)) continue;
    endsAt[destinationAt[p]].push_back(day.passages[p].arrival);
    allEnds.push_back(day.passages[p].arrival);
  }
  for (std::vector<double>& list : endsAt) std::sort(list.begin(), list.end());
  std::sort(allEnds.begin(), allEnds.end());
  const auto rank = [](const std::vector<double>& ends, double arrival) {
    if (std::isnan(arrival)) return kNone;
    return static_cast<std::uint32_t>(std::lower_bound(ends.begin(), ends.end(), arrival) -
                                      ends.begin());
  };
  const auto rested = [this](const std::vector<double>& ends, const Passage& first) {
    Passage last;
    const auto count = std::partition_point(ends.begin(), ends.end(), [&](double arrival) {
      last.arrival = arrival;
      return HasEnoughRest(first, last, threshold);
    });
    return static_cast<std::uint32_t>(count - ends.begin());
  };
  startClassHome.assign(n, 0);
  startClassAny.assign(n, 0);
  endRankHome.assign(n, kNone);
  endRankAny.assign(n, kNone);
  for (std::uint32_t p = 0; p < n; ++p) {
    const Passage& passage = day.passages[p];
    if (day.canStart[p]) {
      startClassHome[p] = rested(endsAt[originAt[p]], passage);
      startClassAny[p] = rested(allEnds, passage);
    }
    if (day.canEnd[p]) {
      endRankHome[p] = rank(endsAt[destinationAt[p]], passage.arrival);
      endRankAny[p] = rank(allEnds, passage.arrival);
    }
  }
  if (day.restClasses == 0) return;
  // Rounds each start's class up to the largest of its group: the distinct
  // classes of a home (or of any home), in order, cut into restClasses
  // groups of about equal size.
  const auto merge = [this](std::vector<std::uint32_t>& classOf,
                            const std::vector<std::uint32_t>& groupOf) {
    std::vector<std::vector<std::uint32_t>> distinct(terminals + 1);
    for (std::uint32_t p = 0; p < classOf.size(); ++p)
      if (day.canStart[p]) distinct[groupOf[p]].push_back(classOf[p]);
    for (std::vector<std::uint32_t>& list : distinct) {
      std::sort(list.begin(), list.end());
      list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    for (std::uint32_t p = 0; p < classOf.size(); ++p) {
      if (!day.canStart[p]) continue;
      const std::vector<std::uint32_t>& list = distinct[groupOf[p]];
      const std::size_t at =
          std::lower_bound(list.begin(), list.end(), classOf[p]) - list.begin();
      const std::size_t group = at * day.restClasses / list.size();
      const std::size_t top = ((group + 1) * list.size() + day.restClasses - 1) / day.restClasses;
      classOf[p] = list[std::min(top, list.size()) - 1];
    }
  };
  merge(startClassHome, originAt);
  merge(startClassAny, std::vector<std::uint32_t>(n, terminals));
}

void TimeSpaceModel::PlanCommodities() {
  const std::size_t n = day.passages.size();
  std::vector<std::uint8_t> startsAt(terminals, 0);
  std::vector<std::uint8_t> endsAt(terminals, 0);
  for (std::uint32_t p = 0; p < n; ++p) {
    if (day.canStart[p]) startsAt[originAt[p]] = 1;
    if (day.canEnd[p]) endsAt[destinationAt[p]] = 1;
  }
  // (home, class) pairs that some start opens.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> opened;
  for (std::uint32_t p = 0; p < n; ++p) {
    if (!day.canStart[p]) continue;
    const std::uint32_t home = originAt[p];
    if (endsAt[home] && (day.IsHome(day.passages[p].origin) ||
                         (!day.keptHome.empty() && day.keptHome[p] == day.passages[p].origin)))
      opened.emplace_back(home, aim == Aim::Rested ? startClassHome[p] : 0);
    if (aim == Aim::Rested) opened.emplace_back(kAnyHome, startClassAny[p]);
  }
  if (aim == Aim::Balanced) opened.emplace_back(kAnyHome, 0);
  std::sort(opened.begin(), opened.end());
  opened.erase(std::unique(opened.begin(), opened.end()), opened.end());
  for (const auto& [home, restClass] : opened) commodities.push_back(Commodity{home, restClass});
}

// Forward from the commodity's starts (a passage reached arrives at its
// destination; every departure there no earlier than the turn after is
// reached), backward from its ends likewise; its passages are those both
// sweeps reach. Each sweep keeps, per terminal, the earliest (latest) time
// reached, so each passage is taken once.
std::uint64_t TimeSpaceModel::PlanMembers(std::uint64_t cap) {
  const std::size_t n = day.passages.size();
  std::vector<double> departure(n);
  std::vector<double> entry(n);
  for (std::uint32_t p = 0; p < n; ++p) {
    departure[p] = day.passages[p].departure;
    entry[p] = EntryTime(p);
  }
  // Backward is forward on negated times: from an end, the passages that
  // can precede it are those entering its origin no later than it leaves.
  std::vector<double> negatedDeparture(n);
  std::vector<double> negatedEntry(n);
  for (std::uint32_t p = 0; p < n; ++p) {
    negatedDeparture[p] = -departure[p];
    negatedEntry[p] = -entry[p];
  }
  const Sweep forwardSweep{destinationAt, entry, departure,
                           SortedBy(originAt, terminals, departure)};
  const Sweep backwardSweep{originAt, negatedDeparture, negatedEntry,
                            SortedBy(destinationAt, terminals, negatedEntry)};
  std::vector<std::uint8_t> forward;
  std::vector<std::uint8_t> backward;
  std::uint32_t backwardHome = kNone;
  members.resize(commodities.size());
  std::uint64_t memberships = 0;
  for (std::size_t k = 0; k < commodities.size() && memberships <= cap; ++k) {
    const Commodity& c = commodities[k];
    if (aim == Aim::Balanced && c.home == kAnyHome) {
      // Every passage lies on some chain.
      members[k].resize(n);
      for (std::uint32_t p = 0; p < n; ++p) members[k][p] = p;
      memberships += n;
      continue;
    }
    // Commodities come sorted by home: one backward sweep per home.
    if (c.home != backwardHome || backward.empty()) {
      Reach(backwardSweep, [&](std::uint32_t p) { return MayEnd(p, c); }, backward);
      backwardHome = c.home;
    }
    Reach(forwardSweep, [&](std::uint32_t p) { return MayStart(p, c); }, forward);
    const bool kept = c.home != kAnyHome && !day.IsHome(terminalIds[c.home]);
    for (std::uint32_t p = 0; p < n; ++p)
      if (forward[p] && backward[p] && (!kept || day.keptHome[p] == terminalIds[c.home]))
        members[k].push_back(p);
    memberships += members[k].size();
  }
  return memberships;
}

std::uint32_t TimeSpaceModel::DepartureNode(std::uint32_t commodity, std::uint32_t terminal,
                                            double departure) const {
  const auto& list = nodes[commodity];
  const auto it = std::upper_bound(list.begin(), list.end(), std::make_pair(terminal, departure));
  if (it == list.begin() || std::prev(it)->first != terminal) return kNone;
  return nodeBase[commodity] + static_cast<std::uint32_t>(it - list.begin()) - 1;
}

std::uint32_t TimeSpaceModel::ArrivalNode(std::uint32_t commodity, std::uint32_t terminal,
                                          double entry) const {
  const auto& list = nodes[commodity];
  const auto it = std::lower_bound(list.begin(), list.end(), std::make_pair(terminal, entry));
  if (it == list.end() || it->first != terminal) return kNone;
  return nodeBase[commodity] + static_cast<std::uint32_t>(it - list.begin());
}

void TimeSpaceModel::PlanVariables() {
  // Per terminal, the two earliest entries and the two latest departures
  // of the commodity's passages (with who they are), so that "some other
  // passage can precede / follow this one" is a comparison.
  struct Two {
    double time[2];
    std::uint32_t who[2];
  };
  std::vector<Two> earliestIn(terminals);
  std::vector<Two> latestOut(terminals);
  const std::uint32_t fixedRows =
      static_cast<std::uint32_t>(day.passages.size()) + (aim == Aim::Rested ? 2 : 1);
  std::uint32_t nextNode = fixedRows;
  nodes.resize(commodities.size());
  nodeBase.resize(commodities.size());
  for (std::uint32_t k = 0; k < commodities.size(); ++k) {
    const Commodity& c = commodities[k];
    for (std::uint32_t p : members[k]) {
      earliestIn[destinationAt[p]] = Two{{kInfinity, kInfinity}, {kNone, kNone}};
      latestOut[originAt[p]] = Two{{-kInfinity, -kInfinity}, {kNone, kNone}};
    }
    for (std::uint32_t p : members[k]) {
      const double in = EntryTime(p);
      Two& e = earliestIn[destinationAt[p]];
      if (in < e.time[0]) {
        e = Two{{in, e.time[0]}, {p, e.who[0]}};
      } else if (in < e.time[1]) {
        e.time[1] = in;
        e.who[1] = p;
      }
      const double out = day.passages[p].departure;
      Two& l = latestOut[originAt[p]];
      if (out > l.time[0]) {
        l = Two{{out, l.time[0]}, {p, l.who[0]}};
      } else if (out > l.time[1]) {
        l.time[1] = out;
        l.who[1] = p;
      }
    }
    const std::size_t firstVariable = variables.size();
    for (std::uint32_t p : members[k]) {
      const Passage& passage = day.passages[p];
      const Two& e = earliestIn[originAt[p]];
      const Two& l = latestOut[destinationAt[p]];
      // Reset entries of terminals no member arrives at or leaves from
      // would be stale: a terminal counts only when a member set it.
      bool canContinueIn = false;
      bool canContinueOut = false;
      for (int i = 0; i < 2; ++i) {
        if (e.who[i] != kNone && e.who[i] != p && destinationAt[e.who[i]] == originAt[p] &&
            e.time[i] <= passage.departure)
          canContinueIn = true;
        if (l.who[i] != kNone && l.who[i] != p && originAt[l.who[i]] == destinationAt[p] &&
            l.time[i] >= EntryTime(p))
          canContinueOut = true;
      }
      const bool starts = MayStart(p, c);
      const bool ends = MayEnd(p, c);
      for (int in = 0; in < 2; ++in) {
        if (in == 0 ? !starts : !canContinueIn) continue;
        for (int out = 0; out < 2; ++out) {
          if (out == 0 ? !ends : !canContinueOut) continue;
          Variable v;
          v.passage = p;
          v.commodity = k;
          v.ways = static_cast<std::uint8_t>((in == 0 ? kStarts : 0) | (out == 0 ? kEnds : 0));
          v.continuesIn = in == 1;
          v.continuesOut = out == 1;
          variables.push_back(v);
        }
      }
    }
    // Departures between two arrivals at a terminal draw on the same
    // waiting flow: they share a node, which starts at the first of them
    // (unless day.mergeNodes is off: then a node per departure time).
    // Events: (terminal, time, departs), an arrival before a departure at
    // the same time.
    std::vector<std::tuple<std::uint32_t, double, int>> events;
    for (std::size_t v = firstVariable; v < variables.size(); ++v) {
      const std::uint32_t p = variables[v].passage;
      if (variables[v].continuesIn) events.emplace_back(originAt[p], day.passages[p].departure, 1);
      if (variables[v].continuesOut) events.emplace_back(destinationAt[p], EntryTime(p), 0);
    }
    std::sort(events.begin(), events.end());
    std::vector<std::pair<std::uint32_t, double>>& line = nodes[k];
    for (std::size_t i = 0; i < events.size(); ++i) {
      const auto& [terminal, time, departs] = events[i];
      if (!departs) continue;
      const bool opens = i == 0 || std::get<0>(events[i - 1]) != terminal ||
                         !std::get<2>(events[i - 1]) ||
                         (!day.mergeNodes && std::get<1>(events[i - 1]) != time);
      if (opens) line.emplace_back(terminal, time);
    }
    nodeBase[k] = nextNode;
    nextNode += static_cast<std::uint32_t>(line.size());
    // An arrival hands over only where a node of its terminal follows.
    std::size_t kept = firstVariable;
    for (std::size_t v = firstVariable; v < variables.size(); ++v) {
      const Variable& variable = variables[v];
      if (variable.continuesOut &&
          ArrivalNode(k, destinationAt[variable.passage], EntryTime(variable.passage)) == kNone)
        continue;
      variables[kept++] = variable;
    }
    variables.resize(kept);
    for (std::uint32_t j = 0; j + 1 < line.size(); ++j) {
      if (line[j].first != line[j + 1].first) continue;
      Variable wait;
      wait.passage = j;
      wait.commodity = k;
      wait.ways = kWait;
      variables.push_back(wait);
    }
  }
  size.commodities = commodities.size();
  size.columns = variables.size();
  size.rows = nextNode;
  for (const Variable& v : variables) {
    if (v.ways & kWait) {
      size.entries += 2;
      continue;
    }
    size.entries += 1 + ((v.ways & kStarts) ? (aim == Aim::Rested ? 2 : 1) : 0) +
                    (v.continuesIn ? 1 : 0) + (v.continuesOut ? 1 : 0);
  }
}

LinearProgram TimeSpaceModel::Build(int minOpenBalanced) const {
  LinearProgram program;
  program.maximise = true;
  const auto n = static_cast<std::uint32_t>(day.passages.size());
  for (std::uint32_t p = 0; p < n; ++p) program.AddRow(1.0, 1.0);
  const int chainRow = program.AddRow(day.openChains, day.openChains);
  const int balancedRow = aim == Aim::Rested ? program.AddRow(minOpenBalanced, kUnbounded) : -1;
  for (std::size_t row = program.Rows(); row < size.rows; ++row) program.AddRow(0.0, 0.0);
  program.objective.reserve(variables.size());
  program.columnUpper.reserve(variables.size());
  program.start.reserve(variables.size() + 1);
  program.rowIndex.reserve(size.entries);
  program.value.reserve(size.entries);

  std::vector<std::pair<int, double>> entries;
  for (const Variable& v : variables) {
    entries.clear();
    const Commodity& c = commodities[v.commodity];
    if (v.ways & kWait) {
      const auto node = static_cast<int>(nodeBase[v.commodity] + v.passage);
      entries = {{node, -1.0}, {node + 1, 1.0}};
      program.AddColumn(0.0, kUnbounded, entries);
      continue;
    }
    const std::uint32_t p = v.passage;
    const Passage& passage = day.passages[p];
    entries.emplace_back(static_cast<int>(p), 1.0);
    double cost = 0.0;
    if (v.ways & kStarts) {
      entries.emplace_back(chainRow, 1.0);
      if (c.home != kAnyHome) {
        if (aim == Aim::Balanced) cost = 1.0;
        else entries.emplace_back(balancedRow, 1.0);
      }
    }
    if ((v.ways & kEnds) && aim == Aim::Rested && EndIsRested(p, c)) cost = 1.0;
    if (c.home != kAnyHome) cost -= Penalty();
    if (v.continuesIn)
      entries.emplace_back(static_cast<int>(DepartureNode(v.commodity, originAt[p], passage.departure)),
                           -1.0);
    if (v.continuesOut)
      entries.emplace_back(static_cast<int>(ArrivalNode(v.commodity, destinationAt[p], EntryTime(p))),
                           1.0);
    program.AddColumn(cost, 1.0, entries);
  }
  return program;
}

std::vector<std::uint8_t> TimeSpaceModel::FlownHome(const std::vector<double>& solution) const {
  constexpr double kTolerance = 1e-6;
  std::vector<std::uint8_t> flown(day.passages.size(), 0);
  for (std::size_t v = 0; v < variables.size() && v < solution.size(); ++v)
    if (!(variables[v].ways & kWait) && commodities[variables[v].commodity].home != kAnyHome &&
        solution[v] > kTolerance)
      flown[variables[v].passage] = 1;
  return flown;
}

bool TimeSpaceModel::Decode(const std::vector<double>& solution,
                            BGraph::Matching& matching) const {
  constexpr double kTolerance = 1e-6;
  const auto n = static_cast<std::uint32_t>(day.passages.size());
  if (solution.size() != variables.size()) return false;
  std::vector<std::uint32_t> chosen(n, kNone);
  for (std::size_t v = 0; v < variables.size(); ++v) {
    if (variables[v].ways & kWait) continue;
    const double x = solution[v];
    if (std::fabs(x) <= kTolerance) continue;
    if (std::fabs(x - 1.0) > kTolerance || chosen[variables[v].passage] != kNone) return false;
    chosen[variables[v].passage] = static_cast<std::uint32_t>(v);
  }
  // Events per commodity and terminal in time order, an arrival before a
  // departure at the same time: (commodity, terminal, time, departs, passage).
  std::vector<std::tuple<std::uint32_t, std::uint32_t, double, int, std::uint32_t>> events;
  for (std::uint32_t p = 0; p < n; ++p) {
    if (chosen[p] == kNone) return false;
    const Variable& v = variables[chosen[p]];
    if (v.continuesOut) events.emplace_back(v.commodity, destinationAt[p], EntryTime(p), 0, p);
    if (v.continuesIn)
      events.emplace_back(v.commodity, originAt[p], day.passages[p].departure, 1, p);
  }
  std::sort(events.begin(), events.end());
  // First in, first out; a passage never follows itself.
  matching.clear();
  std::deque<std::uint32_t> waiting;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const auto& [commodity, terminal, time, departs, p] = events[i];
    if (i > 0 && (std::get<0>(events[i - 1]) != commodity ||
                  std::get<1>(events[i - 1]) != terminal)) {
      if (!waiting.empty()) return false;
    }
    if (!departs) {
      waiting.push_back(p);
      continue;
    }
    if (waiting.empty()) return false;
    std::size_t pick = waiting.front() == p ? 1 : 0;
    if (pick >= waiting.size()) return false;
    matching.emplace_back(static_cast<int>(waiting[pick]), static_cast<int>(n + p));
    waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(pick));
  }
  if (!waiting.empty()) return false;
  std::sort(matching.begin(), matching.end());
  return true;
}

}  // namespace certify
