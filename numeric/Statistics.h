#pragma once

// Summary statistics of the estimates of a counting run: mean, standard
// deviation (population form, divisor n) and the relative error of the
// mean, for doubles and for WideDouble.
//
// One implementation serves both number types. Its order of operations is
// fixed (sum in index order from 0, then divide by n; squared deviations
// likewise, then the square root), so that WideDouble, whose arithmetic is
// the double arithmetic wherever that does not overflow, gives the double
// results bit for bit there and the correctly rounded continuation beyond.
// An empty list gives NaN (0 / 0).
//
// Cost: O(n) operations of the number type.

#include <cmath>
#include <type_traits>
#include <vector>

#include "numeric/WideDouble.h"

namespace statistics {

template <typename Number>
Number MeanOf(const std::vector<Number>& values) {
  const double count = static_cast<double>(values.size());
  Number sum = 0.0;
  for (const Number& value : values) sum += value;
  return sum / count;
}

template <typename Number>
Number StdOf(const std::vector<Number>& values) {
  using std::sqrt;
  const double count = static_cast<double>(values.size());
  const Number mean = MeanOf(values);
  Number sum = 0.0;
  for (const Number& value : values) {
    const Number deviation = value - mean;
    sum += deviation * deviation;
  }
  return sqrt(sum / count);
}

// (deviation / mean) / repetitions^0.5: NaN or infinite when the mean is 0
// or there were no repetitions, as the division gives.
template <typename Number>
Number RelativeErrorOf(const Number& deviation, const Number& mean, double repetitions) {
  return (deviation / mean) / std::pow(repetitions, 0.5);
}

}  // namespace statistics

double Mean(std::vector<double> values);
double Std(std::vector<double> values);
double RelativeError(double std, double mean, unsigned int repetitions);

// The same for WideDouble. They are templates that accept only WideDouble,
// so that calls with doubles or with a braced list of numbers (Mean({1, 2}))
// still find the double versions unambiguously.
template <typename T, typename = std::enable_if_t<std::is_same_v<T, WideDouble>>>
WideDouble Mean(const std::vector<T>& values) {
  return statistics::MeanOf(values);
}
template <typename T, typename = std::enable_if_t<std::is_same_v<T, WideDouble>>>
WideDouble Std(const std::vector<T>& values) {
  return statistics::StdOf(values);
}
template <typename T, typename = std::enable_if_t<std::is_same_v<T, WideDouble>>>
WideDouble RelativeError(const T& deviation, const T& mean, double repetitions) {
  return statistics::RelativeErrorOf(deviation, mean, repetitions);
}
