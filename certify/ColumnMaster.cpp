#include "certify/ColumnMaster.h"

#include <cmath>

#include <ClpSimplex.hpp>

namespace certify {

struct ColumnMaster::Model {
  ClpSimplex simplex;
};

ColumnMaster::ColumnMaster(const std::vector<double>& rowLower,
                           const std::vector<double>& rowUpper)
    : model(std::make_unique<Model>()) {
  ClpSimplex& simplex = model->simplex;
  simplex.setLogLevel(0);
  simplex.messageHandler()->setLogLevel(0);
  const int rows = static_cast<int>(rowLower.size());
  std::vector<double> lower(rowLower);
  std::vector<double> upper(rowUpper);
  for (int r = 0; r < rows; ++r) {
    if (std::isinf(lower[r])) lower[r] = -COIN_DBL_MAX;
    if (std::isinf(upper[r])) upper[r] = COIN_DBL_MAX;
  }
  const CoinBigIndex start[1] = {0};
  simplex.loadProblem(0, rows, start, nullptr, nullptr, nullptr, nullptr, nullptr, lower.data(),
                      upper.data());
  simplex.setOptimizationDirection(1.0);
}

ColumnMaster::~ColumnMaster() = default;

void ColumnMaster::AddColumn(double cost, const std::vector<std::pair<int, double>>& entries) {
  pendingCost.push_back(cost);
  for (const auto& [row, value] : entries) {
    pendingRows.push_back(row);
    pendingValues.push_back(value);
  }
  pendingStart.push_back(static_cast<int>(pendingRows.size()));
}

int ColumnMaster::AddRow(double lower, double upper) {
  Flush();
  model->simplex.addRow(0, nullptr, nullptr, std::isinf(lower) ? -COIN_DBL_MAX : lower,
                        std::isinf(upper) ? COIN_DBL_MAX : upper);
  return model->simplex.numberRows() - 1;
}

std::size_t ColumnMaster::Rows() const {
  return static_cast<std::size_t>(model->simplex.numberRows());
}

std::size_t ColumnMaster::Columns() const {
  return static_cast<std::size_t>(model->simplex.numberColumns()) + pendingCost.size();
}

void ColumnMaster::Flush() {
  if (pendingCost.empty()) return;
  const int number = static_cast<int>(pendingCost.size());
  const std::vector<double> lower(pendingCost.size(), 0.0);
  const std::vector<double> upper(pendingCost.size(), COIN_DBL_MAX);
  const std::vector<CoinBigIndex> start(pendingStart.begin(), pendingStart.end());
  model->simplex.addColumns(number, lower.data(), upper.data(), pendingCost.data(), start.data(),
                            pendingRows.data(), pendingValues.data());
  pendingCost.clear();
  pendingRows.clear();
  pendingValues.clear();
  pendingStart.assign(1, 0);
}

ColumnMaster::Status ColumnMaster::Solve(double seconds) {
  Flush();
  ClpSimplex& simplex = model->simplex;
  simplex.setMaximumSeconds(std::isfinite(seconds) ? std::max(seconds, 0.01) : -1.0);
  simplex.primal();
  if (simplex.isProvenOptimal()) return Status::Optimal;
  if (simplex.isProvenPrimalInfeasible()) return Status::Infeasible;
  if (simplex.isIterationLimitReached() || simplex.hitMaximumIterations())
    return Status::OutOfTime;
  return Status::Failed;
}

double ColumnMaster::Objective() const { return model->simplex.objectiveValue(); }

std::vector<double> ColumnMaster::Duals() const {
  const double* duals = model->simplex.dualRowSolution();
  return std::vector<double>(duals, duals + model->simplex.numberRows());
}

}  // namespace certify
