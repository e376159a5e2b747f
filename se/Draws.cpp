#include "se/Draws.h"

#include <limits>

std::size_t StreamDraws::Below(std::size_t n) {
  if (n <= 1) return 0;
  const std::uint64_t range = static_cast<std::uint64_t>(n);
  // The largest multiple of n that fits; draws at or above it are redrawn.
  const std::uint64_t limit =
      std::numeric_limits<std::uint64_t>::max() - std::numeric_limits<std::uint64_t>::max() % range;
  std::uint64_t value = engine_();
  while (value >= limit) value = engine_();
  return static_cast<std::size_t>(value % range);
}

double StreamDraws::Point(const std::vector<double>& /*cuts*/) {
  return static_cast<double>(engine_() >> 11) * 0x1.0p-53;
}
