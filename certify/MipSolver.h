#pragma once

// What a solver of integer programs must offer: a `LinearProgram` with
// every column integer, solved by branch and bound within a CPU time
// limit, with the best integer solution found and the best bound proven.
//
// A cutoff drops the solutions no better than it: the search then proves
// only that none is better, which is all a certificate needs once it holds
// a solution of that value, and prunes far more. "Infeasible" with a
// cutoff means no integer solution is better than the cutoff.
//
// Cost: exponential in the worst case; bounded by the time limit.

#include <memory>
#include <vector>

#include "certify/LinearProgram.h"

namespace certify {

struct MipSolution {
  enum class Status { Optimal, Infeasible, OutOfTime, Failed };
  Status status = Status::Failed;
  // The best integer solution found (may be none when out of time).
  bool found = false;
  double objective = 0.0;
  std::vector<double> columns;
  // No integer solution is better than this (within `gap` of the objective
  // when Optimal); valid when Optimal or OutOfTime.
  double bound = 0.0;
};

class MipSolver {
 public:
  virtual ~MipSolver() = default;
  // Every column of `program` integer; only solutions better than `cutoff`
  // (in the program's direction; none when infinite the wrong way) are
  // sought, and the search ends (Optimal) once no solution can be more
  // than `gap` better than the best found. Within `seconds` of CPU time.
  // Prints nothing.
  virtual MipSolution Solve(const LinearProgram& program, double seconds, double cutoff,
                            double gap) = 0;

  // Wall seconds it may take besides (no limit when infinite); when it is
  // the tighter, the search is timed by the wall clock instead.
  double wallSeconds = kUnbounded;
};

// The solver the programs use.
std::unique_ptr<MipSolver> MakeMipSolver();

}  // namespace certify
