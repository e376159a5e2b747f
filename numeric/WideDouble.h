#pragma once

// A double with an unbounded binary exponent, for the estimator's counts.
//
// The estimates multiply thousands of successor/kept ratios; on real
// timetables they reach 10^500 to 10^10000 and beyond, where double
// overflows to inf. A WideDouble holds a double significand and a 64-bit
// binary exponent, so its values are exactly the values of a floating-point
// type with double's 53-bit precision and (practically) no exponent limit.
//
// Representation: value = significand * 2^exponent, where a finite nonzero
// value has |significand| in [0.5, 1) (the form std::frexp gives), and zero,
// infinities and NaN keep their double bits in the significand with
// exponent 0. Every value therefore has exactly one representation.
//
// Arithmetic contract:
//  - If both operands hold double values (see FitsDouble) and the double
//    operation does not overflow, the result is bit for bit the double
//    result: the operation is done in double. This includes underflow to
//    subnormals or zero, signed zeros, the NaN that 0/0 or sqrt(-1) yields,
//    NaN propagation (x86 keeps the first NaN operand) and infinities.
//  - Otherwise the operation is done on the significands brought to a common
//    scale, where it is exact except for a single round-to-nearest-even,
//    followed by exact power-of-two rescaling: the result is the correctly
//    rounded result of a 53-bit type without exponent limits. As both paths
//    round the exact result once to 53 bits, they agree wherever both apply.
//  - Exponents beyond +-2^60 saturate to infinity or zero (such values,
//    about 10^(3.5e17), are out of any practical reach).
//
// Cost: in-range operations are one double operation plus frexp/ldexp; the
// other path adds a few integer operations. Decimal output of values beyond
// the double range costs a few dozen 128-bit multiplications.

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <string>
#include <vector>

class WideDouble {
 public:
  static constexpr std::int64_t kMaxExponent = std::int64_t{1} << 60;

  WideDouble() = default;
  // Implicit on purpose: doubles mix with WideDouble like with double.
  WideDouble(double value);  // NOLINT(google-explicit-constructor)

  // The value significand * 2^exponent, exactly (saturating as above).
  static WideDouble FromParts(double significand, std::int64_t exponent);

  double Significand() const { return significand_; }
  std::int64_t Exponent() const { return exponent_; }

  // True when the value is exactly a double: zero, infinite, NaN, or a
  // finite value that is a normal or subnormal double.
  bool FitsDouble() const;
  // The nearest double (ties to even); +-inf above the double range,
  // subnormal or +-0 below it.
  double ToDouble() const;

  bool IsNaN() const;
  bool IsInf() const;
  bool IsFinite() const;

  // Decimal logarithm; exactly std::log10 for values that fit a double.
  double Log10() const;

  // The value in the style of printf's %.<precision>g: exactly that text for
  // values that fit a double; beyond the double range the same style
  // ("2.1848079626512345e+685"), with at most 17 significant digits.
  std::string ToString(int precision = 17) const;

  WideDouble operator-() const;
  WideDouble& operator+=(const WideDouble& other);
  WideDouble& operator-=(const WideDouble& other);
  WideDouble& operator*=(const WideDouble& other);
  WideDouble& operator/=(const WideDouble& other);

 private:
  WideDouble(double significand, std::int64_t exponent)
      : significand_(significand), exponent_(exponent) {}

  double significand_ = 0.0;
  std::int64_t exponent_ = 0;

  friend WideDouble ldexp(const WideDouble& value, std::int64_t exponent);
  friend class WideDoubleKernel;
};

WideDouble operator+(const WideDouble& a, const WideDouble& b);
WideDouble operator-(const WideDouble& a, const WideDouble& b);
WideDouble operator*(const WideDouble& a, const WideDouble& b);
WideDouble operator/(const WideDouble& a, const WideDouble& b);

// IEEE comparisons: NaN compares unequal to everything, -0 == +0.
bool operator==(const WideDouble& a, const WideDouble& b);
bool operator!=(const WideDouble& a, const WideDouble& b);
bool operator<(const WideDouble& a, const WideDouble& b);
bool operator>(const WideDouble& a, const WideDouble& b);
bool operator<=(const WideDouble& a, const WideDouble& b);
bool operator>=(const WideDouble& a, const WideDouble& b);

// Square root, correctly rounded; std::sqrt for values that fit a double.
WideDouble sqrt(const WideDouble& value);
// value * 2^exponent, exact (saturating like FromParts).
WideDouble ldexp(const WideDouble& value, std::int64_t exponent);
double log10(const WideDouble& value);

// Each value's nearest double (see ToDouble).
std::vector<double> ToDoubles(const std::vector<WideDouble>& values);

// Writes like a double does: values that fit a double go through the
// stream's double output (all flags honoured); other values are written in
// the style of the stream's precision ("2.18481e+685" at the default 6),
// scientific when std::scientific is set and %g style otherwise, honouring
// width, fill, uppercase and showpos.
std::ostream& operator<<(std::ostream& out, const WideDouble& value);

// Lets the default property-tree translator write a WideDouble like a
// double: it sets the precision to max_digits10 (17) for inexact types.
namespace std {
template <>
class numeric_limits<WideDouble> {
 public:
  static constexpr bool is_specialized = true;
  static constexpr bool is_signed = true;
  static constexpr bool is_integer = false;
  static constexpr bool is_exact = false;
  static constexpr bool has_infinity = true;
  static constexpr bool has_quiet_NaN = true;
  static constexpr bool has_signaling_NaN = false;
  static constexpr bool is_iec559 = false;
  static constexpr bool is_bounded = true;
  static constexpr bool is_modulo = false;
  static constexpr int radix = 2;
  static constexpr int digits = numeric_limits<double>::digits;
  static constexpr int digits10 = numeric_limits<double>::digits10;
  static constexpr int max_digits10 = numeric_limits<double>::max_digits10;
  static constexpr float_round_style round_style = round_to_nearest;
  // Largest and smallest positive finite values: those at the saturation
  // limits of the exponent.
  static WideDouble max() {
    return WideDouble::FromParts(1.0 - numeric_limits<double>::epsilon() / 2,
                                 WideDouble::kMaxExponent);
  }
  static WideDouble min() { return WideDouble::FromParts(0.5, -WideDouble::kMaxExponent); }
  static WideDouble lowest() { return -max(); }
  static WideDouble infinity() { return WideDouble(numeric_limits<double>::infinity()); }
  static WideDouble quiet_NaN() { return WideDouble(numeric_limits<double>::quiet_NaN()); }
  static WideDouble epsilon() { return WideDouble(numeric_limits<double>::epsilon()); }
};
}  // namespace std
