#include "certify/ClpSolver.h"

#include <cmath>
#include <vector>

#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>

#include "certify/CoinArrays.h"

namespace certify {

LpSolution ClpSolver::Solve(const LinearProgram& program, double seconds) {
  LpSolution solution;
  const CoinArrays arrays(program);
  const int columns = arrays.columns;

  ClpSimplex model;
  model.setLogLevel(0);
  model.messageHandler()->setLogLevel(0);
  model.loadProblem(columns, arrays.rows, arrays.start.data(), program.rowIndex.data(),
                    program.value.data(), arrays.columnLower.data(), arrays.columnUpper.data(),
                    program.objective.data(), arrays.rowLower.data(), arrays.rowUpper.data());
  model.setOptimizationDirection(program.maximise ? -1.0 : 1.0);
  if (std::isfinite(seconds)) model.setMaximumSeconds(seconds);
  if (std::isfinite(wallSeconds)) model.setMaximumWallSeconds(wallSeconds);

  // Perturbing the costs from the start halves the dual simplex's work on
  // some of these degenerate programs and doubles it on others: off by
  // default (lp_settings_bench measures it).
  if (settings.perturb) model.setPerturbation(50);
  ClpSolve options;
  switch (settings.method) {
    case ClpSettings::Method::Dual: options.setSolveType(ClpSolve::useDual); break;
    case ClpSettings::Method::Primal: options.setSolveType(ClpSolve::usePrimal); break;
    case ClpSettings::Method::Barrier: options.setSolveType(ClpSolve::useBarrier); break;
    case ClpSettings::Method::Automatic: options.setSolveType(ClpSolve::automatic); break;
  }
  options.setPresolveType(settings.presolve ? ClpSolve::presolveOn : ClpSolve::presolveOff);
  // Clp would otherwise catch SIGINT for the length of the solve and take it
  // as a stop of the simplex: Ctrl-C must end the run, not pass for a
  // program out of time.
  options.setSpecialOption(2, 1);
  model.initialSolve(options);

  if (model.isProvenOptimal()) {
    solution.status = LpSolution::Status::Optimal;
    solution.objective = model.objectiveValue();
    const double* values = model.getColSolution();
    solution.columns.assign(values, values + columns);
  } else if (model.isProvenPrimalInfeasible()) {
    solution.status = LpSolution::Status::Infeasible;
  } else if (model.isIterationLimitReached()) {
    solution.status = LpSolution::Status::OutOfTime;
  }
  return solution;
}

std::unique_ptr<LpSolver> MakeLpSolver() { return std::make_unique<ClpSolver>(); }

}  // namespace certify
