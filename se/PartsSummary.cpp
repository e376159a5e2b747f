#include "se/PartsSummary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <sstream>

#include "numeric/Statistics.h"

namespace parts {

namespace {

const double kLn10 = std::log(10.0);

std::string Fixed(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

// Relative error of a mean of `count` estimates whose squared deviations
// from it sum to `squares`: the standard error of the mean, from the
// unbiased variance (divisor count - 1), over the mean. Not a number for a
// single estimate: one draw tells nothing of the spread.
double MeanRelativeError(const WideDouble& squares, const WideDouble& mean, double count) {
  if (count < 2.0) return std::numeric_limits<double>::quiet_NaN();
  return (sqrt(squares / (count - 1.0) / count) / mean).ToDouble();
}

// Relative error of a part's mean: 0 when it was counted exactly.
double PartRelativeError(const PartResult& result) {
  if (result.exact) return 0.0;
  const WideDouble mean = statistics::MeanOf(result.estimates);
  WideDouble squares = 0.0;
  for (const WideDouble& value : result.estimates) {
    const WideDouble deviation = value - mean;
    squares += deviation * deviation;
  }
  return MeanRelativeError(squares, mean, static_cast<double>(result.estimates.size()));
}

WideDouble PartMean(const PartResult& result) {
  return result.exact ? result.estimates.front() : statistics::MeanOf(result.estimates);
}

}  // namespace

DaySummary Summarize(const std::vector<PartResult>& results, unsigned int repetitions) {
  DaySummary summary;
  for (const PartResult& result : results) {
    if (!result.hasEdges) continue;
    ++summary.components;
    if (result.exact && repetitions > 0) ++summary.componentsExact;
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  if (repetitions == 0) {
    summary.mean = summary.std = summary.relativeError = nan;
    summary.log10Estimate = summary.log10StandardError = nan;
    return summary;
  }
  WideDouble product = 1.0;
  double squares = 0.0;
  for (const PartResult& result : results) {
    product *= PartMean(result);
    const double error = PartRelativeError(result);
    squares += error * error;
  }
  const double relativeError = std::sqrt(squares);
  summary.mean = product;
  summary.relativeError = relativeError;
  summary.std = WideDouble(relativeError) * product * WideDouble(std::sqrt(repetitions));
  summary.fullyEnumerated = summary.componentsExact == summary.components;
  summary.log10Estimate = product.Log10();
  summary.log10StandardError = relativeError / kLn10;
  return summary;
}

std::vector<BGraph::Decomposition> CombinedDecompositions(const BGraph& graph,
                                                          const std::vector<PartResult>& results) {
  std::size_t count = 0;
  for (const PartResult& result : results) count = std::max(count, result.final.size());
  std::vector<BGraph::Decomposition> decompositions;
  for (std::size_t k = 0; k < count; ++k) {
    BGraph::Matching pairs;
    for (const PartResult& result : results) {
      if (result.final.empty()) continue;
      const BGraph::Matching& part = result.final[k % result.final.size()];
      pairs.insert(pairs.end(), part.begin(), part.end());
    }
    decompositions.push_back(graph.GetDillworthDecompositionFromMatching(pairs));
  }
  return decompositions;
}

void PrintSummaryLines(const DaySummary& summary) {
  std::ostringstream error;
  error.precision(3);
  error << summary.log10StandardError;
  std::cout << "decimal logarithm of the estimate = " << Fixed(summary.log10Estimate, 3)
            << ", standard error = " << error.str() << std::endl;
  std::cout << "components = " << summary.components
            << ", counted exactly = " << summary.componentsExact << std::endl;
}

void AddReportElements(boost::property_tree::ptree& report, const Settings& settings,
                       const DaySummary& summary) {
  report.add("SE.split", SplitName(settings.split));
  report.add("SE.importance", ImportanceName(settings.importance));
  report.add("SE.components", static_cast<std::uint64_t>(summary.components));
  report.add("SE.components_exact", static_cast<std::uint64_t>(summary.componentsExact));
  report.add("SE.log10_estimate", summary.log10Estimate);
  report.add("SE.log10_standard_error", summary.log10StandardError);
}

void WriteTrace(std::ostream& out, const std::vector<PartResult>& results,
                unsigned int repetitions, const double* exactLog10) {
  out << "repetition,estimate,log10_estimate,running_mean,log10_running_mean,"
         "running_relative_error,fully_enumerated,seconds"
      << (exactLog10 ? ",log10_exact" : "") << ",log10_standard_error\n";
  bool allExact = true;
  for (const PartResult& result : results)
    if (result.hasEdges && !result.exact) allExact = false;
  // Running mean and squared deviations of each part (Welford), for the
  // rows before the last; the last row is computed as the report is.
  std::vector<WideDouble> sum(results.size(), WideDouble(0.0));
  std::vector<WideDouble> mean(results.size(), WideDouble(0.0));
  std::vector<WideDouble> squares(results.size(), WideDouble(0.0));
  for (unsigned int k = 1; k <= repetitions; ++k) {
    const double count = static_cast<double>(k);
    WideDouble estimate = 1.0;
    WideDouble product = 1.0;
    double errorSquares = 0.0;
    double seconds = 0.0;
    for (std::size_t c = 0; c < results.size(); ++c) {
      const PartResult& result = results[c];
      if (result.estimates.empty()) continue;
      const std::size_t index = std::min<std::size_t>(k, result.estimates.size()) - 1;
      seconds = std::max(seconds, result.seconds[index]);
      if (result.exact) {
        estimate *= result.estimates.front();
        product *= result.estimates.front();
        continue;
      }
      const WideDouble& value = result.estimates[k - 1];
      estimate *= value;
      sum[c] += value;
      const WideDouble delta = value - mean[c];
      mean[c] += delta / count;
      squares[c] += delta * (value - mean[c]);
      double error = 0.0;
      if (k == repetitions) {
        product *= PartMean(result);
        error = PartRelativeError(result);
      } else {
        product *= sum[c] / count;
        error = MeanRelativeError(squares[c], mean[c], count);
      }
      errorSquares += error * error;
    }
    const double relativeError = std::sqrt(errorSquares);
    char time[64];
    std::snprintf(time, sizeof time, "%.6f", seconds);
    out << k << ',' << estimate.ToString() << ',' << Fixed(estimate.Log10(), 6) << ','
        << product.ToString() << ',' << Fixed(product.Log10(), 6) << ','
        << WideDouble(relativeError).ToString() << ',' << (allExact ? "true" : "false") << ','
        << time;
    if (exactLog10) out << ',' << Fixed(*exactLog10, 6);
    out << ',' << WideDouble(relativeError / kLn10).ToString() << '\n';
  }
}

}  // namespace parts
