#include "numeric/Statistics.h"

#include <cmath>

double Mean(std::vector<double> values) {
  const double count = static_cast<double>(values.size());
  double sum = 0.0;
  for (double value : values) sum += value;
  return sum / count;
}

double Std(std::vector<double> values) {
  const double count = static_cast<double>(values.size());
  const double mean = Mean(values);
  double sum = 0.0;
  for (double value : values) sum += (value - mean) * (value - mean);
  return std::sqrt(sum / count);
}

double RelativeError(double std, double mean, unsigned int repetitions) {
  return (std / mean) / std::pow(static_cast<double>(repetitions), 0.5);
}
