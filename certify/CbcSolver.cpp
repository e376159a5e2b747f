#include "certify/CbcSolver.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include <CbcModel.hpp>
#include <CbcSolver.hpp>
#include <ClpSolve.hpp>
#include <OsiClpSolverInterface.hpp>

#include "certify/CoinArrays.h"

namespace certify {

namespace {

std::string Text(double value) {
  std::ostringstream text;
  text.precision(17);
  text << value;
  return text.str();
}

// The share of its time limit after which the search's claims are not
// trusted.
constexpr double kTimeUpShare = 0.9;

}  // namespace

MipSolution CbcSolver::Solve(const LinearProgram& program, double seconds, double cutoff,
                             double gap) {
  MipSolution solution;
  const CoinArrays arrays(program);
  const int columns = arrays.columns;
  // Always minimised here, so that the cutoff and the bounds need no
  // translation through the solver's sense.
  const double sign = program.maximise ? -1.0 : 1.0;
  std::vector<double> objective(program.Columns());
  for (int c = 0; c < columns; ++c) objective[c] = sign * program.objective[c];

  OsiClpSolverInterface solver;
  solver.messageHandler()->setLogLevel(0);
  solver.getModelPtr()->setLogLevel(0);
  solver.setHintParam(OsiDoReducePrint, true, OsiHintTry);
  solver.loadProblem(columns, arrays.rows, arrays.start.data(), program.rowIndex.data(),
                     program.value.data(), arrays.columnLower.data(), arrays.columnUpper.data(),
                     objective.data(), arrays.rowLower.data(), arrays.rowUpper.data());
  for (int c = 0; c < columns; ++c) solver.setInteger(c);
  // Neither the root's simplex nor the search may catch SIGINT: Ctrl-C must
  // end the run, not pass for a program out of time.
  ClpSolve initial;
  initial.setSpecialOption(2, 1);
  solver.setSolveOptions(initial);

  CbcModel model(solver);
  model.setLogLevel(0);
  model.messageHandler()->setLogLevel(0);
  model.solver()->messageHandler()->setLogLevel(0);
  CbcSolverUsefulData data;
  data.noPrinting_ = true;
  data.useSignalHandler_ = false;
  CbcMain0(model, data);
  model.setLogLevel(0);
  model.messageHandler()->setLogLevel(0);

  // One clock only: the wall clock where its limit is the tighter (wall
  // time is never below CPU time, so the CPU budget holds too).
  const bool byWall = wallSeconds < seconds;
  const double limit = byWall ? wallSeconds : seconds;
  std::vector<std::string> words = {"cbc", "-log", "0", "-slog", "0", "-timeMode",
                                    byWall ? "elapsed" : "cpu", "-threads", "0"};
  if (std::isfinite(limit)) {
    words.push_back("-seconds");
    words.push_back(Text(limit > 0.0 ? limit : 0.0));
  }
  if (std::isfinite(cutoff)) {
    words.push_back("-cutoff");
    words.push_back(Text(sign * cutoff));
  }
  if (gap > 0.0) {
    words.push_back("-allowableGap");
    words.push_back(Text(gap));
  }
  words.push_back("-solve");
  words.push_back("-quit");
  std::vector<const char*> arguments;
  for (const std::string& word : words) arguments.push_back(word.c_str());
  const auto noCallback = [](CbcModel*, int) { return 0; };
  const std::clock_t cpuStart = std::clock();
  const auto wallStart = std::chrono::steady_clock::now();
  CbcMain1(static_cast<int>(arguments.size()), arguments.data(), model, noCallback, data);
  const double used =
      byWall ? std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count()
             : static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
  // Stopped by its limit while preprocessing, the search can end as if it
  // had proven that nothing beats the cutoff (seen on small programs at a
  // millisecond and on a rail day of 1,000 passages at 2 to 3 s): a claim
  // made once the time is (nearly) up is not taken as proven, nor its bound.
  const bool timeUp = std::isfinite(limit) && used >= kTimeUpShare * limit;

  const double* best = model.bestSolution();
  if (best != nullptr) {
    solution.found = true;
    solution.objective = sign * model.getObjValue();
    solution.columns.assign(best, best + columns);
  }
  if (timeUp && (model.isProvenOptimal() || model.isProvenInfeasible())) {
    solution.status = MipSolution::Status::OutOfTime;
    solution.bound = sign * -kUnbounded;
  } else if (model.isProvenOptimal() && solution.found) {
    solution.status = MipSolution::Status::Optimal;
    const double bound = sign * model.getBestPossibleObjValue();
    solution.bound = program.maximise ? std::max(solution.objective, bound)
                                      : std::min(solution.objective, bound);
  } else if (model.isProvenInfeasible() || model.isProvenOptimal()) {
    // Proven: nothing better than the cutoff.
    solution.status = MipSolution::Status::Infeasible;
    solution.bound = cutoff;
  } else if (model.isSecondsLimitReached()) {
    solution.status = MipSolution::Status::OutOfTime;
    const double bound = sign * model.getBestPossibleObjValue();
    solution.bound = std::fabs(bound) < 1e30 ? bound : sign * -kUnbounded;
  }
  return solution;
}

std::unique_ptr<MipSolver> MakeMipSolver() { return std::make_unique<CbcSolver>(); }

}  // namespace certify
