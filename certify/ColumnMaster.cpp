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

void ColumnMaster::AddColumn(double cost, const std::vector<int>& rows) {
  pendingCost.push_back(cost);
  pendingRows.insert(pendingRows.end(), rows.begin(), rows.end());
  pendingStart.push_back(static_cast<int>(pendingRows.size()));
}

std::size_t ColumnMaster::Columns() const {
  return static_cast<std::size_t>(model->simplex.numberColumns()) + pendingCost.size();
}

void ColumnMaster::SetRowLower(int row, double lower) {
  model->simplex.setRowLower(row, std::isinf(lower) ? -COIN_DBL_MAX : lower);
}

void ColumnMaster::Flush() {
  if (pendingCost.empty()) return;
  const int number = static_cast<int>(pendingCost.size());
  const std::vector<double> lower(pendingCost.size(), 0.0);
  const std::vector<double> upper(pendingCost.size(), COIN_DBL_MAX);
  const std::vector<double> ones(pendingRows.size(), 1.0);
  const std::vector<CoinBigIndex> start(pendingStart.begin(), pendingStart.end());
  model->simplex.addColumns(number, lower.data(), upper.data(), pendingCost.data(), start.data(),
                            pendingRows.data(), ones.data());
  pendingCost.clear();
  pendingRows.clear();
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

std::vector<double> ColumnMaster::Values() const {
  const double* values = model->simplex.primalColumnSolution();
  return std::vector<double>(values, values + model->simplex.numberColumns());
}

}  // namespace certify
