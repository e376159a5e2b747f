#pragma once

// Summary statistics of the estimates of a counting run.
//
// Both functions work on the plain list in index order. An empty list gives
// NaN (0 / 0); the standard deviation is the population form (divisor n).

#include <vector>

double Mean(std::vector<double> values);
double Std(std::vector<double> values);

// Relative error of the mean of `repetitions` estimates:
// (std / mean) / repetitions^0.5. NaN or infinite when the mean is 0 or
// there were no repetitions, as the division gives.
double RelativeError(double std, double mean, unsigned int repetitions);
