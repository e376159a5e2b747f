#pragma once

// The "exact" switch of Quorlin: the count for the run's timetable and
// graph, its console lines and its report elements.

#include <cstdint>
#include <string>

#include <boost/property_tree/ptree.hpp>
#include <gmpxx.h>

#include "bipartite/BGraph.h"
#include "common/TimeTable.h"
#include "exact/ExactCount.h"
#include "numeric/WideDouble.h"

namespace exact {

// Count for the run. Not available when the timetable cannot be counted
// this way (see CountMinimumDecompositions) or when the graph does not hold
// exactly the boards' cells as edges.
// The graph must have been built with the same follow rule.
ExactCount ComputeExactCount(TimeTable& table, BGraph& graph, const FollowRule& rule = {});

// Every digit up to 20 digits; beyond, 6 significant digits in exponent
// notation ("7.18661e+512"), rounded like the stream rounds a double.
std::string FormatExactCount(const mpz_class& count);

// (mean - exact) / exact, for means within and beyond the double range.
double RelativeDeviationFromExact(const WideDouble& mean, const mpz_class& exact);

// log10(mean) - log10(exact): how many orders of magnitude the mean is off,
// which stays telling where the relative deviation reads -1.
double Log10RatioToExact(const WideDouble& mean, const ExactCount& exact);

// The console lines, after the summary: the count (or "unavailable" and
// why) and, when available, the relative deviation of the mean and the
// decimal logarithm of their ratio.
void PrintExactLines(const ExactCount& exact, const WideDouble& mean);

// The four report elements, when the count is available; nothing otherwise.
void AddExactReport(boost::property_tree::ptree& report, const ExactCount& exact,
                    const WideDouble& mean);

// The true minimum number of chains, `passages` minus the size of a maximum
// matching: "minimum number of chains = 113". The optimal number of chains
// printed before it counts one chain more for every rotation that Edmonds'
// matching closes on itself, so on days with overnight passages the two
// can differ.
void PrintMinimumChains(std::size_t chains);
// Its report element, minimum_number_of_chains.
void AddMinimumChains(boost::property_tree::ptree& report, std::size_t chains);

}  // namespace exact
