#include "localsearch/ExchangePlan.h"

#include <algorithm>
#include <cmath>

ExchangePlan PlanExchange(std::optional<unsigned int> rounds,
                          std::optional<unsigned int> restarts, std::size_t rows) {
  ExchangePlan plan;
  if (rounds) {
    plan.rounds = *rounds;
    plan.restarts = restarts.value_or(0);
    return plan;
  }
  const double perRound = static_cast<double>(std::max<std::size_t>(rows, 1));
  const bool small = rows < kSmallDayRows;
  const unsigned int wanted = small                  ? kDefaultRounds
                              : rows >= kLargeDayRows ? kLargeDayRounds
                                                      : kMidDayRounds;
  plan.rounds = static_cast<unsigned int>(
      std::clamp(std::floor(kSearchProposals / perRound), static_cast<double>(kMinDefaultRounds),
                 static_cast<double>(wanted)));
  if (restarts) {
    plan.restarts = *restarts;
    return plan;
  }
  plan.restarts = small ? kSmallDayRestarts : 1;
  return plan;
}

bool PlanUsesRestarts(bool roundsGiven, bool restartsGiven) {
  return restartsGiven || !roundsGiven;
}

std::size_t RowsWithCells(const BGraph& graph) {
  const auto n = static_cast<unsigned int>(graph.numberOfVertices / 2);
  std::size_t rows = 0;
  for (unsigned int v = 0; v < n; ++v)
    if (graph.Degree(v) > 0) ++rows;
  return rows;
}
