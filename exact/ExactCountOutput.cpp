#include "exact/ExactCountOutput.h"

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <limits>
#include <sstream>

namespace exact {

namespace {

constexpr std::size_t kMaxFullDigits = 20;
constexpr std::size_t kSignificantDigits = 6;

// Rounds the leading digits of `digits` to kSignificantDigits, half to even.
// Returns the kept digits; `exponent` grows by one when rounding carries
// into a new digit.
std::string RoundLeadingDigits(const std::string& digits, std::size_t& exponent) {
  std::string kept = digits.substr(0, kSignificantDigits);
  const char first = digits[kSignificantDigits];
  const bool restNonZero =
      digits.find_first_not_of('0', kSignificantDigits + 1) != std::string::npos;
  const bool lastOdd = (kept.back() - '0') % 2 == 1;
  const bool up = first > '5' || (first == '5' && (restNonZero || lastOdd));
  if (!up) return kept;
  std::size_t i = kept.size();
  while (i > 0 && kept[i - 1] == '9') kept[--i] = '0';
  if (i == 0) {
    kept.insert(kept.begin(), '1');
    kept.pop_back();
    ++exponent;
  } else {
    ++kept[i - 1];
  }
  return kept;
}

std::string ExponentNotation(const std::string& digits) {
  std::size_t exponent = digits.size() - 1;
  std::string kept = RoundLeadingDigits(digits, exponent);
  kept.erase(kept.find_last_not_of('0') + 1);
  std::string text(1, kept[0]);
  if (kept.size() > 1) text += "." + kept.substr(1);
  const std::string power = std::to_string(exponent);
  return text + "e+" + (power.size() < 2 ? "0" : "") + power;
}

}  // namespace

ExactCount ComputeExactCount(TimeTable& table, BGraph& graph, const FollowRule& rule) {
  ExactCount result = CountMinimumDecompositions(table, rule);
  if (result.available && graph.EdgeCount() != result.cells) {
    result = ExactCount();
    result.reason = "the graph's edges are not those of the timetable";
  }
  return result;
}

std::string FormatExactCount(const mpz_class& count) {
  const std::string digits = count.get_str();
  if (digits.size() <= kMaxFullDigits || digits[0] == '-') return digits;
  return ExponentNotation(digits);
}

double RelativeDeviationFromExact(const WideDouble& wideMean, const mpz_class& exact) {
  const double meanSignificand = wideMean.Significand();
  const std::int64_t meanExponent = wideMean.Exponent();
  if (!std::isfinite(meanSignificand)) return meanSignificand;
  const std::int64_t limit = 4000;  // beyond, ldexp saturates anyway
  if (mpz_sizeinbase(exact.get_mpz_t(), 2) <= std::numeric_limits<double>::digits) {
    const double exactValue = exact.get_d();
    const double mean = std::ldexp(meanSignificand,
                                   static_cast<int>(std::clamp(meanExponent, -limit, limit)));
    return (mean - exactValue) / exactValue;
  }
  long exactExponent = 0;
  const double exactSignificand = mpz_get_d_2exp(&exactExponent, exact.get_mpz_t());
  const std::int64_t shift = std::clamp(meanExponent - exactExponent, -limit, limit);
  return std::ldexp(meanSignificand / exactSignificand, static_cast<int>(shift)) - 1.0;
}

void PrintExactLines(const ExactCount& exact, const WideDouble& mean) {
  if (!exact.available) {
    std::cout << "exact number of decompositions = unavailable (" << exact.reason << ")"
              << std::endl;
    return;
  }
  std::cout << "exact number of decompositions = " << FormatExactCount(exact.count) << std::endl;
  std::cout << "relative deviation of the mean estimator from the exact number = "
            << RelativeDeviationFromExact(mean, exact.count) << std::endl;
  std::ostringstream ratio;
  ratio << std::fixed << std::setprecision(3) << Log10RatioToExact(mean, exact);
  std::cout << "decimal logarithm of mean estimator / exact number = " << ratio.str() << std::endl;
}

double Log10RatioToExact(const WideDouble& mean, const ExactCount& exact) {
  return mean.Log10() - exact.log10;
}

void AddExactReport(boost::property_tree::ptree& report, const ExactCount& exact,
                    const WideDouble& mean) {
  if (!exact.available) return;
  report.add("SE.exact_number_of_decompositions", exact.count.get_str());
  report.add("SE.exact_number_of_decompositions_log10", exact.log10);
  report.add("SE.relative_deviation_from_exact", RelativeDeviationFromExact(mean, exact.count));
  report.add("SE.log10_ratio_to_exact", Log10RatioToExact(mean, exact));
}

void PrintMinimumChains(std::size_t chains) {
  std::cout << "minimum number of chains = " << chains << std::endl;
}

void AddMinimumChains(boost::property_tree::ptree& report, std::size_t chains) {
  report.add("SE.minimum_number_of_chains", static_cast<std::uint64_t>(chains));
}

}  // namespace exact
