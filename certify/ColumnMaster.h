#pragma once

// A linear program that grows by columns: the master program of a column
// generation, kept in one Clp model so that each solve starts from the
// previous one's basis (the old columns keep their status, new ones enter
// at zero) rather than from scratch.
//
// Minimises; every column lies in [0, infinity). Rows may be added as
// columns come to need them (earlier columns have 0 there). Duals follow
// the minimising convention: a column's reduced cost is its cost less the
// sum of its coefficients times the duals of their rows.
//
// Cost: a primal simplex solve per call; memory of Clp's model of the
// columns added so far.

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace certify {

class ColumnMaster {
 public:
  // Rows with their bounds; no columns yet.
  ColumnMaster(const std::vector<double>& rowLower, const std::vector<double>& rowUpper);
  ~ColumnMaster();
  ColumnMaster(const ColumnMaster&) = delete;
  ColumnMaster& operator=(const ColumnMaster&) = delete;

  // A column of cost `cost` with entries (row, coefficient), rows distinct.
  void AddColumn(double cost, const std::vector<std::pair<int, double>>& entries);
  // A row of bounds [lower, upper]; returns its index.
  int AddRow(double lower, double upper);
  std::size_t Columns() const;
  std::size_t Rows() const;

  enum class Status { Optimal, Infeasible, OutOfTime, Failed };
  // Solves within `seconds` of CPU time from the last basis.
  Status Solve(double seconds);
  double Objective() const;
  // Per row, after an optimal Solve.
  std::vector<double> Duals() const;

 private:
  struct Model;
  std::unique_ptr<Model> model;
  // Columns added since the last solve, in Clp's column form.
  std::vector<double> pendingCost;
  std::vector<int> pendingStart{0};
  std::vector<int> pendingRows;
  std::vector<double> pendingValues;
  void Flush();
};

}  // namespace certify
