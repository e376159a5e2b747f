#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <random>
#include <sstream>
#include <type_traits>
#include <utility>
#include <vector>

#include "numeric/Statistics.h"
#include "numeric/WideDouble.h"

// The estimator's computations on WideDouble: the running product of
// successor/kept ratios, the estimate, Mean, Std and the relative error.
// In the double range they must be the double computations bit for bit;
// beyond it they are checked against long double (whose range reaches
// 10^4932) and against exact power-of-two scaling.

namespace {

std::uint64_t Bits(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

::testing::AssertionResult SameDouble(const WideDouble& actual, double expected) {
  if (actual.FitsDouble() && Bits(actual.ToDouble()) == Bits(expected)) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << std::hexfloat << actual.Significand() << "*2^"
                                       << actual.Exponent() << " vs " << expected;
}

// The double computations the estimator's statistics have always done.
double DoubleMean(const std::vector<double>& values) {
  double sum = 0.0;
  for (double value : values) sum += value;
  return sum / static_cast<double>(values.size());
}

double DoubleStd(const std::vector<double>& values) {
  const double mean = DoubleMean(values);
  double sum = 0.0;
  for (double value : values) sum += (value - mean) * (value - mean);
  return std::sqrt(sum / static_cast<double>(values.size()));
}

double DoubleRelativeError(double deviation, double mean, unsigned int repetitions) {
  return (deviation / mean) / std::pow(static_cast<double>(repetitions), 0.5);
}

std::vector<WideDouble> List(std::initializer_list<WideDouble> values) { return values; }

std::vector<WideDouble> Widen(const std::vector<double>& values) {
  return std::vector<WideDouble>(values.begin(), values.end());
}

// One simulated run: a product of successor/kept ratios over `levels`
// levels with the given budget, times the final level's size.
double SimulatedEstimate(std::mt19937_64& rng, int levels, unsigned int budget) {
  double product = 1.0;
  double kept = 1.0;
  for (int level = 0; level < levels; ++level) {
    const auto successors = static_cast<unsigned int>(1 + rng() % (3 * budget + 2));
    kept = successors < budget ? successors : budget;
    product = (static_cast<double>(successors) / kept) * product;
  }
  return kept * product;
}

// The wide statistics sit beside the double ones under the same names:
// lists of WideDouble pick the former, doubles and braced lists of numbers
// the latter, without ambiguity.
static_assert(std::is_same_v<decltype(Mean({1, 2, 3})), double>);
static_assert(std::is_same_v<decltype(Std({1.5, 2.5})), double>);
static_assert(std::is_same_v<decltype(RelativeError(1.0, 2.0, 3u)), double>);
static_assert(std::is_same_v<decltype(Mean(std::declval<std::vector<WideDouble>&>())), WideDouble>);
static_assert(std::is_same_v<decltype(RelativeError(WideDouble(), WideDouble(), 3u)), WideDouble>);

}  // namespace

TEST(WideDoubleStatistics, RunningProductMatchesDoubleUntilItOverflowsAndStaysAccurateAfter) {
  std::mt19937_64 rng(99);
  const unsigned int budget = 3;
  double product = 1.0;
  WideDouble wideProduct = 1.0;
  long double log10Product = 0.0L;
  int level = 0;
  for (; level < 40000; ++level) {
    const auto successors = static_cast<unsigned int>(1 + rng() % 40);
    const unsigned int kept = successors < budget ? successors : budget;
    const double ratio = static_cast<double>(successors) / static_cast<double>(kept);
    product = ratio * product;
    wideProduct =
        WideDouble(static_cast<double>(successors)) / static_cast<double>(kept) * wideProduct;
    log10Product += std::log10(static_cast<long double>(ratio));
    if (std::isfinite(product)) {
      ASSERT_TRUE(SameDouble(wideProduct, product)) << "level " << level;
    }
  }
  ASSERT_TRUE(std::isinf(product));
  ASSERT_GT(log10Product, 10000.0L);
  // 40000 roundings of at most half an ulp each: relative error below 1e-11.
  EXPECT_NEAR(wideProduct.Log10(), static_cast<double>(log10Product), 1e-9);
  const WideDouble estimate = 3.0 * wideProduct;
  EXPECT_NEAR(estimate.Log10() - wideProduct.Log10(), std::log10(3.0), 1e-12);
}

TEST(WideDoubleStatistics, MeanStdAndRelativeErrorMatchDoubleOnRandomEstimates) {
  std::mt19937_64 rng(2026);
  int compared = 0;
  for (int list = 0; list < 3000; ++list) {
    const std::size_t count = rng() % 120;
    const auto levels = static_cast<int>(rng() % 600);
    const auto budget = static_cast<unsigned int>(1 + rng() % 4);
    std::vector<double> estimates;
    for (std::size_t i = 0; i < count; ++i) {
      // Mostly run-like estimates; some spread over many binades so that
      // (v - mean)^2 adds terms whose exponents differ by 54 and more.
      estimates.push_back((rng() % 4 == 0) ? std::ldexp(static_cast<double>(1 + rng() % 1000),
                                                        static_cast<int>(rng() % 400))
                                           : SimulatedEstimate(rng, levels, budget));
    }
    const WideDouble mean = Mean(Widen(estimates));
    const WideDouble deviation = Std(Widen(estimates));
    const double doubleMean = DoubleMean(estimates);
    const double doubleStd = DoubleStd(estimates);
    if (!std::isfinite(doubleStd) && count > 0) continue;  // overflowed in double
    ++compared;
    ASSERT_TRUE(SameDouble(mean, doubleMean)) << "list " << list;
    ASSERT_TRUE(SameDouble(deviation, doubleStd)) << "list " << list;
    const auto repetitions = static_cast<unsigned int>(count);
    ASSERT_TRUE(SameDouble(RelativeError(deviation, mean, repetitions),
                           DoubleRelativeError(doubleStd, doubleMean, repetitions)));
  }
  EXPECT_GT(compared, 2000);
}

TEST(WideDoubleStatistics, ScalingAllEstimatesByAPowerOfTwoScalesTheResultsExactly) {
  std::mt19937_64 rng(5);
  const std::int64_t scales[] = {1024, 2300, 33220, 1000000};
  for (int list = 0; list < 500; ++list) {
    std::vector<double> estimates;
    for (std::size_t i = 0, count = 1 + rng() % 60; i < count; ++i) {
      estimates.push_back(SimulatedEstimate(rng, static_cast<int>(rng() % 200), 2));
    }
    const std::int64_t scale = scales[rng() % 4];
    std::vector<WideDouble> scaled;
    for (double value : estimates) scaled.push_back(ldexp(WideDouble(value), scale));
    const double mean = DoubleMean(estimates);
    const double deviation = DoubleStd(estimates);
    const WideDouble wideMean = Mean(scaled);
    const WideDouble wideDeviation = Std(scaled);
    ASSERT_FALSE(wideMean.FitsDouble());
    ASSERT_TRUE(SameDouble(ldexp(wideMean, -scale), mean));
    ASSERT_TRUE(SameDouble(ldexp(wideDeviation, -scale), deviation));
    const auto repetitions = static_cast<unsigned int>(estimates.size());
    ASSERT_TRUE(SameDouble(RelativeError(wideDeviation, wideMean, repetitions),
                           DoubleRelativeError(deviation, mean, repetitions)));
  }
}

TEST(WideDoubleStatistics, BeyondTheDoubleRangeAgreesWithLongDouble) {
  // Estimates significand * 2^(base + local): the wide values carry the
  // whole exponent, the long double reference only `local`, so that its
  // squares stay in range; log10 adds base * log10(2) back.
  std::mt19937_64 rng(17);
  std::uniform_real_distribution<double> decades(0.0, 3.0);
  const std::int64_t bases[] = {1100, 4000, 16000, 33220, 3000000};
  for (int list = 0; list < 200; ++list) {
    const std::int64_t base = bases[rng() % 5];
    std::vector<WideDouble> estimates;
    std::vector<long double> local;
    for (std::size_t i = 0, count = 2 + rng() % 100; i < count; ++i) {
      int exponent = 0;
      const double significand = std::frexp(std::pow(10.0, decades(rng)), &exponent);
      estimates.push_back(WideDouble::FromParts(significand, base + exponent));
      local.push_back(std::ldexp(static_cast<long double>(significand), exponent));
    }
    long double sum = 0.0L;
    for (long double value : local) sum += value;
    const long double mean = sum / local.size();
    long double squares = 0.0L;
    for (long double value : local) squares += (value - mean) * (value - mean);
    const long double deviation = std::sqrt(squares / local.size());
    const long double shift = static_cast<long double>(base) * std::log10(2.0L);

    const WideDouble wideMean = Mean(estimates);
    const WideDouble wideDeviation = Std(estimates);
    ASSERT_FALSE(wideMean.FitsDouble());
    // About n roundings in a sum of positive terms; the spread of three
    // decades keeps the deviations from cancelling badly.
    const double tolerance = 1e-14 * static_cast<double>(shift + 10);
    EXPECT_NEAR(wideMean.Log10(), static_cast<double>(std::log10(mean) + shift), tolerance);
    EXPECT_NEAR(wideDeviation.Log10(), static_cast<double>(std::log10(deviation) + shift),
                tolerance);
    const WideDouble relative =
        RelativeError(wideDeviation, wideMean, static_cast<double>(local.size()));
    ASSERT_TRUE(relative.FitsDouble());
    const long double expected =
        (deviation / mean) / std::sqrt(static_cast<long double>(local.size()));
    EXPECT_NEAR(relative.ToDouble(), static_cast<double>(expected), 1e-13 * expected);
  }
}

TEST(WideDoubleStatistics, DegenerateListsGiveTheDoubleResults) {
  // Empty list: 0 / 0, the same NaN as in double, printed the same way.
  const std::vector<double> none;
  const WideDouble emptyMean = Mean(Widen(none));
  ASSERT_TRUE(emptyMean.IsNaN());
  EXPECT_TRUE(SameDouble(emptyMean, DoubleMean(none)));
  EXPECT_TRUE(SameDouble(Std(Widen(none)), DoubleStd(none)));
  EXPECT_TRUE(SameDouble(RelativeError(Std(Widen(none)), emptyMean, 0u),
                         DoubleRelativeError(DoubleStd(none), DoubleMean(none), 0)));
  std::ostringstream wide;
  std::ostringstream plain;
  wide << emptyMean;
  plain << DoubleMean(none);
  EXPECT_EQ(wide.str(), plain.str());

  // The known small cases.
  EXPECT_TRUE(SameDouble(Mean(List({1.0, 2.0, 3.0, 4.0})), 2.5));
  EXPECT_TRUE(SameDouble(Std(List({1.0, 2.0, 3.0, 4.0})), std::sqrt(1.25)));
  EXPECT_TRUE(SameDouble(Std(List({7.0})), 0.0));
  const WideDouble huge = ldexp(WideDouble(0.9), 40000);
  EXPECT_TRUE(SameDouble(Std(List({huge})), 0.0));
  EXPECT_TRUE(SameDouble(Std(List({huge, huge, huge})), 0.0));
  EXPECT_TRUE(
      SameDouble(RelativeError(Std(List({huge, huge})), Mean(List({huge, huge})), 2.0), 0.0));

  // Equal whole-number estimates: std and relative error 0, mean the value.
  EXPECT_TRUE(SameDouble(Mean(List({1.0, 1.0, 1.0})), 1.0));
  EXPECT_TRUE(SameDouble(RelativeError(WideDouble(0.0), WideDouble(1.0), 3.0), 0.0));
}

TEST(WideDoubleStatistics, ZeroBudgetRunsGiveNaNEstimatesLikeDouble) {
  // Budget 0: the first level keeps nothing (|S| / 0 = inf), the next has
  // no successors (0 / 0 = NaN), and the NaN stays in the product.
  double product = 1.0;
  WideDouble wideProduct = 1.0;
  const double counts[][2] = {{4.0, 0.0}, {0.0, 0.0}, {0.0, 0.0}};
  for (const auto& level : counts) {
    volatile double successors = level[0];
    volatile double kept = level[1];
    product = (successors / kept) * product;
    wideProduct = (WideDouble(successors) / WideDouble(kept)) * wideProduct;
    ASSERT_TRUE(SameDouble(wideProduct, product));
  }
  const double estimate = 0.0 * product;
  const WideDouble wideEstimate = WideDouble(0.0) * wideProduct;
  ASSERT_TRUE(wideEstimate.IsNaN());
  EXPECT_TRUE(SameDouble(wideEstimate, estimate));
  EXPECT_TRUE(Mean(List({wideEstimate, wideEstimate})).IsNaN());
  EXPECT_TRUE(Std(List({wideEstimate})).IsNaN());
  // A NaN among wide estimates spoils the mean as it would in double.
  EXPECT_TRUE(Mean(List({ldexp(WideDouble(1.0), 5000), wideEstimate})).IsNaN());
}
