#include "numeric/Statistics.h"

double Mean(std::vector<double> values) { return statistics::MeanOf(values); }

double Std(std::vector<double> values) { return statistics::StdOf(values); }

double RelativeError(double std, double mean, unsigned int repetitions) {
  return statistics::RelativeErrorOf(std, mean, static_cast<double>(repetitions));
}
