#include "se/SinkhornBalance.h"

#include <algorithm>
#include <cmath>
#include <math.h>

namespace {

// lgamma_r, not std::lgamma: the latter writes the global signgam, and
// boards are balanced on several threads at once.
double LogFactorial(std::size_t n) {
  int sign = 0;
  return ::lgamma_r(static_cast<double>(n) + 1.0, &sign);
}

}  // namespace

SinkhornBalance::SinkhornBalance(const Staircase& board, std::size_t unmatchedColumns,
                                 std::size_t unmatchedRows)
    : x_(board.Rows(), 1.0),
      y_(board.Columns(), 1.0),
      taken_(board.Rows(), 0),
      slackRows_(unmatchedColumns),
      slackColumns_(unmatchedRows) {}

double SinkhornBalance::NormaliseRows(const Staircase& board, ColumnSpan columns,
                                      Scratch& scratch, bool measure) {
  const std::size_t rows = board.Rows();
  std::vector<double>& differences = scratch.differences;
  if (differences.size() < rows + 2) differences.resize(rows + 2, 0.0);
  // Index shift by one, so that "the entry before row 0" exists: a value
  // added at slot p + 1 counts for row p and, from the end, every row
  // before it; one added at slot p + 1 from the start, every row after it.
  const bool fromTheEnd = board.FromTheEnd();
  // A run reaching the end of the board where the sums start needs no
  // closing entry: that slot is never read. (Most runs do, and writing them
  // all to one slot would chain every column's update on the one before.)
  const auto add = [&](std::size_t begin, std::size_t end, double y) {
    if (fromTheEnd) {
      differences[end] += y;
      if (begin > 0) differences[begin] -= y;
    } else {
      differences[begin + 1] += y;
      if (end < rows) differences[end + 1] -= y;
    }
  };
  // Columns come in the order of decision, ascending degree: runs in a row
  // often open at the same slot. Their values are summed in a register and
  // written once, in the same order of additions.
  std::size_t openSlot = 0;
  double opening = 0.0;
  bool pending = false;
  const auto flush = [&] {
    if (pending) differences[openSlot] += opening;
    pending = false;
  };
  double columnTotal = 0.0;
  for (const std::uint32_t* column = columns.begin; column != columns.end; ++column) {
    const std::uint32_t c = *column;
    const double y = y_[c];
    columnTotal += y;
    const std::uint32_t begin = board.RunBegin(c);
    const std::uint32_t end = board.RunEnd(c);
    if (begin < end) {
      const std::size_t slot = fromTheEnd ? end : begin + 1;
      if (pending && slot == openSlot) {
        opening += y;
      } else {
        flush();
        openSlot = slot;
        opening = y;
        pending = true;
      }
      if (fromTheEnd && begin > 0) differences[begin] -= y;
      if (!fromTheEnd && end < rows) differences[end + 1] -= y;
    }
    if (board.ExceptionsBegin(c) == board.ExceptionsEnd(c)) continue;
    flush();
    for (const std::int32_t* e = board.ExceptionsBegin(c); e != board.ExceptionsEnd(c); ++e) {
      const std::size_t row = static_cast<std::size_t>(*e >= 0 ? *e : ~*e);
      add(row, row + 1, *e >= 0 ? y : -y);
    }
  }
  flush();
  const double slack = static_cast<double>(slackColumns_) * slackColumnFactor_;
  double deviation = 0.0;
  double running = 0.0;
  // Every slot read is cleared, so that the array is all 0 for the next call.
  // Neighbouring rows mostly share their sum (the runs change at few rows):
  // its reciprocal is taken once.
  double lastSum = -1.0;
  double lastFactor = 0.0;
  const auto update = [&](std::size_t p, std::size_t slot) {
    running += differences[slot];
    differences[slot] = 0.0;
    if (taken_[p]) return;
    const double sum = running + slack;
    if (measure) deviation = std::max(deviation, std::fabs(x_[p] * sum - 1.0));
    if (sum != lastSum) {
      lastSum = sum;
      lastFactor = sum > 0.0 ? 1.0 / sum : 0.0;
    }
    x_[p] = lastFactor;
  };
  if (fromTheEnd) {
    for (std::size_t p = rows; p-- > 0;) update(p, p + 1);
    differences[0] = 0.0;
  } else {
    for (std::size_t p = 0; p < rows; ++p) update(p, p + 1);
    differences[0] = 0.0;
    differences[rows + 1] = 0.0;
  }
  if (columnTotal > 0.0) slackRowFactor_ = 1.0 / columnTotal;
  return deviation;
}

void SinkhornBalance::NormaliseColumns(const Staircase& board, ColumnSpan columns,
                                       Scratch& scratch) {
  const std::size_t rows = board.Rows();
  std::vector<double>& sums = scratch.prefix;
  if (sums.size() < rows + 1) sums.resize(rows + 1);
  const bool fromTheEnd = board.FromTheEnd();
  if (fromTheEnd) {
    sums[rows] = 0.0;
    for (std::size_t p = rows; p-- > 0;) sums[p] = sums[p + 1] + x_[p];
  } else {
    sums[0] = 0.0;
    for (std::size_t p = 0; p < rows; ++p) sums[p + 1] = sums[p] + x_[p];
  }
  const double rowTotal = fromTheEnd ? sums[0] : sums[rows];
  const double slack = static_cast<double>(slackRows_) * slackRowFactor_;
  for (const std::uint32_t* column = columns.begin; column != columns.end; ++column) {
    const std::uint32_t c = *column;
    const std::uint32_t begin = board.RunBegin(c);
    const std::uint32_t end = board.RunEnd(c);
    double sum = 0.0;
    if (begin < end) sum = fromTheEnd ? sums[begin] - sums[end] : sums[end] - sums[begin];
    for (const std::int32_t* e = board.ExceptionsBegin(c); e != board.ExceptionsEnd(c); ++e) {
      if (*e >= 0)
        sum += x_[static_cast<std::size_t>(*e)];
      else
        sum -= x_[static_cast<std::size_t>(~*e)];
    }
    sum += slack;
    y_[c] = sum > 0.0 ? 1.0 / sum : 0.0;
  }
  if (rowTotal > 0.0) slackColumnFactor_ = 1.0 / rowTotal;
}

void SinkhornBalance::Sweep(const Staircase& board, ColumnSpan columns, Scratch& scratch,
                            int count) {
  for (int k = 0; k < count; ++k) {
    NormaliseRows(board, columns, scratch, false);
    NormaliseColumns(board, columns, scratch);
  }
}

void SinkhornBalance::Settle(const Staircase& board, ColumnSpan columns, Scratch& scratch,
                             double tolerance, int most) {
  for (int k = 0; k < most; ++k) {
    const double deviation = NormaliseRows(board, columns, scratch, true);
    NormaliseColumns(board, columns, scratch);
    if (deviation < tolerance) return;
  }
}

void SinkhornBalance::Decide(std::int64_t row) {
  if (row >= 0) {
    taken_[static_cast<std::size_t>(row)] = 1;
    x_[static_cast<std::size_t>(row)] = 0.0;
  } else if (slackRows_ > 0) {
    --slackRows_;
  }
}

double SinkhornBalance::LogScale(ColumnSpan columns) const {
  double sum = 0.0;
  for (std::size_t p = 0; p < x_.size(); ++p)
    if (!taken_[p] && x_[p] > 0.0) sum -= std::log(x_[p]);
  for (const std::uint32_t* c = columns.begin; c != columns.end; ++c)
    if (y_[*c] > 0.0) sum -= std::log(y_[*c]);
  sum -= static_cast<double>(slackRows_) * std::log(slackRowFactor_);
  sum -= static_cast<double>(slackColumns_) * std::log(slackColumnFactor_);
  sum -= LogFactorial(slackRows_);
  sum -= LogFactorial(slackColumns_);
  return sum;
}
