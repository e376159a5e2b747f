// lp_settings_bench [--seconds S] <day.csv> ...
//
// The certificate's linear programs under Clp's settings: for each day, the
// whole balanced model (every home a commodity), the rested bound's first,
// relaxed program (no homes, 8 start classes) and the whole rested model
// (no balanced count imposed), each solved by the dual simplex after
// presolve (the default), the same with costs perturbed from the start,
// the dual without presolve, the primal, the barrier and Clp's automatic
// choice, within S CPU seconds each (default 20). Prints each program's size (and
// the size it would have with a node per departure time), then per solve
// the CPU seconds of solving it, its outcome and the bound.
//
// Times are CPU seconds of this process (std::clock): on a shared machine
// compare them, not wall times.

#include <ctime>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

#include "bench/ModelDay.h"
#include "bipartite/BGraph.h"
#include "certify/Certificate.h"
#include "certify/ClpSolver.h"
#include "certify/TimeSpaceModel.h"

namespace {

constexpr double kThreshold = 11.0;

struct Setting {
  const char* name;
  certify::ClpSettings settings;
};

std::vector<Setting> Settings() {
  using Method = certify::ClpSettings::Method;
  return {{"dual", {Method::Dual, true, false}},
          {"dual, perturbed", {Method::Dual, true, true}},
          {"dual, no presolve", {Method::Dual, false, false}},
          {"primal", {Method::Primal, true, false}},
          {"barrier", {Method::Barrier, true, false}},
          {"automatic", {Method::Automatic, true, false}}};
}

const char* Outcome(certify::LpSolution::Status status) {
  switch (status) {
    case certify::LpSolution::Status::Optimal: return "optimal";
    case certify::LpSolution::Status::Infeasible: return "infeasible";
    case certify::LpSolution::Status::OutOfTime: return "out of time";
    case certify::LpSolution::Status::Failed: break;
  }
  return "failed";
}

void Measure(const std::string& file, double seconds) {
  ModelDay loaded;
  if (!loaded.Load(file)) return;
  certify::Day& day = loaded.day;
  std::cout << file << ": " << day.passages.size() << " passages" << std::endl;
  for (int which = 0; which < 3; ++which) {
    const certify::Aim aim = which == 0 ? certify::Aim::Balanced : certify::Aim::Rested;
    if (which == 1) {
      day.homes = {certify::kNoHome};
      day.restClasses = certify::kCoarseRestClasses;
    } else {
      day.homes.clear();
      day.restClasses = 0;
    }
    day.mergeNodes = false;
    const certify::TimeSpaceModel plain(day, aim, kThreshold, certify::kBalancedColumnBudget);
    day.mergeNodes = true;
    const certify::TimeSpaceModel model(day, aim, kThreshold, certify::kBalancedColumnBudget);
    const char* what[] = {"whole balanced", "rested, coarse", "whole rested"};
    std::cout << "  " << what[which] << ": " << model.Size().columns << " columns, "
              << model.Size().rows << " rows (a node per departure time: "
              << plain.Size().columns << " columns, " << plain.Size().rows << " rows)"
              << std::endl;
    if (!model.Fits()) continue;
    const certify::LinearProgram program = model.Build();
    for (const Setting& setting : Settings()) {
      certify::ClpSolver solver(setting.settings);
      const std::clock_t start = std::clock();
      const certify::LpSolution solution = solver.Solve(program, seconds);
      const double cpu = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
      std::cout << "    " << std::left << std::setw(18) << setting.name << std::right
                << std::fixed << std::setprecision(2) << std::setw(7) << cpu << " CPU s, "
                << Outcome(solution.status);
      if (solution.status == certify::LpSolution::Status::Optimal)
        std::cout << ", bound " << model.IntegerBound(solution.objective);
      std::cout << std::endl;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 20.0;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--seconds" && i + 1 < argc) {
      seconds = std::stod(argv[++i]);
    } else if (argument.size() > 4 && argument.compare(argument.size() - 4, 4, ".csv") == 0) {
      files.push_back(argument);
    } else {
      std::cout << "Usage: lp_settings_bench [--seconds S] <day.csv> ..." << std::endl;
      return 1;
    }
  }
  for (const std::string& file : files) Measure(file, seconds);
  return 0;
}
