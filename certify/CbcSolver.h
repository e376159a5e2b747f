#pragma once

// MipSolver on the branch and cut of the COIN-OR Cbc library (Debian's
// coinor-libcbc-dev) with its default strategy (preprocessing, cuts,
// heuristics), on one thread, silent, within a CPU time limit. Nothing
// outside this pair includes Cbc.

#include "certify/MipSolver.h"

namespace certify {

class CbcSolver : public MipSolver {
 public:
  MipSolution Solve(const LinearProgram& program, double seconds, double cutoff,
                    double gap) override;
};

}  // namespace certify
