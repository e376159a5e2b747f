#pragma once

// A linear program that grows by columns: the master program of a column
// generation, kept in one Clp model so that each solve starts from the
// previous one's basis (the old columns keep their status, new ones enter
// at zero) and takes few primal simplex iterations.
//
// Minimises; every column lies in [0, infinity) and every coefficient is 1
// (a column is a set of rows). Duals follow the minimising convention: a
// column's reduced cost is its cost less the duals of its rows.
//
// Cost: a primal simplex solve per call; memory of Clp's model of the
// columns added so far.

#include <cstdint>
#include <memory>
#include <vector>

namespace certify {

class ColumnMaster {
 public:
  // Rows with their bounds; no columns yet.
  ColumnMaster(const std::vector<double>& rowLower, const std::vector<double>& rowUpper);
  ~ColumnMaster();
  ColumnMaster(const ColumnMaster&) = delete;
  ColumnMaster& operator=(const ColumnMaster&) = delete;

  // A column of cost `cost` with coefficient 1 in each of `rows` (distinct).
  void AddColumn(double cost, const std::vector<int>& rows);
  std::size_t Columns() const;
  // Changes a row's lower bound; the next Solve starts from the last basis.
  void SetRowLower(int row, double lower);

  enum class Status { Optimal, Infeasible, OutOfTime, Failed };
  // Solves within `seconds` of CPU time from the last basis.
  Status Solve(double seconds);
  double Objective() const;
  // Per row, after an optimal Solve.
  std::vector<double> Duals() const;
  // Per column, after an optimal Solve.
  std::vector<double> Values() const;

 private:
  struct Model;
  std::unique_ptr<Model> model;
  // Columns added since the last solve, in Clp's column form.
  std::vector<double> pendingCost;
  std::vector<int> pendingStart{0};
  std::vector<int> pendingRows;
  void Flush();
};

}  // namespace certify
