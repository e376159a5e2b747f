#pragma once

// A linear program in column form, and what a solver of it must offer.
//
// Every column lies in [0, upper]; every row in [lower, upper]. The matrix
// is stored by columns (compressed sparse columns), which is how models
// built one variable at a time come out and how simplex codes take them.
// The solver is behind `LpSolver` so that another one can replace it
// without touching the models that use it.
//
// Cost: 12 bytes per matrix entry plus 24 per column and 16 per row.

#include <cstdint>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

namespace certify {

constexpr double kUnbounded = std::numeric_limits<double>::infinity();

struct LinearProgram {
  bool maximise = true;
  std::vector<double> rowLower;
  std::vector<double> rowUpper;
  std::vector<double> objective;     // per column
  std::vector<double> columnUpper;   // per column; every lower bound is 0
  std::vector<std::uint64_t> start;  // columns + 1 offsets into rowIndex and value
  std::vector<int> rowIndex;
  std::vector<double> value;

  LinearProgram() : start(1, 0) {}

  std::size_t Rows() const { return rowLower.size(); }
  std::size_t Columns() const { return objective.size(); }

  int AddRow(double lower, double upper) {
    rowLower.push_back(lower);
    rowUpper.push_back(upper);
    return static_cast<int>(rowLower.size() - 1);
  }
  // A column with entries (row, coefficient); a row named twice gets the
  // sum, and zero sums are dropped.
  void AddColumn(double cost, double upper, std::vector<std::pair<int, double>> entries);
};

struct LpSolution {
  enum class Status { Optimal, Infeasible, OutOfTime, Failed };
  Status status = Status::Failed;
  double objective = 0.0;
  std::vector<double> columns;  // the values, when Optimal
};

class LpSolver {
 public:
  virtual ~LpSolver() = default;
  // Solves to optimality within `seconds` of CPU time (no limit when
  // infinite), and within `wallSeconds` of wall time. Prints nothing.
  virtual LpSolution Solve(const LinearProgram& program, double seconds) = 0;

  double wallSeconds = kUnbounded;
};

// The solver the programs use.
std::unique_ptr<LpSolver> MakeLpSolver();

}  // namespace certify
