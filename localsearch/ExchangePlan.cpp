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
  plan.rounds = static_cast<unsigned int>(
      std::clamp(std::floor(kSearchProposals / perRound), static_cast<double>(kMinDefaultRounds),
                 static_cast<double>(kDefaultRounds)));
  if (restarts) {
    plan.restarts = *restarts;
    return plan;
  }
  const unsigned int wanted = rows < kSmallDayRows    ? kSmallDayRestarts
                             : rows >= kLargeDayRows ? kLargeDayRestarts
                                                     : kDefaultRestarts;
  const double fit = std::floor(kRunProposals / (perRound * plan.rounds));
  plan.restarts = static_cast<unsigned int>(std::clamp(fit, 1.0, static_cast<double>(wanted)));
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
