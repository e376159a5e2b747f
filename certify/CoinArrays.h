#pragma once

// A LinearProgram in the arrays the COIN-OR solvers load: their own index
// type for the column starts and their own infinity for bounds. For the
// solver pairs only (it needs the COIN-OR headers).
//
// Cost: one copy of the starts and the bounds.

#include <vector>

#include <CoinFinite.hpp>
#include <CoinTypes.hpp>

#include "certify/LinearProgram.h"

namespace certify {

struct CoinArrays {
  int rows = 0;
  int columns = 0;
  std::vector<CoinBigIndex> start;
  std::vector<double> columnLower;
  std::vector<double> columnUpper;
  std::vector<double> rowLower;
  std::vector<double> rowUpper;

  explicit CoinArrays(const LinearProgram& program)
      : rows(static_cast<int>(program.Rows())),
        columns(static_cast<int>(program.Columns())),
        start(program.start.begin(), program.start.end()),
        columnLower(program.Columns(), 0.0),
        columnUpper(program.Columns()),
        rowLower(program.Rows()),
        rowUpper(program.Rows()) {
    for (int c = 0; c < columns; ++c) columnUpper[c] = Bound(program.columnUpper[c]);
    for (int r = 0; r < rows; ++r) {
      rowLower[r] = Bound(program.rowLower[r]);
      rowUpper[r] = Bound(program.rowUpper[r]);
    }
  }

  static double Bound(double bound) {
    if (bound == kUnbounded) return COIN_DBL_MAX;
    if (bound == -kUnbounded) return -COIN_DBL_MAX;
    return bound;
  }
};

}  // namespace certify
