#pragma once

// The course of a counting run, one row per repetition, as a CSV table:
//   repetition,estimate,log10_estimate,running_mean,log10_running_mean,
//   running_relative_error,fully_enumerated,seconds[,log10_exact]
// `running_mean` and `running_relative_error` are those of the first k
// estimates, computed as the report computes them (sum in order divided by
// k; population deviation over the mean, divided by k^0.5), so the last
// row holds the report's mean and relative error. Estimates are written as
// the report writes them (17 significant digits, values beyond the double
// range included), logarithms and seconds with 6 decimals, the flag as
// true/false. With the exact count's logarithm, a last column repeats it.
//
// Cost: O(N) memory; writing is O(N^2) in wide arithmetic up to
// kExactRowsUpTo repetitions, beyond that the deviation of the rows before
// the last is kept by Welford's update (the last row is always computed
// the report's way).

#include <cstddef>
#include <ostream>
#include <vector>

#include "numeric/WideDouble.h"

class EstimateTrace {
 public:
  static constexpr std::size_t kExactRowsUpTo = 2000;

  // One repetition: its estimate, whether it enumerated the tree fully, and
  // the run time in seconds when it ended.
  void Add(const WideDouble& estimate, bool fullyEnumerated, double seconds);

  // `exactLog10` null: no exact column.
  void Write(std::ostream& out, const double* exactLog10) const;

 private:
  struct Row {
    WideDouble estimate;
    bool fullyEnumerated;
    double seconds;
  };
  std::vector<Row> rows;
};
