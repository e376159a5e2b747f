#include "localsearch/BoardPolish.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The least-cost assignment of every row of `cost` (rows <= columns, row
// major) to a column of its own; returns the column of each row.
std::vector<std::uint32_t> LeastCostAssignment(const std::vector<std::int64_t>& cost,
                                               std::uint32_t rows, std::uint32_t columns) {
  constexpr std::int64_t kInfinite = std::numeric_limits<std::int64_t>::max() / 4;
  std::vector<std::int64_t> rowPotential(rows + 1, 0);
  std::vector<std::int64_t> columnPotential(columns + 1, 0);
  std::vector<std::uint32_t> rowOf(columns + 1, 0);  // 1-based row, 0: none
  std::vector<std::uint32_t> way(columns + 1, 0);
  std::vector<std::int64_t> least(columns + 1);
  std::vector<char> used(columns + 1);
  for (std::uint32_t row = 1; row <= rows; ++row) {
    rowOf[0] = row;
    std::uint32_t column = 0;
    std::fill(least.begin(), least.end(), kInfinite);
    std::fill(used.begin(), used.end(), 0);
    do {
      used[column] = 1;
      const std::uint32_t at = rowOf[column];
      std::int64_t delta = kInfinite;
      std::uint32_t next = 0;
      for (std::uint32_t j = 1; j <= columns; ++j) {
        if (used[j]) continue;
        const std::int64_t reduced =
            cost[static_cast<std::size_t>(at - 1) * columns + (j - 1)] - rowPotential[at] -
            columnPotential[j];
        if (reduced < least[j]) {
          least[j] = reduced;
          way[j] = column;
        }
        if (least[j] < delta) {
          delta = least[j];
          next = j;
        }
      }
      for (std::uint32_t j = 0; j <= columns; ++j) {
        if (used[j]) {
          rowPotential[rowOf[j]] += delta;
          columnPotential[j] -= delta;
        } else {
          least[j] -= delta;
        }
      }
      column = next;
    } while (rowOf[column] != 0);
    do {
      const std::uint32_t before = way[column];
      rowOf[column] = rowOf[before];
      column = before;
    } while (column != 0);
  }
  std::vector<std::uint32_t> columnOf(rows, 0);
  for (std::uint32_t j = 1; j <= columns; ++j)
    if (rowOf[j] != 0) columnOf[rowOf[j] - 1] = j - 1;
  return columnOf;
}

}  // namespace

BoardPolish::BoardPolish(ChainExchange& state) : state(state) {
  leavingAt.resize(state.arrivingAt.size());
  for (std::uint32_t p = 0; p < state.n; ++p) leavingAt[state.originAt[p]].push_back(p);
  // Unknown (NaN) departures last: no time is ready for them.
  auto earlier = [&state](std::uint32_t p, std::uint32_t q) {
    const double a = state.passageAt[p].departure;
    const double b = state.passageAt[q].departure;
    if (std::isnan(a) || std::isnan(b)) {
      if (std::isnan(a) != std::isnan(b)) return std::isnan(b);
      return p < q;
    }
    return a < b || (a == b && p < q);
  };
  for (std::vector<std::uint32_t>& columns : leavingAt)
    std::sort(columns.begin(), columns.end(), earlier);
}

std::vector<double> BoardPolish::BoardTimes(std::uint32_t terminal) const {
  std::vector<double> times;
  const std::vector<std::uint32_t>& arriving = state.arrivingAt[terminal];
  const std::vector<std::uint32_t>& leaving = leavingAt[terminal];
  for (std::size_t k = 0; k < arriving.size(); ++k) {
    const double arrival = state.passageAt[arriving[k]].arrival;
    if (std::isnan(arrival)) break;
    const double ready = state.rule.ReadyAt(arrival);
    double nextReady = std::numeric_limits<double>::infinity();
    if (k + 1 < arriving.size() && !std::isnan(state.passageAt[arriving[k + 1]].arrival))
      nextReady = state.rule.ReadyAt(state.passageAt[arriving[k + 1]].arrival);
    if (nextReady == ready) continue;
    const auto from = std::partition_point(leaving.begin(), leaving.end(), [&](std::uint32_t c) {
      return state.passageAt[c].departure < ready;
    });
    if (from != leaving.end() && state.passageAt[*from].departure < nextReady)
      times.push_back(ready);
  }
  return times;
}

void BoardPolish::Meet(std::uint32_t chain) {
  if (seen[chain] == stamp)
    twice[chain] = stamp;
  else
    seen[chain] = stamp;
}

bool BoardPolish::Gather(std::uint32_t terminal, double from, double to) {
  const ChainExchange& s = state;
  if (seen.size() < s.first.size()) {
    seen.resize(s.first.size(), 0);
    twice.resize(s.first.size(), 0);
  }
  if (stamp >= 0xFFFFFFF0u) {
    std::fill(seen.begin(), seen.end(), 0);
    std::fill(twice.begin(), twice.end(), 0);
    stamp = 0;
  }
  ++stamp;
  heads.clear();
  tails.clear();
  freeRows.clear();
  freeColumns.clear();
  for (std::uint32_t row : s.arrivingAt[terminal]) {
    const double arrival = s.passageAt[row].arrival;
    if (std::isnan(arrival) || !(s.rule.ReadyAt(arrival) <= to)) break;
    const std::uint32_t column = s.succ[row];
    if (column == ChainExchange::kNone) {
      freeRows.push_back(row);
    } else if (s.originAt[column] == terminal && s.passageAt[column].departure >= from) {
      heads.push_back(row);
    } else {
      continue;
    }
    Meet(s.chainOf[row]);
  }
  const std::vector<std::uint32_t>& leaving = leavingAt[terminal];
  for (auto it = std::partition_point(
           leaving.begin(), leaving.end(),
           [&](std::uint32_t c) { return s.passageAt[c].departure < from; });
       it != leaving.end(); ++it) {
    if (s.pred[*it] != ChainExchange::kNone) continue;
    freeColumns.push_back(*it);
    Meet(s.chainOf[*it]);
  }
  // Apart: a chain met twice is left out. Once: the first place met in
  // the order below (matched cells, free rows, free columns) is taken, the
  // others stay as they are.
  ++stamp;
  auto usable = [&](std::uint32_t position) {
    const std::uint32_t chain = s.chainOf[position];
    if (s.kind[chain] != ChainExchange::kOpen) return false;
    if (!keepOnce) return twice[chain] != stamp - 1;
    if (seen[chain] == stamp) return false;
    seen[chain] = stamp;
    return true;
  };
  // Matched cells, the latest arrivals first when there are too many.
  std::reverse(heads.begin(), heads.end());
  heads.erase(std::remove_if(heads.begin(), heads.end(),
                             [&](std::uint32_t row) { return !usable(row); }),
              heads.end());
  if (heads.size() > kMaxSide) heads.resize(kMaxSide);
  const auto matched = static_cast<std::uint32_t>(heads.size());
  if (matched == 0) return false;
  for (std::uint32_t row : heads) tails.push_back(s.succ[row]);
  // Free ends nearest the time, each kind at most `matched` times: no more
  // of one kind can take a partner.
  auto addFree = [&](const std::vector<std::uint32_t>& ends, bool rows,
                     std::vector<std::uint32_t>& side) {
    const std::size_t own = side.size();
    std::vector<std::uint32_t> uses;  // per end kept: ends of its kind (first of a kind only)
    for (std::uint32_t end : ends) {
      if (side.size() == kMaxSide) break;
      if (!usable(end)) continue;
      const std::uint32_t chain = s.chainOf[end];
      // A head is known by its chain's start and its own ending; a tail by
      // its chain's end and its own start.
      const std::uint32_t far = rows ? s.first[chain] : s.last[chain];
      const std::uint32_t head = rows ? far : end;
      const std::uint32_t tail = rows ? end : far;
      std::size_t kindAt = own;
      for (; kindAt < side.size(); ++kindAt) {
        const std::uint32_t other = side[kindAt];
        const std::uint32_t otherFar =
            rows ? s.first[s.chainOf[other]] : s.last[s.chainOf[other]];
        const bool sameFar =
            rows ? s.originAt[otherFar] == s.originAt[far] &&
                       s.passageAt[otherFar].departure == s.passageAt[far].departure
                 : s.destinationAt[otherFar] == s.destinationAt[far] &&
                       s.passageAt[otherFar].arrival == s.passageAt[far].arrival;
        const std::uint32_t otherHead = rows ? otherFar : other;
        const std::uint32_t otherTail = rows ? other : otherFar;
        // In a window an end's own time decides which partners it has.
        const bool sameTime =
            from == to || (rows ? s.passageAt[other].arrival == s.passageAt[end].arrival
                                : s.passageAt[other].departure == s.passageAt[end].departure);
        if (sameFar && sameTime && s.Balanced(head, tail) == s.Balanced(otherHead, otherTail) &&
            s.Rested(head, tail) == s.Rested(otherHead, otherTail))
          break;
      }
      if (kindAt < side.size()) {
        if (uses[kindAt - own] == matched) continue;
        ++uses[kindAt - own];
      } else {
        kindAt = side.size();
      }
      uses.push_back(kindAt == side.size() ? 1 : 0);
      side.push_back(end);
    }
  };
  std::reverse(freeRows.begin(), freeRows.end());
  addFree(freeRows, true, heads);
  addFree(freeColumns, false, tails);
  return heads.size() > 1 || tails.size() > 1;
}

bool BoardPolish::PolishBoard(std::uint32_t terminal, double from, double to) {
  noise = 0;
  return Solve(terminal, from, to);
}

bool BoardPolish::Solve(std::uint32_t terminal, double from, double to) {
  if (!Gather(terminal, from, to)) return false;
  const ChainExchange& s = state;
  const auto rows = static_cast<std::uint32_t>(heads.size());
  const auto columns = static_cast<std::uint32_t>(tails.size());
  // Balanced first: no change of rested chains among 2 * kMaxSide chains
  // outweighs one balanced chain.
  constexpr std::int64_t kBalanced = 2 * kMaxSide + 1;
  auto score = [&](std::uint32_t head, std::uint32_t tail) {
    return kBalanced * s.Balanced(head, tail) + s.Rested(head, tail);
  };
  std::vector<std::int64_t> gain(static_cast<std::size_t>(rows) * columns);
  std::vector<char> cell(gain.size());
  std::vector<std::uint32_t> headFirst(rows);
  std::vector<std::uint32_t> tailLast(columns);
  std::vector<std::int64_t> alone(columns);
  for (std::uint32_t j = 0; j < columns; ++j) {
    tailLast[j] = s.last[s.chainOf[tails[j]]];
    alone[j] = score(tails[j], tailLast[j]);
  }
  std::int64_t present = 0;
  std::uint32_t matched = 0;
  for (std::uint32_t i = 0; i < rows; ++i) {
    headFirst[i] = s.first[s.chainOf[heads[i]]];
    const std::int64_t own = score(headFirst[i], heads[i]);
    for (std::uint32_t j = 0; j < columns; ++j) {
      const std::size_t at = static_cast<std::size_t>(i) * columns + j;
      // The change of score when head i takes tail j instead of both ending
      // and starting chains of their own.
      gain[at] = score(headFirst[i], tailLast[j]) - own - alone[j];
      cell[at] = s.succ[heads[i]] == tails[j] || s.HasCell(heads[i], tails[j]);
      if (s.succ[heads[i]] == tails[j]) {
        present += gain[at];
        ++matched;
      }
    }
  }
  // Every pair is worth more than any change of the others' gains, so the
  // best assignment pairs as many heads as there are now (no more is
  // possible: the matching is maximum). Missing cells cost nothing: a pair
  // there is no pair.
  const std::int64_t pairWorth = 4 * kBalanced * (rows + columns + 2);
  // Tie-breaking bits stay below one unit of score over all pairs.
  const std::int64_t noiseScale = noise != 0 ? std::int64_t{1024} * (rows + columns + 1) : 1;
  const bool byHead = rows <= columns;
  const std::uint32_t small = byHead ? rows : columns;
  const std::uint32_t large = byHead ? columns : rows;
  std::vector<std::int64_t> cost(static_cast<std::size_t>(small) * large);
  for (std::uint32_t i = 0; i < rows; ++i) {
    for (std::uint32_t j = 0; j < columns; ++j) {
      const std::size_t at = static_cast<std::size_t>(i) * columns + j;
      const std::size_t place = byHead ? at : static_cast<std::size_t>(j) * rows + i;
      std::int64_t bits = 0;
      if (noise != 0) {
        noise = noise * 6364136223846793005ULL + 1442695040888963407ULL;
        bits = static_cast<std::int64_t>(noise >> 54);  // below noiseScale
      }
      cost[place] = cell[at] ? -((pairWorth + gain[at]) * noiseScale + bits) : 0;
    }
  }
  const std::vector<std::uint32_t> chosen = LeastCostAssignment(cost, small, large);
  partnerOf.assign(rows, ChainExchange::kNone);
  std::int64_t best = 0;
  std::uint32_t pairs = 0;
  for (std::uint32_t k = 0; k < small; ++k) {
    const std::uint32_t i = byHead ? k : chosen[k];
    const std::uint32_t j = byHead ? chosen[k] : k;
    const std::size_t at = static_cast<std::size_t>(i) * columns + j;
    if (!cell[at]) continue;
    partnerOf[i] = j;
    best += gain[at];
    ++pairs;
  }
  if (pairs != matched || best < present || (best == present && noise == 0)) return false;
  if (best == present) {
    bool same = true;
    for (std::uint32_t i = 0; i < rows && same; ++i)
      same = (partnerOf[i] == ChainExchange::kNone ? ChainExchange::kNone : tails[partnerOf[i]]) ==
             s.succ[heads[i]];
    if (same) return false;
  }
  state.Reassign(heads, tails, partnerOf);
  if (best > present) ++improved;
  return true;
}

PolishOutcome BoardPolish::Shuffle(std::uint64_t seed) {
  PolishOutcome outcome;
  outcome.sweeps = 1;
  noise = seed | 1;
  for (std::uint32_t terminal = 0; terminal < Terminals(); ++terminal) {
    const std::vector<double> times = BoardTimes(terminal);
    for (std::size_t k = 0; k < times.size(); ++k) {
      ++outcome.boards;
      const double to = times[std::min(k + span, times.size() - 1)];
      const unsigned int before = improved;
      if (Solve(terminal, times[k], to) && improved == before) ++outcome.jumps;
      outcome.improvements += improved - before;
    }
  }
  noise = 0;
  return outcome;
}

PolishOutcome BoardPolish::Run() {
  noise = 0;
  PolishOutcome outcome;
  for (bool improved = true; improved && outcome.sweeps < kMaxSweeps;) {
    improved = false;
    ++outcome.sweeps;
    for (std::uint32_t terminal = 0; terminal < Terminals(); ++terminal) {
      const std::vector<double> times = BoardTimes(terminal);
      for (std::size_t k = 0; k < times.size(); ++k) {
        ++outcome.boards;
        const double to = times[std::min(k + span, times.size() - 1)];
        if (!Solve(terminal, times[k], to)) continue;
        ++outcome.improvements;
        improved = true;
      }
    }
  }
  return outcome;
}
