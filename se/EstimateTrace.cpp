#include "se/EstimateTrace.h"

#include <cstdio>
#include <string>

#include "numeric/Statistics.h"

namespace {

std::string Fixed6(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6f", value);
  return buffer;
}

}  // namespace

void EstimateTrace::Add(const WideDouble& estimate, bool fullyEnumerated, double seconds) {
  rows.push_back({estimate, fullyEnumerated, seconds});
}

void EstimateTrace::Write(std::ostream& out, const double* exactLog10) const {
  out << "repetition,estimate,log10_estimate,running_mean,log10_running_mean,"
         "running_relative_error,fully_enumerated,seconds"
      << (exactLog10 ? ",log10_exact" : "") << '\n';
  const bool everyRowExact = rows.size() <= kExactRowsUpTo;
  std::vector<WideDouble> prefix;  // estimates so far, when needed
  WideDouble sum = 0.0;
  WideDouble welfordMean = 0.0;
  WideDouble welfordSquares = 0.0;
  for (std::size_t k = 1; k <= rows.size(); ++k) {
    const Row& row = rows[k - 1];
    const double count = static_cast<double>(k);
    sum += row.estimate;
    const WideDouble mean = sum / count;
    const WideDouble delta = row.estimate - welfordMean;
    welfordMean += delta / count;
    welfordSquares += delta * (row.estimate - welfordMean);
    WideDouble relativeError;
    if (everyRowExact || k == rows.size()) {
      if (everyRowExact) {
        prefix.push_back(row.estimate);
      } else {
        for (const Row& earlier : rows) prefix.push_back(earlier.estimate);
      }
      relativeError = RelativeError(Std(prefix), Mean(prefix), count);
    } else {
      relativeError = RelativeError(sqrt(welfordSquares / count), mean, count);
    }
    out << k << ',' << row.estimate.ToString() << ',' << Fixed6(row.estimate.Log10()) << ','
        << mean.ToString() << ',' << Fixed6(mean.Log10()) << ',' << relativeError.ToString()
        << ',' << (row.fullyEnumerated ? "true" : "false") << ',' << Fixed6(row.seconds);
    if (exactLog10) out << ',' << Fixed6(*exactLog10);
    out << '\n';
  }
}
