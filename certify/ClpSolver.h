#pragma once

// LpSolver on the simplex code of the COIN-OR Clp library (Debian's
// coinor-libclp-dev): dual simplex with perturbed costs after presolve,
// silent, within a time limit. Nothing outside this pair includes Clp.

#include "certify/LinearProgram.h"

namespace certify {

class ClpSolver : public LpSolver {
 public:
  LpSolution Solve(const LinearProgram& program, double seconds) override;
};

}  // namespace certify
