#include "certify/ClpSolver.h"

#include <cmath>
#include <vector>

#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>

namespace certify {

namespace {

// Clp's own infinity for bounds.
double ClpBound(double bound) {
  if (bound == kUnbounded) return COIN_DBL_MAX;
  if (bound == -kUnbounded) return -COIN_DBL_MAX;
  return bound;
}

}  // namespace

LpSolution ClpSolver::Solve(const LinearProgram& program, double seconds) {
  LpSolution solution;
  const int rows = static_cast<int>(program.Rows());
  const int columns = static_cast<int>(program.Columns());
  std::vector<CoinBigIndex> start(program.start.begin(), program.start.end());
  std::vector<double> columnLower(program.Columns(), 0.0);
  std::vector<double> columnUpper(program.Columns());
  std::vector<double> rowLower(program.Rows());
  std::vector<double> rowUpper(program.Rows());
  for (int c = 0; c < columns; ++c) columnUpper[c] = ClpBound(program.columnUpper[c]);
  for (int r = 0; r < rows; ++r) {
    rowLower[r] = ClpBound(program.rowLower[r]);
    rowUpper[r] = ClpBound(program.rowUpper[r]);
  }

  ClpSimplex model;
  model.setLogLevel(0);
  model.messageHandler()->setLogLevel(0);
  model.loadProblem(columns, rows, start.data(), program.rowIndex.data(), program.value.data(),
                    columnLower.data(), columnUpper.data(), program.objective.data(),
                    rowLower.data(), rowUpper.data());
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
