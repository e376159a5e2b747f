#pragma once

// Exact number of maximum matchings of the split bipartite graph, that is of
// distinct minimum chain decompositions, as a big integer.
//
// The graph is the disjoint union of the terminal boards (bipartite/TerminalBoards.h), so
// the count is the product of the boards' counts and the maximum matching
// size the sum of theirs. On one board with N columns and column heights
// h_1 <= ... <= h_N, adding x rows that every column accepts gives
//   G(x) = prod_j (x + h_j - j + 1)
// ways to give every column a row of its own, and G(x) = sum_k r_k x!/(x-N+k)!
// where r_k counts the matchings of size k. With K the maximum matching size
// and x0 = N - K, G(x0) = r_K * x0!, while G(x) = 0 for x < x0.
//
// The left-out cells of round trips are handled by inclusion-exclusion over
// the set S of such cells forced into the placement: every term is again a
// Ferrers count, in which a column j outside S loses one row for every
// passage of S whose row it sees but whose own column comes later
// ("pending"). A sweep over the columns that keeps the pending members of S
// as its state evaluates the sum; its state count doubles with every round
// trip pending at once, so boards with more than kMaxPendingRoundTrips of
// them are refused.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <gmpxx.h>

#include "bipartite/TerminalBoards.h"
#include "common/FollowRule.h"
#include "common/TimeTable.h"

namespace exact {

constexpr std::size_t kMaxPendingRoundTrips = 10;

struct BoardCount {
  bool available = false;
  std::string reason;         // why not, when not available
  std::size_t matchingSize = 0;
  mpz_class count;            // maximum matchings of the board
};

BoardCount CountBoardMaximumMatchings(const TerminalBoard& board);

struct ExactCount {
  bool available = false;
  std::string reason;         // why not, when not available
  mpz_class count;            // maximum matchings of the whole split graph
  double log10 = 0.0;         // decimal logarithm of count
  std::size_t matchingSize = 0;
  std::uint64_t cells = 0;    // edges of the split graph
};

// Count for the timetable's passages. Not available when two passages share
// a number (the split graph then has parallel edges and passages without
// edges, which the boards do not describe) or when a board has too many
// pending round trips. The boards follow `rule`.
ExactCount CountMinimumDecompositions(const TimeTable& table, const FollowRule& rule = {});

// Decimal logarithm of a positive integer of any size.
double Log10(const mpz_class& value);

}  // namespace exact
