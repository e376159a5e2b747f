#pragma once

// What a run made of parts (EstimateParts.h) prints and writes: the day's
// estimate, its uncertainty, the decompositions of the report and the
// trace.
//
// The day's estimate is the product of the parts' means (an exact part
// contributes its count). Its uncertainty is that of a product of
// independent means, by the delta method:
//   Var(ln product) = sum over parts of Var(ln mean_c) ~ sum of re_c^2,
// re_c = (s_c / mean_c) / N^0.5 the relative error of part c's mean, s_c^2
// the unbiased sample variance of its estimates (divisor N - 1: with the
// population form, N = 10 understates the error by a twentieth; not a
// number for N = 1), 0 for an exact part. So:
// - relative error of the day = (sum of re_c^2)^0.5, printed where the
//   plain run prints its relative error;
// - std of the day = relative error * mean * N^0.5, so that relative
//   error = (std / mean) / N^0.5 holds as in the plain run;
// - standard error of log10 of the estimate = relative error / ln 10;
// - fully enumerated = every part was counted exactly.
//
// The report's decompositions combine the parts' last levels: with K the
// largest last level, decomposition k (0 <= k < K) takes node k mod |last
// level| of every part; the combinations differ from one another in the
// part whose last level has K nodes, which are distinct matchings.
//
// The trace has one row per repetition k: the product over the parts of
// their k-th estimates, the product of their running means (means of the
// first k), the relative error of that product as above, the time when
// every part had ended its k-th repetition, and, last, the standard error
// of log10 of the running product ("log10_standard_error", 17 significant
// digits like the relative error).
//
// Cost: O(parts * N) wide arithmetic.

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>

#include "bipartite/BGraph.h"
#include "numeric/WideDouble.h"
#include "se/EstimateParts.h"

namespace parts {

struct DaySummary {
  WideDouble mean;
  WideDouble std;
  WideDouble relativeError;
  bool fullyEnumerated = false;
  double log10Estimate = 0.0;
  double log10StandardError = 0.0;
  std::size_t components = 0;       // parts with at least one edge
  std::size_t componentsExact = 0;  // of those, counted exactly
};

// `results` by part number; `repetitions` is N. With N = 0 (no run) the
// statistics are not-a-number and nothing is exact.
DaySummary Summarize(const std::vector<PartResult>& results, unsigned int repetitions);

// The decompositions of the report (see above), at most the budget.
std::vector<BGraph::Decomposition> CombinedDecompositions(const BGraph& graph,
                                                          const std::vector<PartResult>& results);

// "decimal logarithm of the estimate = 685.312, standard error = 0.0213"
// and "components = 412, counted exactly = 380".
void PrintSummaryLines(const DaySummary& summary);

// split, importance, components, components_exact, log10_estimate,
// log10_standard_error.
void AddReportElements(boost::property_tree::ptree& report, const Settings& settings,
                       const DaySummary& summary);

// The trace (see above); `exactLog10` null: no log10_exact column.
void WriteTrace(std::ostream& out, const std::vector<PartResult>& results,
                unsigned int repetitions, const double* exactLog10);

}  // namespace parts
