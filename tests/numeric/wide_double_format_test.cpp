#include <gtest/gtest.h>

#include <boost/property_tree/ptree.hpp>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iomanip>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "numeric/WideDouble.h"

// Text and logarithm of WideDouble values. Inside the double range the text
// is exactly that of the double. Beyond it the references are printf's
// exact long double conversion (up to 10^4932) and, further out, an exact
// decimal expansion computed here with a small big-number routine.

namespace {

std::string Printf(const char* format, int precision, long double value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, format, precision, value);
  return buffer;
}

std::string PrintfDouble(int precision, double value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
  return buffer;
}

// A random 53-bit significand in [0.5, 1), as an exact double.
double RandomSignificand(std::mt19937_64& rng) {
  return std::ldexp(static_cast<double>((rng() >> 11) | (std::uint64_t{1} << 52)), -53);
}

// All decimal digits of integer * base^power (base 2 or 5), exactly.
std::string ExactDigits(std::uint64_t integer, int power, unsigned int base) {
  constexpr std::uint32_t kLimb = 1000000000;
  std::vector<std::uint32_t> limbs;  // base 10^9, least significant first
  for (; integer != 0; integer /= kLimb)
    limbs.push_back(static_cast<std::uint32_t>(integer % kLimb));
  const int chunk = base == 2 ? 29 : 12;  // base^chunk < 2^30
  while (power > 0) {
    const int step = power < chunk ? power : chunk;
    std::uint64_t factor = 1;
    for (int i = 0; i < step; ++i) factor *= base;
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : limbs) {
      const std::uint64_t value = limb * factor + carry;
      limb = static_cast<std::uint32_t>(value % kLimb);
      carry = value / kLimb;
    }
    for (; carry != 0; carry /= kLimb) limbs.push_back(static_cast<std::uint32_t>(carry % kLimb));
    power -= step;
  }
  std::string text = std::to_string(limbs.back());
  for (auto limb = limbs.rbegin() + 1; limb != limbs.rend(); ++limb) {
    const std::string part = std::to_string(*limb);
    text += std::string(9 - part.size(), '0') + part;
  }
  return text;
}

// %.<digits>g text of 0.d1d2d3... * 10^(decimalExponent + 1) given all its
// digits, for exponents far from zero (exponent form).
std::string GeneralStyle(const std::string& allDigits, std::int64_t decimalExponent, int digits) {
  std::string kept = allDigits.substr(0, digits);
  const std::string rest = allDigits.substr(digits);
  const bool above = !rest.empty() && rest[0] >= '5';  // no exact ties this far out
  if (above) {
    int position = digits - 1;
    while (position >= 0 && kept[position] == '9') kept[position--] = '0';
    if (position < 0) {
      kept = "1" + kept.substr(0, digits - 1);
      ++decimalExponent;
    } else {
      ++kept[position];
    }
  }
  std::string text(1, kept[0]);
  std::string fraction = kept.substr(1);
  fraction.erase(fraction.find_last_not_of('0') + 1);
  if (!fraction.empty()) text += "." + fraction;
  text += decimalExponent < 0 ? "e-" : "e+";
  text += std::to_string(decimalExponent < 0 ? -decimalExponent : decimalExponent);
  return text;
}

}  // namespace

TEST(WideDoubleFormat, InsideTheDoubleRangeTheTextIsTheDoubleText) {
  std::mt19937_64 rng(1);
  for (int i = 0; i < 20000; ++i) {
    std::uint64_t bits = rng();
    if (i % 3 == 0) bits &= 0x800FFFFFFFFFFFFFull;  // subnormals and zeros
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    const int precision = static_cast<int>(rng() % 20);
    ASSERT_EQ(WideDouble(value).ToString(precision), PrintfDouble(precision, value));
    std::ostringstream wide;
    std::ostringstream plain;
    wide << std::setprecision(precision) << WideDouble(value);
    plain << std::setprecision(precision) << value;
    ASSERT_EQ(wide.str(), plain.str());
  }
  EXPECT_EQ(WideDouble(0.1).ToString(), "0.10000000000000001");
  EXPECT_EQ(WideDouble(12.5).ToString(), "12.5");
  EXPECT_EQ(WideDouble(2.0).ToString(), "2");
  EXPECT_EQ(WideDouble(HUGE_VAL).ToString(), "inf");
  EXPECT_EQ(WideDouble(DBL_MAX).ToString(), "1.7976931348623157e+308");
}

TEST(WideDoubleFormat, BeyondTheDoubleRangeMatchesExactLongDoubleConversion) {
  std::mt19937_64 rng(2);
  for (int i = 0; i < 20000; ++i) {
    const double significand = RandomSignificand(rng) * ((rng() & 1) ? -1.0 : 1.0);
    const int exponent = (rng() & 1) ? 1025 + static_cast<int>(rng() % 15300)
                                     : -1100 - static_cast<int>(rng() % 15200);
    const WideDouble value = WideDouble::FromParts(significand, exponent);
    const long double exact = std::ldexp(static_cast<long double>(significand), exponent);
    ASSERT_EQ(value.ToString(), Printf("%.*Lg", 17, exact));
    ASSERT_EQ(value.ToString(6), Printf("%.*Lg", 6, exact));
    const int precision = static_cast<int>(rng() % 18);
    ASSERT_EQ(value.ToString(precision), Printf("%.*Lg", precision, exact));

    std::ostringstream console;
    console << value;  // the console's default: 6 significant digits
    ASSERT_EQ(console.str(), Printf("%.*Lg", 6, exact));
    std::ostringstream styled;
    styled << std::scientific << std::uppercase << std::showpos << std::setprecision(precision % 17)
           << value;
    ASSERT_EQ(styled.str(), Printf("%+.*LE", precision % 17, exact));
  }
}

TEST(WideDoubleFormat, FarBeyondLongDoubleMatchesExactDecimalExpansion) {
  std::mt19937_64 rng(3);
  for (int i = 0; i < 40; ++i) {
    const auto integer = (rng() >> 11) | (std::uint64_t{1} << 52);
    const int power = 16500 + static_cast<int>(rng() % 20000);
    // integer * 2^power, about 10^5000 to 10^11000.
    const WideDouble large = WideDouble::FromParts(static_cast<double>(integer), power);
    const std::string largeDigits = ExactDigits(integer, power, 2);
    const auto largeExponent = static_cast<std::int64_t>(largeDigits.size()) - 1;
    ASSERT_EQ(large.ToString(17), GeneralStyle(largeDigits, largeExponent, 17));
    ASSERT_EQ(large.ToString(6), GeneralStyle(largeDigits, largeExponent, 6));
    // integer * 2^-power = integer * 5^power / 10^power.
    const int tinyPower = 16500 + static_cast<int>(rng() % 4000);
    const WideDouble tiny = WideDouble::FromParts(static_cast<double>(integer), -tinyPower);
    const std::string tinyDigits = ExactDigits(integer, tinyPower, 5);
    const auto tinyExponent = static_cast<std::int64_t>(tinyDigits.size()) - 1 - tinyPower;
    ASSERT_EQ(tiny.ToString(17), GeneralStyle(tinyDigits, tinyExponent, 17));
  }
}

TEST(WideDoubleFormat, DecimalExponentsOfAnySizeAreWritten) {
  // 2^4000 = 1.31820409...e+1204: the trailing zero of 1.31820 is dropped.
  EXPECT_EQ(ldexp(WideDouble(1.0), 4000).ToString(6), "1.3182e+1204");
  EXPECT_EQ(ldexp(WideDouble(1.0), 4000).ToString(1), "1e+1204");
  // Rounding up across a power of ten carries into the exponent.
  const WideDouble almostTen = WideDouble::FromParts(0.99999999999999989, 1100);
  EXPECT_EQ(almostTen.ToString(3),
            Printf("%.*Lg", 3, std::ldexp(static_cast<long double>(0.99999999999999989), 1100)));
  // 2^(2^40) = 10^330985980541.906185882112072377570...: leading digits
  // 10^0.906185882112072377570... = 8.05723224506582382563..., from an
  // 80-digit evaluation of 2^40 * log10(2).
  const WideDouble enormous = ldexp(WideDouble(1.0), std::int64_t{1} << 40);
  EXPECT_EQ(enormous.ToString(17), "8.0572322450658238e+330985980541");
  EXPECT_EQ(enormous.ToString(6), "8.05723e+330985980541");
  EXPECT_NEAR(enormous.Log10(), 330985980541.90619, 1e-4);
  std::ostringstream padded;
  padded << std::setw(16) << std::setfill('*') << ldexp(WideDouble(1.0), 4000);
  EXPECT_EQ(padded.str(), "****1.3182e+1204");
}

TEST(WideDoubleFormat, Log10IsExactInRangeAndAccurateBeyond) {
  std::mt19937_64 rng(4);
  for (int i = 0; i < 20000; ++i) {
    const double significand = RandomSignificand(rng);
    const int exponent = static_cast<int>(rng() % 32000) - 16000;
    const WideDouble value = WideDouble::FromParts(significand, exponent);
    if (value.FitsDouble()) {
      ASSERT_EQ(value.Log10(), std::log10(value.ToDouble()));
    } else {
      const long double exact =
          std::log10(std::ldexp(static_cast<long double>(significand), exponent));
      ASSERT_NEAR(value.Log10(), static_cast<double>(exact), 1e-15 * std::fabs(exact));
    }
  }
  EXPECT_EQ(log10(WideDouble(0.0)), -HUGE_VAL);
  EXPECT_TRUE(std::isnan(log10(-ldexp(WideDouble(1.0), 5000))));
  EXPECT_EQ(log10(WideDouble(HUGE_VAL)), HUGE_VAL);
}

TEST(WideDoubleFormat, PropertyTreeWritesSeventeenDigitsLikeForDouble) {
  boost::property_tree::ptree report;
  report.add("SE.in_range", WideDouble(0.1));
  report.add("SE.in_range_double", 0.1);
  report.add("SE.integer", WideDouble(2.0));
  const WideDouble beyond = WideDouble::FromParts(0.62831853071795862, 2278);
  report.add("SE.beyond", beyond);
  report.add("SE.nan", WideDouble(0.0) / WideDouble(std::numeric_limits<double>::quiet_NaN()));

  EXPECT_EQ(report.get<std::string>("SE.in_range"), report.get<std::string>("SE.in_range_double"));
  EXPECT_EQ(report.get<std::string>("SE.in_range"), "0.10000000000000001");
  EXPECT_EQ(report.get<std::string>("SE.integer"), "2");
  EXPECT_EQ(report.get<std::string>("SE.beyond"),
            Printf("%.*Lg", 17, std::ldexp(static_cast<long double>(0.62831853071795862), 2278)));
  EXPECT_EQ(report.get<std::string>("SE.nan"), "nan");
}
