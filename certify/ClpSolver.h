#pragma once

// LpSolver on the simplex code of the COIN-OR Clp library (Debian's
// coinor-libclp-dev): by default dual simplex after presolve, silent,
// within a time limit. Other settings are there to be
// measured against it (bench/lp_settings_bench). Nothing outside this pair
// includes Clp.

#include "certify/LinearProgram.h"

namespace certify {

struct ClpSettings {
  enum class Method { Dual, Primal, Barrier, Automatic };
  Method method = Method::Dual;
  bool presolve = true;
  // Perturb the costs from the start (Clp's own choice otherwise).
  bool perturb = false;
};

class ClpSolver : public LpSolver {
 public:
  explicit ClpSolver(const ClpSettings& settings = {}) : settings(settings) {}
  LpSolution Solve(const LinearProgram& program, double seconds) override;

 private:
  ClpSettings settings;
};

}  // namespace certify
