#pragma once

// The split bipartite graph of a timetable falls apart into one board per
// terminal t: its rows are the passages arriving at t, its columns the
// passages leaving t, and cell (a, b) is an edge when b can follow a by the
// follow rule (a != b): b departs no earlier than a is ready, a's arrival
// plus the minimum turn. Columns sorted by departure see growing prefixes
// of the rows sorted by arrival, so a board is a Ferrers board, less the
// cells of passages that leave and reach the same terminal ("round trips"
// that are ready again no later than their departure would otherwise follow
// themselves).

#include <cstdint>
#include <vector>

#include "common/FollowRule.h"
#include "common/Passage.h"

// A round trip whose own cell is left out of the board. Its row is
// available from column `firstColumn` on; its own column is `column`
// (firstColumn <= column). Between the two it is "pending": columns that
// see its row but come before its own column.
struct RoundTrip {
  std::size_t firstColumn = 0;
  std::size_t column = 0;

  bool IsPending() const { return firstColumn < column; }
};

struct TerminalBoard {
  std::uint32_t terminal = 0;
  std::size_t rows = 0;
  // Per column, in sweep order: the number of rows available to it. Never
  // decreases along the sweep.
  std::vector<std::size_t> heights;
  // Sorted by column.
  std::vector<RoundTrip> roundTrips;

  std::size_t Columns() const { return heights.size(); }
  // Number of cells, that is edges of the split graph on this board.
  std::uint64_t Cells() const;
  // Largest number of round trips pending at one column.
  std::size_t MaxPendingAtOnce() const;
};

// One board per terminal that some passage leaves or reaches, in ascending
// terminal order. Times that are not a number compare false: a passage
// arriving at NaN is available to no column, one departing at NaN sees no
// row. At equal times (ready time and departure) a row is available to the
// column.
std::vector<TerminalBoard> BuildTerminalBoards(const std::vector<Passage>& passages,
                                               const FollowRule& rule = {});

