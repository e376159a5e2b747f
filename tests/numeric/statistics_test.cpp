// Summary statistics of the estimates and the estimator's arithmetic.

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "numeric/Statistics.h"
#include "numeric/WideDouble.h"
#include "se/SE.h"

TEST(Statistics, MeanAndPopulationStd) {
  EXPECT_DOUBLE_EQ(Mean({1, 2, 3, 4}), 2.5);
  EXPECT_DOUBLE_EQ(Std({1, 2, 3, 4}), std::sqrt(1.25));
  EXPECT_DOUBLE_EQ(Mean({-3, 3, 6}), 2.0);
  EXPECT_DOUBLE_EQ(Std({5, 5, 5}), 0.0);
}

TEST(Statistics, SingleValueHasNoSpreadAndEmptyListIsNaN) {
  EXPECT_DOUBLE_EQ(Mean({7.25}), 7.25);
  EXPECT_EQ(Std({7.25}), 0.0);
  EXPECT_TRUE(std::isnan(Mean({})));
  EXPECT_TRUE(std::isnan(Std({})));
}

TEST(Statistics, NonFiniteValuesPropagate) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(std::isinf(Mean({1, inf})));
  EXPECT_TRUE(std::isnan(Std({1, inf})));
  EXPECT_TRUE(std::isnan(Mean({1, std::nan("")})));
}

TEST(Statistics, RelativeErrorDividesByRootOfRepetitions) {
  EXPECT_DOUBLE_EQ(RelativeError(2.0, 4.0, 4), 0.25);
  EXPECT_DOUBLE_EQ(RelativeError(3.0, 2.0, 9), 0.5);
  EXPECT_EQ(RelativeError(0.0, 1.0, 10), 0.0);
  EXPECT_TRUE(std::isnan(RelativeError(std::nan(""), std::nan(""), 0)));
  EXPECT_TRUE(std::isinf(RelativeError(1.0, 2.0, 0)));
}

TEST(EstimatorArithmetic, ProductOfRatiosTimesFinalLevel) {
  // Budget 2, successor counts 2, 3, 2, 2: levels keep 2 nodes each.
  WideDouble product = 1.0;
  for (std::size_t successors : {2u, 3u, 2u, 2u})
    product = ScaleRunningProduct(successors, std::min<std::size_t>(successors, 2), product);
  EXPECT_EQ(product.ToDouble(), 1.5);
  EXPECT_EQ(RunEstimate(2, product).ToDouble(), 3.0);
  EXPECT_EQ(RunEstimate(1, 1.0).ToDouble(), 1.0);
}

TEST(EstimatorArithmetic, EmptyLevelsGiveInfinityThenNaN) {
  const WideDouble afterEmptied = ScaleRunningProduct(3, 0, 1.0);
  EXPECT_TRUE(afterEmptied.IsInf());
  EXPECT_TRUE(ScaleRunningProduct(0, 0, afterEmptied).IsNaN());
}

TEST(EstimatorArithmetic, ProductGoesOnBeyondTheDoubleRange) {
  // 3000 levels of 2 successors with one kept: 2^3000, about 10^903.
  WideDouble product = 1.0;
  for (int level = 0; level < 3000; ++level) product = ScaleRunningProduct(2, 1, product);
  const WideDouble estimate = RunEstimate(3, product);
  EXPECT_TRUE(estimate.IsFinite());
  EXPECT_FALSE(estimate.FitsDouble());
  EXPECT_NEAR(estimate.Log10(), 3000 * std::log10(2.0) + std::log10(3.0), 1e-9);
}
