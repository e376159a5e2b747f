#include "localsearch/SearchKind.h"

#include "localsearch/ExchangeSearch.h"
#include "localsearch/WalkSearch.h"

bool ParseSearchKind(const std::string& name, SearchKind& kind) {
  if (name == "walk") {
    kind = SearchKind::Walk;
    return true;
  }
  if (name == "exchange") {
    kind = SearchKind::Exchange;
    return true;
  }
  return false;
}

std::string SearchKindName(SearchKind kind) {
  return kind == SearchKind::Exchange ? "exchange" : "walk";
}

std::unique_ptr<Search> MakeSearch(SearchKind kind, BGraph& graph, TimeTable& table,
                                   std::mt19937_64& engine, double threshold,
                                   bool recordPerformance, const FollowRule& rule,
                                   double repairShare, bool polish) {
  if (kind == SearchKind::Exchange) {
    AnnealingSchedule schedule;
    schedule.repairShare = repairShare;
    if (polish) schedule = WithPolish(schedule);
    return std::make_unique<ExchangeSearch>(graph, table, engine, threshold, recordPerformance,
                                            graph.GetMaxMatching(), schedule, rule);
  }
  return std::make_unique<WalkSearch>(graph, table, engine, threshold, recordPerformance);
}
