#include "numeric/WideDouble.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <utility>

// Access to the representation for the operations below.
class WideDoubleKernel {
 public:
  // Zero, infinities and NaN: the double itself is the whole value.
  static bool IsSpecial(const WideDouble& value) {
    return value.significand_ == 0.0 || !std::isfinite(value.significand_);
  }

  static double Significand(const WideDouble& value) { return value.significand_; }
  static std::int64_t Exponent(const WideDouble& value) { return value.exponent_; }

  static WideDouble Special(double value) { return WideDouble(value, 0); }

  // significand * 2^exponent for a double significand that is the exact
  // result of an operation on normalized significands (so |significand| is
  // well inside the double range); exact.
  static WideDouble Normalize(double significand, std::int64_t exponent) {
    if (significand == 0.0 || !std::isfinite(significand)) return Special(significand);
    int shift = 0;
    const double fraction = std::frexp(significand, &shift);
    constexpr std::int64_t limit = WideDouble::kMaxExponent;
    exponent = std::clamp(exponent, -4 * limit, 4 * limit) + shift;
    if (exponent > limit) return Special(std::copysign(HUGE_VAL, fraction));
    if (exponent < -limit) return Special(std::copysign(0.0, fraction));
    return WideDouble(fraction, exponent);
  }

  // The double value, when the value is exactly a double.
  static bool TryDouble(const WideDouble& value, double& out) {
    if (!value.FitsDouble()) return false;
    out = value.ToDouble();
    return true;
  }

  // A double that behaves like the value wherever only its sign and class
  // matter: in operations with a zero, an infinity or a NaN.
  static double Proxy(const WideDouble& value) {
    return IsSpecial(value) ? value.significand_ : std::copysign(1.0, value.significand_);
  }

  // Sum of two finite nonzero values: the smaller significand is brought to
  // the scale of the larger one exactly (it stays a normal double for shifts
  // up to 1000), so the double addition is the only rounding. Beyond that
  // shift the smaller term is far below half an ulp of the larger one and
  // the correctly rounded sum is the larger term itself.
  static WideDouble AddFinite(WideDouble a, WideDouble b) {
    if (a.exponent_ < b.exponent_) std::swap(a, b);
    const std::int64_t shift = a.exponent_ - b.exponent_;
    if (shift > 1000) return a;
    const double aligned = std::ldexp(b.significand_, -static_cast<int>(shift));
    return Normalize(a.significand_ + aligned, a.exponent_);
  }

  // Sum where at least one operand does not fit a double.
  static WideDouble AddWide(const WideDouble& a, const WideDouble& b) {
    if (a.significand_ == 0.0) return b;
    if (b.significand_ == 0.0) return a;
    if (IsSpecial(a) || IsSpecial(b)) return Special(Proxy(a) + Proxy(b));
    return AddFinite(a, b);
  }

  static WideDouble SubtractWide(const WideDouble& a, const WideDouble& b) {
    if (IsSpecial(a) || IsSpecial(b)) {
      if (b.significand_ == 0.0) return a;
      if (a.significand_ == 0.0) return -b;
      return Special(Proxy(a) - Proxy(b));
    }
    return AddFinite(a, -b);
  }

  static WideDouble MultiplyWide(const WideDouble& a, const WideDouble& b) {
    if (IsSpecial(a) || IsSpecial(b)) return Special(Proxy(a) * Proxy(b));
    return Normalize(a.significand_ * b.significand_, a.exponent_ + b.exponent_);
  }

  static WideDouble DivideWide(const WideDouble& a, const WideDouble& b) {
    if (IsSpecial(a) || IsSpecial(b)) return Special(Proxy(a) / Proxy(b));
    return Normalize(a.significand_ / b.significand_, a.exponent_ - b.exponent_);
  }

  // Square root of a finite nonzero value that does not fit a double. An
  // odd exponent moves one factor 2 into the significand (exactly), so the
  // double square root is the only rounding.
  static WideDouble SqrtWide(const WideDouble& value) {
    if (value.significand_ < 0.0) return Special(std::sqrt(value.significand_));
    if (value.exponent_ % 2 == 0) {
      return Normalize(std::sqrt(value.significand_), value.exponent_ / 2);
    }
    return Normalize(std::sqrt(2.0 * value.significand_), (value.exponent_ - 1) / 2);
  }
};

namespace {

using Kernel = WideDoubleKernel;

// The double operation overflowed: finite operands, infinite result.
bool Overflowed(double x, double y, double result) {
  return std::isinf(result) && std::isfinite(x) && std::isfinite(y);
}

}  // namespace

WideDouble::WideDouble(double value) { *this = Kernel::Normalize(value, 0); }

WideDouble WideDouble::FromParts(double significand, std::int64_t exponent) {
  return Kernel::Normalize(significand, exponent);
}

bool WideDouble::FitsDouble() const {
  if (Kernel::IsSpecial(*this)) return true;
  if (exponent_ >= -1021 && exponent_ <= 1024) return true;
  if (exponent_ > 1024 || exponent_ < -1073) return false;
  // Subnormal range: exact only if no significant bit is lost.
  const int exponent = static_cast<int>(exponent_);
  return std::ldexp(std::ldexp(significand_, exponent), -exponent) == significand_;
}

double WideDouble::ToDouble() const {
  if (Kernel::IsSpecial(*this)) return significand_;
  if (exponent_ > 1024) return std::copysign(HUGE_VAL, significand_);
  if (exponent_ < -1100) return std::copysign(0.0, significand_);
  return std::ldexp(significand_, static_cast<int>(exponent_));
}

bool WideDouble::IsNaN() const { return std::isnan(significand_); }
bool WideDouble::IsInf() const { return std::isinf(significand_); }
bool WideDouble::IsFinite() const { return std::isfinite(significand_); }

double WideDouble::Log10() const {
  double value = 0.0;
  if (Kernel::TryDouble(*this, value)) return std::log10(value);
  if (significand_ < 0.0) return std::log10(significand_);
  constexpr long double kLog10Of2 = 0.301029995663981195213738894724493026768L;
  const long double result = std::log10(static_cast<long double>(significand_)) +
                             static_cast<long double>(exponent_) * kLog10Of2;
  return static_cast<double>(result);
}

WideDouble WideDouble::operator-() const { return WideDouble(-significand_, exponent_); }

WideDouble& WideDouble::operator+=(const WideDouble& other) { return *this = *this + other; }
WideDouble& WideDouble::operator-=(const WideDouble& other) { return *this = *this - other; }
WideDouble& WideDouble::operator*=(const WideDouble& other) { return *this = *this * other; }
WideDouble& WideDouble::operator/=(const WideDouble& other) { return *this = *this / other; }

WideDouble operator+(const WideDouble& a, const WideDouble& b) {
  double x = 0.0;
  double y = 0.0;
  if (Kernel::TryDouble(a, x) && Kernel::TryDouble(b, y)) {
    const double result = x + y;
    if (!Overflowed(x, y, result)) return WideDouble(result);
  }
  return Kernel::AddWide(a, b);
}

WideDouble operator-(const WideDouble& a, const WideDouble& b) {
  double x = 0.0;
  double y = 0.0;
  if (Kernel::TryDouble(a, x) && Kernel::TryDouble(b, y)) {
    const double result = x - y;
    if (!Overflowed(x, y, result)) return WideDouble(result);
  }
  return Kernel::SubtractWide(a, b);
}

WideDouble operator*(const WideDouble& a, const WideDouble& b) {
  double x = 0.0;
  double y = 0.0;
  if (Kernel::TryDouble(a, x) && Kernel::TryDouble(b, y)) {
    const double result = x * y;
    if (!Overflowed(x, y, result)) return WideDouble(result);
  }
  return Kernel::MultiplyWide(a, b);
}

WideDouble operator/(const WideDouble& a, const WideDouble& b) {
  double x = 0.0;
  double y = 0.0;
  if (Kernel::TryDouble(a, x) && Kernel::TryDouble(b, y)) {
    const double result = x / y;
    // x / 0 is infinite by definition, not by overflow.
    if (y == 0.0 || !Overflowed(x, y, result)) return WideDouble(result);
  }
  return Kernel::DivideWide(a, b);
}

WideDouble sqrt(const WideDouble& value) {
  double x = 0.0;
  if (Kernel::TryDouble(value, x)) return WideDouble(std::sqrt(x));
  return Kernel::SqrtWide(value);
}

WideDouble ldexp(const WideDouble& value, std::int64_t exponent) {
  if (Kernel::IsSpecial(value)) return value;
  constexpr std::int64_t limit = WideDouble::kMaxExponent;
  return Kernel::Normalize(value.significand_,
                           value.exponent_ + std::clamp(exponent, -4 * limit, 4 * limit));
}

double log10(const WideDouble& value) { return value.Log10(); }

std::vector<double> ToDoubles(const std::vector<WideDouble>& values) {
  std::vector<double> doubles;
  doubles.reserve(values.size());
  for (const WideDouble& value : values) doubles.push_back(value.ToDouble());
  return doubles;
}

namespace {

// Sign of a - b: -1, 0 or 1; 2 when unordered (a NaN is involved).
int Compare(const WideDouble& a, const WideDouble& b) {
  double x = 0.0;
  double y = 0.0;
  if (Kernel::TryDouble(a, x) && Kernel::TryDouble(b, y)) {
    if (std::isnan(x) || std::isnan(y)) return 2;
    return (x > y) - (x < y);
  }
  if (a.IsNaN() || b.IsNaN()) return 2;
  // Zeros and infinities compare through a finite stand-in of their sign.
  const double signA = Kernel::Proxy(a);
  const double signB = Kernel::Proxy(b);
  if (Kernel::IsSpecial(a) || Kernel::IsSpecial(b) || (signA > 0) != (signB > 0)) {
    return (signA > signB) - (signA < signB);
  }
  // Both finite, nonzero, of one sign: normalized, so the exponent decides
  // first and the significand then.
  const int magnitude = a.Exponent() != b.Exponent()
                            ? (a.Exponent() > b.Exponent()) - (a.Exponent() < b.Exponent())
                            : (std::fabs(a.Significand()) > std::fabs(b.Significand())) -
                                  (std::fabs(a.Significand()) < std::fabs(b.Significand()));
  return signA > 0 ? magnitude : -magnitude;
}

}  // namespace

bool operator==(const WideDouble& a, const WideDouble& b) { return Compare(a, b) == 0; }
bool operator!=(const WideDouble& a, const WideDouble& b) { return Compare(a, b) != 0; }
bool operator<(const WideDouble& a, const WideDouble& b) { return Compare(a, b) == -1; }
bool operator>(const WideDouble& a, const WideDouble& b) { return Compare(a, b) == 1; }
bool operator<=(const WideDouble& a, const WideDouble& b) {
  const int order = Compare(a, b);
  return order == -1 || order == 0;
}
bool operator>=(const WideDouble& a, const WideDouble& b) {
  const int order = Compare(a, b);
  return order == 1 || order == 0;
}

// ---------------------------------------------------------------------------
// Decimal output beyond the double range.
//
// The value m * 2^e is multiplied by a power of ten in a 128-bit binary
// floating-point format, which leaves the leading decimal digits as the
// integer part. Each 128-bit multiplication truncates once, so the scaled
// value is within about 2^-119 (relative) of the exact one even for decimal
// exponents near 10^18; with at most 17 digits (57 bits) the rounding
// decision is exact unless the value lies within that distance of a
// halfway point. Exact halfway cases cannot occur this far out: a 53-bit
// significand times 2^e has no 18-digit decimal tie when |e| > 1021.

namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr Uint128 kTopBit = Uint128{1} << 127;

// mantissa * 2^exponent with the top bit of the mantissa set.
struct Wide128 {
  Uint128 mantissa;
  std::int64_t exponent;
};

Wide128 Multiply(const Wide128& a, const Wide128& b) {
  const std::uint64_t a1 = static_cast<std::uint64_t>(a.mantissa >> 64);
  const std::uint64_t a0 = static_cast<std::uint64_t>(a.mantissa);
  const std::uint64_t b1 = static_cast<std::uint64_t>(b.mantissa >> 64);
  const std::uint64_t b0 = static_cast<std::uint64_t>(b.mantissa);
  const Uint128 p00 = Uint128{a0} * b0;
  const Uint128 p01 = Uint128{a0} * b1;
  const Uint128 p10 = Uint128{a1} * b0;
  const Uint128 p11 = Uint128{a1} * b1;
  const Uint128 middle =
      (p00 >> 64) + static_cast<std::uint64_t>(p01) + static_cast<std::uint64_t>(p10);
  Uint128 high = p11 + (p01 >> 64) + (p10 >> 64) + (middle >> 64);
  const std::uint64_t low = static_cast<std::uint64_t>(middle);
  std::int64_t exponent = a.exponent + b.exponent + 128;
  if ((high & kTopBit) == 0) {
    high = (high << 1) | (low >> 63);
    exponent -= 1;
  }
  return {high, exponent};
}

// 1 / a, truncated: floor(2^255 / mantissa) by long division.
Wide128 Reciprocal(const Wide128& a) {
  if (a.mantissa == kTopBit) return {kTopBit, -a.exponent - 254};
  Uint128 remainder = 0;
  Uint128 quotient = 0;
  for (int bit = 255; bit >= 0; --bit) {
    const bool carry = (remainder & kTopBit) != 0;
    remainder = (remainder << 1) | (bit == 255 ? 1 : 0);
    quotient <<= 1;
    if (carry || remainder >= a.mantissa) {
      remainder -= a.mantissa;
      quotient |= 1;
    }
  }
  return {quotient, -a.exponent - 255};
}

Wide128 PowerOfTen(std::int64_t power) {
  Wide128 result{kTopBit, -127};
  Wide128 base{Uint128{10} << 124, -124};
  for (std::int64_t rest = power < 0 ? -power : power; rest != 0; rest >>= 1) {
    if (rest & 1) result = Multiply(result, base);
    if (rest > 1) base = Multiply(base, base);
  }
  return power < 0 ? Reciprocal(result) : result;
}

std::uint64_t PowerOfTenInteger(int power) {
  std::uint64_t result = 1;
  for (int i = 0; i < power; ++i) result *= 10;
  return result;
}

// The leading `digits` decimal digits of |value| (finite, nonzero, out of
// the double range), rounded to nearest, and the decimal exponent of the
// first one.
std::pair<std::uint64_t, std::int64_t> LeadingDigits(const WideDouble& value, int digits) {
  const double significand = std::fabs(value.Significand());
  const Wide128 exact{static_cast<Uint128>(static_cast<std::uint64_t>(std::ldexp(significand, 53)))
                          << 75,
                      value.Exponent() - 53 - 75};
  const std::uint64_t lowest = PowerOfTenInteger(digits - 1);
  const std::uint64_t highest = lowest * 10;
  const double magnitude = WideDouble::FromParts(significand, value.Exponent()).Log10();
  auto decimalExponent = static_cast<std::int64_t>(std::floor(magnitude));
  for (;;) {
    const Wide128 scaled = Multiply(exact, PowerOfTen(digits - 1 - decimalExponent));
    const std::int64_t fractionBits = -scaled.exponent;
    if (fractionBits >= 128) {  // below 1: the exponent guess was too high
      --decimalExponent;
      continue;
    }
    if (fractionBits <= 64) {  // far too large
      ++decimalExponent;
      continue;
    }
    std::uint64_t integer = static_cast<std::uint64_t>(scaled.mantissa >> fractionBits);
    if (integer < lowest) {
      --decimalExponent;
      continue;
    }
    if (integer >= highest) {
      ++decimalExponent;
      continue;
    }
    const Uint128 fraction = scaled.mantissa & ((Uint128{1} << fractionBits) - 1);
    const Uint128 half = Uint128{1} << (fractionBits - 1);
    if (fraction > half || (fraction == half && (integer & 1) != 0)) ++integer;
    if (integer == highest) return {lowest, decimalExponent + 1};
    return {integer, decimalExponent};
  }
}

struct Style {
  int precision;
  bool scientific;
  bool showpoint;
  bool uppercase;
  bool showpos;
};

// %g / %e text of a finite nonzero value beyond the double range; its
// decimal exponent is beyond +-300, so %g always chooses the exponent form.
std::string FormatBeyondDouble(const WideDouble& value, const Style& style) {
  int digits = style.precision < 0 ? 6 : style.precision;
  if (style.scientific) {
    digits += 1;
  } else if (digits == 0) {
    digits = 1;
  }
  digits = std::min(digits, std::numeric_limits<double>::max_digits10);
  const auto [integer, exponent] = LeadingDigits(value, digits);
  std::string mantissa = std::to_string(integer);
  std::string text;
  if (value.Significand() < 0.0) {
    text += '-';
  } else if (style.showpos) {
    text += '+';
  }
  text += mantissa[0];
  std::string rest = mantissa.substr(1);
  if (!style.scientific && !style.showpoint) {
    rest.erase(rest.find_last_not_of('0') + 1);
  }
  if (!rest.empty() || style.showpoint) text += '.';
  text += rest;
  text += style.uppercase ? 'E' : 'e';
  text += exponent < 0 ? '-' : '+';
  const std::string exponentText = std::to_string(exponent < 0 ? -exponent : exponent);
  if (exponentText.size() < 2) text += '0';
  text += exponentText;
  return text;
}

}  // namespace

std::string WideDouble::ToString(int precision) const {
  if (FitsDouble()) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, ToDouble());
    return buffer;
  }
  return FormatBeyondDouble(*this, Style{precision, false, false, false, false});
}

std::ostream& operator<<(std::ostream& out, const WideDouble& value) {
  if (value.FitsDouble()) return out << value.ToDouble();
  const std::ios_base::fmtflags flags = out.flags();
  const Style style{static_cast<int>(out.precision()),
                    (flags & std::ios_base::floatfield) == std::ios_base::scientific,
                    (flags & std::ios_base::showpoint) != 0,
                    (flags & std::ios_base::uppercase) != 0, (flags & std::ios_base::showpos) != 0};
  return out << FormatBeyondDouble(value, style);
}
