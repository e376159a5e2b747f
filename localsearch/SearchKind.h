#pragma once

// The searches Parvel can run, by name, and making one.
//
// - "walk": the randomised hill climb over maximum matchings (WalkSearch);
//   N is its number of iterations.
// - "exchange": simulated annealing over exchanges of chain pieces at one
//   terminal (ExchangeSearch); N is its number of rounds.
// A third search joins by a name here and a class implementing Search.

#include <memory>
#include <random>
#include <string>

#include "bipartite/BGraph.h"
#include "common/FollowRule.h"
#include "common/TimeTable.h"
#include "localsearch/Search.h"

enum class SearchKind { Walk, Exchange };

// "walk" or "exchange"; false for any other name.
bool ParseSearchKind(const std::string& name, SearchKind& kind);
std::string SearchKindName(SearchKind kind);

// `rule`: the follow rule the graph was built with (the exchange search
// tests cells by it; the walk reads the graph only). `repairShare`: the
// exchange search's share of re-pairing proposals; `polish`: whether it
// polishes its best.
std::unique_ptr<Search> MakeSearch(SearchKind kind, BGraph& graph, TimeTable& table,
                                   std::mt19937_64& engine, double threshold,
                                   bool recordPerformance, const FollowRule& rule = {},
                                   double repairShare = 0.0, bool polish = false);
