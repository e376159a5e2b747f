#pragma once

// What Parvel prints and reports beyond its own lines and elements.
//
// Console, each line only where its option or search calls for it:
// - with --search exchange, the first line names the rounds and restarts
//   ("Running exchange search: 5000 rounds, 8 restarts"), the walk keeps
//   "Running local search with sample size N=...";
// - whenever an extension option is given, "initial rotations: R" after the
//   initial line and "final rotations: R" after the final line, so that a
//   drop in balanced chains that comes with a drop in rotations reads as
//   what it is;
// - "time limit of S s reached" when the time limit ended the search.
// Report, after every other element, when an extension option is given:
// the initial counts (initial_decomposition_size,
// initial_number_of_balanced_chains, initial_number_of_chains_with_rest);
// for the exchange search its rounds (per search), and with --time_limit
// time_limit and time_limit_reached; with --min_turn, min_turn; with
// --exchange_repair, exchange_repair; with --exchange_polish,
// exchange_polish: the re-pairings of the winning search's polishes that
// raised its score.

#include <boost/property_tree/ptree.hpp>

#include "localsearch/ExchangePlan.h"
#include "localsearch/ParvelExtensions.h"
#include "localsearch/Search.h"

namespace parvel {

// The first line and the empty line after it.
void PrintRunLine(SearchKind search, unsigned int iterations, const ExchangePlan& plan);

// "<label> rotations: <chains>".
void PrintRotations(const char* label, int chains);

void PrintTimeLimitReached(double seconds);

void AddRunElements(boost::property_tree::ptree& report, const ExtensionSettings& settings,
                    const DecompositionCounts& initial, const ExchangePlan& plan,
                    bool timeLimitReached, unsigned int polishedBoards = 0);

}  // namespace parvel
