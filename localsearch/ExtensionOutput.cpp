#include "localsearch/ExtensionOutput.h"

#include <iostream>

namespace parvel {

void PrintRunLine(SearchKind search, unsigned int iterations, const ExchangePlan& plan) {
  if (search != SearchKind::Exchange) {
    std::cout << "Running local search with sample size N=" << iterations << std::endl
              << std::endl;
    return;
  }
  std::cout << "Running exchange search: " << plan.rounds << (plan.rounds == 1 ? " round" : " rounds");
  if (plan.restarts > 0)
    std::cout << ", " << plan.restarts << (plan.restarts == 1 ? " restart" : " restarts");
  std::cout << std::endl << std::endl;
}

void PrintRotations(const char* label, int chains) {
  std::cout << label << " rotations: " << chains << std::endl;
}

void PrintTimeLimitReached(double seconds) {
  std::cout << "time limit of " << seconds << " s reached" << std::endl;
}

void AddRunElements(boost::property_tree::ptree& report, const ExtensionSettings& settings,
                    const DecompositionCounts& initial, const ExchangePlan& plan,
                    bool timeLimitReached, unsigned int polishedBoards) {
  report.add("OPT.initial_decomposition_size", initial.chains);
  report.add("OPT.initial_number_of_balanced_chains", initial.balanced);
  report.add("OPT.initial_number_of_chains_with_rest", initial.rest);
  if (settings.search == SearchKind::Exchange) {
    report.add("OPT.rounds", plan.rounds);
    if (settings.timeLimit.given) {
      report.add("OPT.time_limit", settings.timeLimit.seconds);
      report.add("OPT.time_limit_reached", timeLimitReached);
    }
  }
  if (settings.minTurn.given) report.add("OPT.min_turn", settings.minTurn.hours);
  if (settings.repair.given) report.add("OPT.exchange_repair", settings.repair.share);
  if (settings.polish) report.add("OPT.exchange_polish", polishedBoards);
}

}  // namespace parvel
