#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "numeric/WideDouble.h"

// Arithmetic of WideDouble against double itself: bit for bit wherever the
// double operation does not overflow, and, beyond the double range, against
// the scale invariance of correct rounding (x op y at scale 2^K is the
// double result x op y moved by 2^K, exactly).

namespace {

std::uint64_t Bits(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

// Keeps the compiler from folding constant operations: the reference must
// be computed at run time, like the value under test (0/0 and sqrt(-1)
// give a NaN whose sign bit differs between folding and the processor).
double Opaque(double value) {
  volatile double stored = value;
  return stored;
}

double FromBits(std::uint64_t bits) {
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Same significand bits (sign of zero and NaN payload included) and exponent.
::testing::AssertionResult Identical(const WideDouble& actual, const WideDouble& expected) {
  if (Bits(actual.Significand()) == Bits(expected.Significand()) &&
      actual.Exponent() == expected.Exponent()) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << std::hexfloat << actual.Significand() << "*2^" << actual.Exponent() << " vs "
         << expected.Significand() << "*2^" << expected.Exponent();
}

::testing::AssertionResult SameDouble(const WideDouble& actual, double expected) {
  if (!actual.FitsDouble()) {
    return ::testing::AssertionFailure()
           << "does not fit a double; expected " << std::hexfloat << expected;
  }
  if (Bits(actual.ToDouble()) != Bits(expected)) {
    return ::testing::AssertionFailure()
           << std::hexfloat << actual.ToDouble() << " vs " << expected;
  }
  return ::testing::AssertionSuccess();
}

// Any finite double, subnormals included, with a uniformly drawn exponent.
double AnyFinite(std::mt19937_64& rng) {
  const std::uint64_t exponent = rng() % 2047;
  return FromBits((rng() & 0x800FFFFFFFFFFFFFull) | (exponent << 52));
}

// A double with a random significand and the binary exponent `exponent`.
double WithExponent(std::mt19937_64& rng, int exponent) {
  return std::ldexp(1.0 + std::ldexp(static_cast<double>(rng() >> 11), -53), exponent) *
         ((rng() & 1) ? -1.0 : 1.0);
}

// Operand pairs in the shapes that matter: unrelated magnitudes, close
// magnitudes of either sign (cancellation, exponent gaps around 54),
// neighbours, counts and ratios of counts, and special values.
std::pair<double, double> OperandPair(std::mt19937_64& rng) {
  static const double specials[] = {0.0,
                                    -0.0,
                                    HUGE_VAL,
                                    -HUGE_VAL,
                                    std::numeric_limits<double>::quiet_NaN(),
                                    -std::numeric_limits<double>::quiet_NaN(),
                                    DBL_MAX,
                                    -DBL_MAX,
                                    DBL_MIN,
                                    std::numeric_limits<double>::denorm_min(),
                                    1.0,
                                    -1.0};
  switch (rng() % 6) {
    case 0:
      return {AnyFinite(rng), AnyFinite(rng)};
    case 1: {
      const int exponent = static_cast<int>(rng() % 2100) - 1050;
      const int gap = static_cast<int>(rng() % 141) - 70;
      const double x = (rng() % 4 == 0) ? std::ldexp((rng() & 1) ? -1.0 : 1.0, exponent)
                                        : WithExponent(rng, exponent);
      return {x, WithExponent(rng, exponent + gap)};
    }
    case 2: {
      const int exponent = static_cast<int>(rng() % 2000) - 1000;
      const double x = WithExponent(rng, exponent);
      double y = x;
      for (int steps = static_cast<int>(rng() % 4); steps >= 0; --steps) {
        y = std::nextafter(y, (rng() & 1) ? HUGE_VAL : -HUGE_VAL);
      }
      return {x, (rng() & 1) ? y : -y};
    }
    case 3: {
      const double successors = static_cast<double>(rng() % 200);
      const double kept = static_cast<double>(1 + rng() % 8);
      return {successors / kept, std::ldexp(WithExponent(rng, 0), static_cast<int>(rng() % 1000))};
    }
    case 4: {
      const double x = specials[rng() % (sizeof specials / sizeof specials[0])];
      return (rng() & 1) ? std::make_pair(x, AnyFinite(rng)) : std::make_pair(AnyFinite(rng), x);
    }
    default:
      return {specials[rng() % (sizeof specials / sizeof specials[0])],
              specials[rng() % (sizeof specials / sizeof specials[0])]};
  }
}

// When the double operation overflows, the wide result must be the double
// result of the same operation at a scale where it does not: the operands
// are moved into [1, 2) (exactly) and the exponents are added back.
WideDouble ScaledProduct(double x, double y) {
  const int ex = std::ilogb(x);
  const int ey = std::ilogb(y);
  return ldexp(WideDouble(std::ldexp(x, -ex) * std::ldexp(y, -ey)), std::int64_t{ex} + ey);
}

WideDouble ScaledQuotient(double x, double y) {
  const int ex = std::ilogb(x);
  const int ey = std::ilogb(y);
  return ldexp(WideDouble(std::ldexp(x, -ex) / std::ldexp(y, -ey)), std::int64_t{ex} - ey);
}

}  // namespace

TEST(WideDoubleArithmetic, MatchesDoubleBitForBitOnRandomOperands) {
  std::mt19937_64 rng(20261207);
  int overflows = 0;
  for (int i = 0; i < 300000; ++i) {
    const auto [x, y] = OperandPair(rng);
    const WideDouble a(x);
    const WideDouble b(y);
    ASSERT_TRUE(SameDouble(a, x));

    const double sum = x + y;
    const double difference = x - y;
    const double product = x * y;
    const double quotient = x / y;
    const bool finite = std::isfinite(x) && std::isfinite(y);

    if (finite && std::isinf(sum)) {
      ++overflows;
      ASSERT_TRUE(Identical(a + b, ldexp(WideDouble(x / 2 + y / 2), 1))) << x << " + " << y;
    } else {
      ASSERT_TRUE(SameDouble(a + b, sum)) << std::hexfloat << x << " + " << y;
    }
    if (finite && std::isinf(difference)) {
      ASSERT_TRUE(Identical(a - b, ldexp(WideDouble(x / 2 - y / 2), 1))) << x << " - " << y;
    } else {
      ASSERT_TRUE(SameDouble(a - b, difference)) << std::hexfloat << x << " - " << y;
    }
    if (finite && std::isinf(product)) {
      ++overflows;
      ASSERT_TRUE(Identical(a * b, ScaledProduct(x, y))) << x << " * " << y;
    } else {
      ASSERT_TRUE(SameDouble(a * b, product)) << std::hexfloat << x << " * " << y;
    }
    if (finite && y != 0.0 && std::isinf(quotient)) {
      ++overflows;
      ASSERT_TRUE(Identical(a / b, ScaledQuotient(x, y))) << x << " / " << y;
    } else {
      ASSERT_TRUE(SameDouble(a / b, quotient)) << std::hexfloat << x << " / " << y;
    }
    ASSERT_TRUE(SameDouble(sqrt(a), std::sqrt(x))) << std::hexfloat << x;
    ASSERT_TRUE(SameDouble(-a, -x));
  }
  EXPECT_GT(overflows, 1000);  // the overflow path was exercised
}

TEST(WideDoubleArithmetic, OppositeSignsWithExponentGapOf54RoundLikeDouble) {
  // x - y with y about 2^-54 x: the case where a naive 53-bit emulation is
  // one ulp off about half of the time.
  std::mt19937_64 rng(54);
  for (int i = 0; i < 200000; ++i) {
    const int exponent = static_cast<int>(rng() % 1900) - 950;
    const int gap = 52 + static_cast<int>(rng() % 5);
    // Half of the minuends are powers of two, whose lower neighbour is only
    // half an ulp away: there the gap of 54 decides the rounding.
    const double x =
        (i % 2 == 0) ? std::ldexp(1.0, exponent) : std::fabs(WithExponent(rng, exponent));
    const double y = std::fabs(WithExponent(rng, exponent - gap));
    ASSERT_TRUE(SameDouble(WideDouble(x) - WideDouble(y), x - y)) << std::hexfloat << x << " " << y;
    ASSERT_TRUE(SameDouble(WideDouble(-y) + WideDouble(x), -y + x));
    // The same at a scale far beyond the double range.
    const std::int64_t scale = 100000 + static_cast<std::int64_t>(rng() % 100000);
    ASSERT_TRUE(Identical(ldexp(WideDouble(x), scale) - ldexp(WideDouble(y), scale),
                          ldexp(WideDouble(x - y), scale)));
  }
}

TEST(WideDoubleArithmetic, BeyondTheDoubleRangeRoundsLikeDoubleAtAnyScale) {
  std::mt19937_64 rng(7);
  const std::int64_t scales[] = {2100, 4000, 33220, 1000000, std::int64_t{1} << 40};
  for (int i = 0; i < 100000; ++i) {
    // Operands whose double results are normal numbers.
    const int exponent = static_cast<int>(rng() % 800) - 400;
    const int gap = static_cast<int>(rng() % 200) - 100;
    const double x = WithExponent(rng, exponent);
    const double y = WithExponent(rng, exponent + gap);
    const std::int64_t k = scales[rng() % 5] * ((rng() & 1) ? 1 : -1);
    const std::int64_t l = scales[rng() % 5] * ((rng() & 1) ? 1 : -1);
    const WideDouble a = ldexp(WideDouble(x), k);
    const WideDouble b = ldexp(WideDouble(y), k);
    ASSERT_FALSE(a.FitsDouble());
    ASSERT_TRUE(Identical(a + b, ldexp(WideDouble(x + y), k)));
    ASSERT_TRUE(Identical(a - b, ldexp(WideDouble(x - y), k)));
    ASSERT_TRUE(Identical(a * ldexp(WideDouble(y), l), ldexp(WideDouble(x * y), k + l)));
    ASSERT_TRUE(Identical(a / ldexp(WideDouble(y), l), ldexp(WideDouble(x / y), k - l)));
    // Back into the double range: the double result itself.
    ASSERT_TRUE(SameDouble(a * ldexp(WideDouble(y), -k), x * y));
    ASSERT_TRUE(SameDouble(a / ldexp(WideDouble(y), k), x / y));
    const double positive = std::fabs(x);
    ASSERT_TRUE(Identical(sqrt(ldexp(WideDouble(positive), 2 * k)),
                          ldexp(WideDouble(std::sqrt(positive)), k)));
    ASSERT_TRUE(Identical(sqrt(ldexp(WideDouble(positive), 2 * k + 1)),
                          ldexp(WideDouble(std::sqrt(2 * positive)), k)));
  }
}

TEST(WideDoubleArithmetic, FarApartOperandsAddLikeDouble) {
  // Exponent gaps from a few hundred to beyond 1100: the smaller operand
  // vanishes in the sum exactly when it does in double.
  std::mt19937_64 rng(11);
  for (int i = 0; i < 50000; ++i) {
    const int high = 300 + static_cast<int>(rng() % 700);
    const int low = -(static_cast<int>(rng() % 1000));
    const double x = WithExponent(rng, high);
    const double y = WithExponent(rng, low);
    const std::int64_t k = 5000 + static_cast<std::int64_t>(rng() % 5000);
    ASSERT_TRUE(
        Identical(ldexp(WideDouble(x), k) + ldexp(WideDouble(y), k), ldexp(WideDouble(x + y), k)));
    ASSERT_TRUE(
        Identical(ldexp(WideDouble(y), k) - ldexp(WideDouble(x), k), ldexp(WideDouble(y - x), k)));
  }
}

TEST(WideDoubleArithmetic, SpecialValuesMixWithOutOfRangeValuesLikeWithDoubles) {
  const WideDouble huge = ldexp(WideDouble(0.75), 5000);
  const WideDouble zero(0.0);
  const WideDouble inf(HUGE_VAL);
  const WideDouble nan(std::numeric_limits<double>::quiet_NaN());

  EXPECT_TRUE(Identical(huge + zero, huge));
  EXPECT_TRUE(Identical(zero - huge, -huge));
  EXPECT_TRUE(Identical(huge - huge, WideDouble(0.0)));  // +0, as x - x in double
  EXPECT_TRUE(SameDouble(huge * zero, 0.0));
  EXPECT_TRUE(SameDouble(-huge * zero, -0.0));
  EXPECT_TRUE(SameDouble(huge / zero, HUGE_VAL));
  EXPECT_TRUE(SameDouble(-huge / zero, -HUGE_VAL));
  EXPECT_TRUE(SameDouble(zero / huge, 0.0));
  EXPECT_TRUE(SameDouble(huge + inf, HUGE_VAL));
  EXPECT_TRUE(SameDouble(huge - inf, -HUGE_VAL));
  EXPECT_TRUE(SameDouble(inf * -huge, -HUGE_VAL));
  EXPECT_TRUE(SameDouble(huge / inf, 0.0));
  EXPECT_TRUE((huge + nan).IsNaN());
  EXPECT_TRUE((nan * huge).IsNaN());
  EXPECT_TRUE((huge / nan).IsNaN());
  EXPECT_TRUE(sqrt(-huge).IsNaN());
  EXPECT_TRUE(SameDouble(sqrt(-huge), std::sqrt(Opaque(-0.75))));  // the same NaN as in double
}

TEST(WideDoubleArithmetic, ConversionsAtTheEdgesOfTheDoubleRange) {
  EXPECT_TRUE(WideDouble(DBL_MAX).FitsDouble());
  const WideDouble twiceMax = WideDouble(DBL_MAX) * 2.0;
  EXPECT_FALSE(twiceMax.FitsDouble());
  EXPECT_EQ(twiceMax.ToDouble(), HUGE_VAL);
  EXPECT_EQ((-twiceMax).ToDouble(), -HUGE_VAL);
  EXPECT_TRUE(SameDouble(twiceMax / 2.0, DBL_MAX));

  const double tiny = std::numeric_limits<double>::denorm_min();
  EXPECT_TRUE(SameDouble(WideDouble::FromParts(0.5, -1073), tiny));
  // 1.5 * 2^-1074 is no double: it rounds to even, 2^-1073.
  const WideDouble between = WideDouble::FromParts(0.75, -1073);
  EXPECT_FALSE(between.FitsDouble());
  EXPECT_EQ(between.ToDouble(), 2 * tiny);
  // Underflow of double operands stays double underflow.
  EXPECT_TRUE(SameDouble(WideDouble(tiny) * 0.5, 0.0));
  EXPECT_TRUE(SameDouble(WideDouble(DBL_MIN) / 3.0, DBL_MIN / 3.0));
  // From beyond the range, tiny results keep full precision.
  const WideDouble fromWide = ldexp(WideDouble(3.0), -3000) * ldexp(WideDouble(1.0), 1900);
  EXPECT_TRUE(Identical(fromWide, WideDouble::FromParts(0.75, -1098)));
  EXPECT_EQ(ldexp(WideDouble(1.0), -1200).ToDouble(), 0.0);
}

TEST(WideDoubleArithmetic, ExponentsSaturateInsteadOfWrappingAround) {
  const std::int64_t near = WideDouble::kMaxExponent - 10;
  const WideDouble big = WideDouble::FromParts(0.75, near);
  EXPECT_TRUE((big * big).IsInf());
  EXPECT_GT((big * big).Significand(), 0.0);
  EXPECT_TRUE(SameDouble(WideDouble(1.0) / (big * big), 0.0));
  EXPECT_TRUE(SameDouble(-WideDouble::FromParts(0.75, -near) / big, -0.0));
  EXPECT_TRUE(ldexp(WideDouble(1.0), std::numeric_limits<std::int64_t>::max()).IsInf());
  EXPECT_TRUE(SameDouble(ldexp(WideDouble(1.0), std::numeric_limits<std::int64_t>::min()), 0.0));
  EXPECT_TRUE(Identical(big / big, WideDouble(1.0)));

  const WideDouble largest = std::numeric_limits<WideDouble>::max();
  const WideDouble smallest = std::numeric_limits<WideDouble>::min();
  EXPECT_TRUE(largest.IsFinite());
  EXPECT_TRUE((largest * 2.0).IsInf());
  EXPECT_TRUE(SameDouble(smallest / 2.0, 0.0));
  EXPECT_LT(largest, WideDouble(HUGE_VAL));
  EXPECT_LT(std::numeric_limits<WideDouble>::lowest(), -big);
  // Neighbours at the bottom of the range stay ordered although their
  // difference is below it.
  const WideDouble above = WideDouble::FromParts(0.5 + DBL_EPSILON / 2, -WideDouble::kMaxExponent);
  EXPECT_LT(smallest, above);
  EXPECT_GT(-smallest, -above);
  EXPECT_NE(smallest, above);
}

TEST(WideDoubleArithmetic, ComparisonsOrderValuesAcrossTheDoubleRange) {
  std::mt19937_64 rng(3);
  for (int i = 0; i < 50000; ++i) {
    const auto [x, y] = OperandPair(rng);
    const WideDouble a(x);
    const WideDouble b(y);
    ASSERT_EQ(a < b, x < y);
    ASSERT_EQ(a == b, x == y);
    ASSERT_EQ(a >= b, x >= y);
    ASSERT_EQ(a != b, x != y);
    if (!std::isfinite(x) || !std::isfinite(y)) continue;
    // Scaling both by the same power of two keeps their order.
    const std::int64_t k = 2000 + static_cast<std::int64_t>(rng() % 100000);
    const WideDouble as = ldexp(a, k);
    const WideDouble bs = ldexp(b, k);
    ASSERT_EQ(as < bs, x < y) << x << " " << y;
    ASSERT_EQ(as == bs, x == y);
    ASSERT_EQ(as > bs, x > y);
    ASSERT_EQ(as <= bs, x <= y);
  }
  const WideDouble beyond = WideDouble(DBL_MAX) * 2.0;
  EXPECT_LT(WideDouble(DBL_MAX), beyond);
  EXPECT_LT(beyond, WideDouble(HUGE_VAL));
  EXPECT_GT(-beyond, WideDouble(-HUGE_VAL));
  EXPECT_FALSE(beyond == WideDouble(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(beyond < WideDouble(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_TRUE(WideDouble(0.0) == WideDouble(-0.0));
}
