#pragma once

// One component of the split graph in staircase form: the vertices of the
// side a run decides ("columns") and those of the other side ("rows"), the
// rows in a given order, and each column's distinct neighbours as one run
// of consecutive row positions plus a few exceptions.
//
// On a terminal board, with the rows in order of time (arrivals, or
// departures when the arrivals are decided), a column's neighbours are one
// such run: a Ferrers board. A round trip leaves a hole in its own
// column's run. Nothing here assumes that: each column's run and its
// exceptions are read from the graph's edges, and a column whose
// neighbours are scattered is stored as a list (an empty run and every
// neighbour as an exception), so that any bipartite graph is described
// exactly and a board costs O(rows + columns + exceptions) to sweep.
//
// Invariants: runs lie within [0, Rows()); an exception is either a hole
// (a position inside its column's run that is not a neighbour) or an extra
// (a neighbour outside it), never both, each once.
//
// Cost: O(E log d) to build (d the largest degree), 8 bytes per column
// plus 4 per exception.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "bipartite/FlatAdjacency.h"

class Staircase {
 public:
  Staircase() = default;
  // `columns` and `rows` are vertices of `graph`, the rows in their order;
  // every neighbour of a column must be one of the rows. `slot` (one entry
  // per vertex of `graph`) gets each row's position and each column's
  // index.
  Staircase(const FlatAdjacency& graph, const std::vector<std::int32_t>& columns,
            const std::vector<std::int32_t>& rows, std::vector<std::int32_t>& slot);

  std::size_t Rows() const { return rows_; }
  std::size_t Columns() const { return runBegin_.size(); }
  std::uint32_t RunBegin(std::size_t column) const { return runBegin_[column]; }
  std::uint32_t RunEnd(std::size_t column) const { return runEnd_[column]; }

  // Exceptions of a column: a position p >= 0 is an extra neighbour, ~p
  // (negative) a hole.
  const std::int32_t* ExceptionsBegin(std::size_t column) const {
    return exceptions_.data() + exceptionOffsets_[column];
  }
  const std::int32_t* ExceptionsEnd(std::size_t column) const {
    return exceptions_.data() + exceptionOffsets_[column + 1];
  }
  std::size_t ExceptionCount() const { return exceptions_.size(); }

  // Whether sums over runs are best taken from the last row down: most runs
  // start at row 0 (the other way most end at the last row), and sums in
  // that direction never subtract.
  bool FromTheEnd() const { return fromTheEnd_; }

 private:
  std::size_t rows_ = 0;
  std::vector<std::uint32_t> runBegin_;
  std::vector<std::uint32_t> runEnd_;
  std::vector<std::uint64_t> exceptionOffsets_{0};
  std::vector<std::int32_t> exceptions_;
  bool fromTheEnd_ = true;
};
