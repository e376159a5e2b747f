#pragma once

// A matrix-scaling (Sinkhorn) balance of what is left of one board while a
// run decides its columns, as the estimator's guide to how many
// completions each choice has.
//
// Deciding the columns of a board with R rows, C columns and maximum
// matching size nu, after j columns of which k were matched: the residual
// board is made square by s = (C - nu) - (j - k) slack rows, standing for
// the remaining columns that will stay unmatched, each adjacent to every
// remaining column, and R - nu slack columns, standing for the rows that
// will stay unmatched, each adjacent to every unused row (no slack row
// meets a slack column). Both sides then have R + C - nu - j vertices, and
// the square's perfect matchings are the residual's maximum matchings
// (those that leave exactly s of the remaining columns unmatched) times
// s! (R - nu)!.
//
// Balancing scales rows by x and columns by y so that every row and column
// of diag(x) A diag(y) sums to 1 (alternate row and column normalisation;
// slack rows share one factor, slack columns another). After a column
// normalisation, column v's entries sum to 1 and read as the chances of
// v's choices in a uniform perfect matching: row r with x_r y_v, staying
// unmatched with s x_slack y_v. Their ratios guide the choice;
// exp(-sum log x - sum log y) / (s! (R - nu)!) estimates the number of
// completions up to a factor that depends on the square's size only.
//
// A sweep walks the staircase: row sums by a difference array over the
// runs and the exceptions (each a run of one row), column sums by prefix
// sums of x corrected by the exceptions: O(R + C + exceptions). Sums run
// from the end of the board where most runs are anchored, so that they
// rarely subtract. Rows with the same remaining neighbours get
// bit-equal factors (no rounding tells them apart), so a choice among them
// is uniform, exactly.
//
// Memory: 9 bytes per row, 8 per column.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "se/Staircase.h"

// The columns still to decide: indices into the board, the same for every
// node of a level (a run decides one column per level in all its nodes).
struct ColumnSpan {
  const std::uint32_t* begin;
  const std::uint32_t* end;
};

class SinkhornBalance {
 public:
  SinkhornBalance() = default;
  // The root of a board: nothing decided, every factor 1.
  // `unmatchedColumns` = C - nu, `unmatchedRows` = R - nu.
  SinkhornBalance(const Staircase& board, std::size_t unmatchedColumns,
                  std::size_t unmatchedRows);

  // Working space of the sweeps, shared by any number of balances (one
  // user at a time).
  struct Scratch {
    std::vector<double> differences;  // all 0 between sweeps
    std::vector<double> prefix;
  };

  // `count` sweeps (a row then a column normalisation each) over the
  // remaining columns `columns`.
  void Sweep(const Staircase& board, ColumnSpan columns, Scratch& scratch, int count);
  // Sweeps until every row sum is within `tolerance` of 1 before its row
  // normalisation, at most `most` times.
  void Settle(const Staircase& board, ColumnSpan columns, Scratch& scratch, double tolerance,
              int most);

  // Relative weights of column v's choices (the factor y_v left out).
  double RowWeight(std::size_t row) const { return x_[row]; }
  double LeaveWeight() const { return static_cast<double>(slackRows_) * slackRowFactor_; }

  // A column is decided: matched to `row`, or unmatched when row < 0. The
  // column leaves the span of the levels below.
  void Decide(std::int64_t row);

  // Natural logarithm of the completion estimate, up to the shared factor.
  double LogScale(ColumnSpan columns) const;

  // s: the remaining columns that stay unmatched in every completion.
  std::size_t SlackRows() const { return slackRows_; }

 private:
  // Returns the largest deviation from 1 of a row sum when `measure`.
  double NormaliseRows(const Staircase& board, ColumnSpan columns, Scratch& scratch,
                       bool measure);
  void NormaliseColumns(const Staircase& board, ColumnSpan columns, Scratch& scratch);

  std::vector<double> x_;  // per row; 0 once taken
  std::vector<double> y_;  // per column; meaningful while it remains
  std::vector<std::uint8_t> taken_;
  double slackRowFactor_ = 1.0;
  double slackColumnFactor_ = 1.0;
  std::size_t slackRows_ = 0;
  std::size_t slackColumns_ = 0;
};
