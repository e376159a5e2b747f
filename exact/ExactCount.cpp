#include "exact/ExactCount.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <queue>
#include <utility>

namespace exact {

namespace {

// Product of (base[i] + shift) for i in [from, to), by halving so that the
// big multiplications pair numbers of similar size.
mpz_class ShiftedProduct(const std::vector<long>& base, std::size_t from, std::size_t to,
                         long shift) {
  if (to - from <= 16) {
    mpz_class product = 1;
    for (std::size_t i = from; i < to; ++i) product *= base[i] + shift;
    return product;
  }
  const std::size_t middle = from + (to - from) / 2;
  return ShiftedProduct(base, from, middle, shift) * ShiftedProduct(base, middle, to, shift);
}

mpz_class ProductOf(std::vector<mpz_class> values) {
  if (values.empty()) return 1;
  while (values.size() > 1) {
    std::vector<mpz_class> next;
    next.reserve(values.size() / 2 + 1);
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) next.push_back(values[i] * values[i + 1]);
    if (values.size() % 2 == 1) next.push_back(std::move(values.back()));
    values = std::move(next);
  }
  return values.front();
}

// The column data the inclusion-exclusion sweep needs.
struct Sweep {
  // Factor of column j (0-based) without pending members: x + base[j].
  // base[j] = h_j - j, one less on the own column of a round trip that is
  // never pending (its row arrives with its own column: it just joins the
  // rows one column later).
  std::vector<long> base;
  std::vector<std::vector<std::size_t>> starts;  // per column: pending round trips starting
  std::vector<long> endOf;  // per column: the pending round trip it belongs to, or -1
  std::size_t slots = 0;    // most round trips held at once by the sweep
};

// Most round trips held at once by the sweep: those pending at a column
// plus, on a round trip's own column, that round trip itself.
std::size_t SlotsNeeded(const Sweep& sweep) {
  std::size_t held = 0;
  std::size_t most = 0;
  for (std::size_t j = 0; j < sweep.base.size(); ++j) {
    held += sweep.starts[j].size();
    most = std::max(most, held);
    if (sweep.endOf[j] >= 0) --held;
  }
  return most;
}

Sweep MakeSweep(const TerminalBoard& board) {
  const std::size_t n = board.Columns();
  Sweep sweep;
  sweep.base.resize(n);
  for (std::size_t j = 0; j < n; ++j)
    sweep.base[j] = static_cast<long>(board.heights[j]) - static_cast<long>(j);
  sweep.starts.resize(n);
  sweep.endOf.assign(n, -1);
  for (std::size_t t = 0; t < board.roundTrips.size(); ++t) {
    const RoundTrip& trip = board.roundTrips[t];
    if (!trip.IsPending()) {
      --sweep.base[trip.column];
      continue;
    }
    sweep.starts[trip.firstColumn].push_back(t);
    sweep.endOf[trip.column] = static_cast<long>(t);
  }
  sweep.slots = SlotsNeeded(sweep);
  return sweep;
}

bool IsEvent(const Sweep& sweep, std::size_t j) {
  return !sweep.starts[j].empty() || sweep.endOf[j] >= 0;
}

// Visits every subset of `mask`, the empty one included.
template <typename Visit>
void ForEachSubset(unsigned mask, Visit visit) {
  for (unsigned subset = mask;; subset = (subset - 1) & mask) {
    visit(subset);
    if (subset == 0) break;
  }
}

long Popcount(unsigned mask) { return static_cast<long>(__builtin_popcount(mask)); }

// Inclusion-exclusion state: value[P] is the signed sum of the terms whose
// pending members of S occupy the slots in P.
class PlacementSweep {
 public:
  PlacementSweep(const Sweep& sweep, long extraRows)
      : sweep_(sweep), x_(extraRows), value_(std::size_t{1} << sweep.slots),
        slotOf_(sweep.endOf.size(), 0) {
    value_[0] = 1;
  }

  mpz_class Run() {
    const std::size_t n = sweep_.base.size();
    std::size_t j = 0;
    while (j < n) {
      for (std::size_t trip : sweep_.starts[j]) Start(trip);
      if (sweep_.endOf[j] >= 0) {
        End(j, static_cast<std::size_t>(sweep_.endOf[j]));
        ++j;
        continue;
      }
      std::size_t end = j + 1;
      while (end < n && !IsEvent(sweep_, end)) ++end;
      MultiplyRun(j, end);
      j = end;
    }
    return value_[0];
  }

 private:
  // The round trip joins S (sign -1) or stays out of it.
  void Start(std::size_t trip) {
    unsigned slot = 0;
    while (active_ & (1u << slot)) ++slot;
    slotOf_[trip] = slot;
    const unsigned bit = 1u << slot;
    ForEachSubset(active_, [&](unsigned subset) { value_[subset | bit] = -value_[subset]; });
    active_ |= bit;
  }

  // Own column of a pending round trip: skipped when the trip is in S,
  // an ordinary column otherwise.
  void End(std::size_t column, std::size_t trip) {
    const unsigned bit = 1u << slotOf_[trip];
    active_ &= ~bit;
    ForEachSubset(active_, [&](unsigned subset) {
      value_[subset] *= x_ + sweep_.base[column] - Popcount(subset);
      value_[subset] += value_[subset | bit];
      value_[subset | bit] = 0;
    });
  }

  void MultiplyRun(std::size_t from, std::size_t to) {
    std::vector<mpz_class> byPending;
    for (long pending = 0; pending <= Popcount(active_); ++pending)
      byPending.push_back(ShiftedProduct(sweep_.base, from, to, x_ - pending));
    ForEachSubset(active_, [&](unsigned subset) {
      value_[subset] *= byPending[static_cast<std::size_t>(Popcount(subset))];
    });
  }

  const Sweep& sweep_;
  long x_;
  std::vector<mpz_class> value_;
  std::vector<unsigned> slotOf_;
  unsigned active_ = 0;
};

// Column-perfect placements with `extraRows` rows added that every column
// accepts.
mpz_class Placements(const Sweep& sweep, long extraRows) {
  return PlacementSweep(sweep, extraRows).Run();
}

// Size of a matching found by one sweep: every column takes a row if it can,
// preferring rows of pending round trips, the one whose own column comes
// first. A lower bound of the maximum; the count certifies it.
std::size_t GreedyMatchingSize(const TerminalBoard& board) {
  std::vector<RoundTrip> byFirst = board.roundTrips;
  std::sort(byFirst.begin(), byFirst.end(),
            [](const RoundTrip& a, const RoundTrip& b) { return a.firstColumn < b.firstColumn; });
  std::priority_queue<std::size_t, std::vector<std::size_t>, std::greater<std::size_t>> pending;
  std::size_t freeRows = 0;
  std::size_t matched = 0;
  std::size_t previousHeight = 0;
  std::size_t next = 0;
  for (std::size_t j = 0; j < board.Columns(); ++j) {
    std::size_t arriving = board.heights[j] - previousHeight;
    previousHeight = board.heights[j];
    bool ownRowHeld = false;
    for (; next < byFirst.size() && byFirst[next].firstColumn == j; ++next, --arriving) {
      if (byFirst[next].IsPending()) {
        pending.push(byFirst[next].column);
      } else {
        ownRowHeld = true;
      }
    }
    freeRows += arriving;
    if (!pending.empty() && pending.top() == j) {
      pending.pop();
      ownRowHeld = true;
    }
    if (!pending.empty()) {
      pending.pop();
      ++matched;
    } else if (freeRows > 0) {
      --freeRows;
      ++matched;
    }
    if (ownRowHeld) ++freeRows;
  }
  return matched;
}

// Maximum matching size without the round trips' cells left out: an upper
// bound. Column j (0-based) can be matched only while j + 1 - h_j columns
// at most stay unmatched.
std::size_t FerrersMatchingSize(const TerminalBoard& board) {
  long unmatched = 0;
  for (std::size_t j = 0; j < board.Columns(); ++j)
    unmatched = std::max(unmatched, static_cast<long>(j + 1) - static_cast<long>(board.heights[j]));
  return board.Columns() - static_cast<std::size_t>(unmatched);
}

BoardCount Unavailable(std::string reason) {
  BoardCount result;
  result.reason = std::move(reason);
  return result;
}

bool HasDuplicateNumbers(const std::vector<Passage>& passages) {
  std::vector<std::uint32_t> ids;
  ids.reserve(passages.size());
  for (const Passage& p : passages) ids.push_back(p.id);
  std::sort(ids.begin(), ids.end());
  return std::adjacent_find(ids.begin(), ids.end()) != ids.end();
}

}  // namespace

BoardCount CountBoardMaximumMatchings(const TerminalBoard& board) {
  const std::size_t pendingAtOnce = board.MaxPendingAtOnce();
  if (pendingAtOnce > kMaxPendingRoundTrips) {
    return Unavailable("terminal " + std::to_string(board.terminal) + " has " +
                       std::to_string(pendingAtOnce) +
                       " round trips waiting for their own departure at once, more than " +
                       std::to_string(kMaxPendingRoundTrips));
  }
  const Sweep sweep = MakeSweep(board);
  const std::size_t greedy = GreedyMatchingSize(board);
  long x = static_cast<long>(board.Columns() - greedy);
  mpz_class placements = Placements(sweep, x);
  if (greedy < FerrersMatchingSize(board)) {
    // Larger matchings exist exactly when fewer extra rows still allow a
    // placement.
    while (x > 0) {
      mpz_class fewer = Placements(sweep, x - 1);
      if (sgn(fewer) == 0) break;
      if (sgn(fewer) < 0) return Unavailable("internal check failed on terminal " +
                                             std::to_string(board.terminal));
      placements = std::move(fewer);
      --x;
    }
  }
  mpz_class factorial;
  mpz_fac_ui(factorial.get_mpz_t(), static_cast<unsigned long>(x));
  BoardCount result;
  mpz_class remainder;
  mpz_tdiv_qr(result.count.get_mpz_t(), remainder.get_mpz_t(), placements.get_mpz_t(),
              factorial.get_mpz_t());
  if (sgn(result.count) <= 0 || sgn(remainder) != 0)
    return Unavailable("internal check failed on terminal " + std::to_string(board.terminal));
  result.available = true;
  result.matchingSize = board.Columns() - static_cast<std::size_t>(x);
  return result;
}

ExactCount CountMinimumDecompositions(const TimeTable& table, const FollowRule& rule) {
  ExactCount result;
  if (HasDuplicateNumbers(table.passages)) {
    result.reason = "duplicate passage numbers";
    return result;
  }
  std::vector<mpz_class> counts;
  for (const TerminalBoard& board : BuildTerminalBoards(table.passages, rule)) {
    BoardCount boardCount = CountBoardMaximumMatchings(board);
    if (!boardCount.available) {
      result.reason = std::move(boardCount.reason);
      return result;
    }
    result.matchingSize += boardCount.matchingSize;
    result.cells += board.Cells();
    counts.push_back(std::move(boardCount.count));
  }
  result.count = ProductOf(std::move(counts));
  result.log10 = Log10(result.count);
  result.available = true;
  return result;
}

double Log10(const mpz_class& value) {
  long exponent = 0;
  const double mantissa = mpz_get_d_2exp(&exponent, value.get_mpz_t());
  return std::log10(mantissa) + static_cast<double>(exponent) * std::log10(2.0);
}

}  // namespace exact
