#pragma once

// Integer draws done by hand over a 64-bit Mersenne Twister, so that a seed
// gives the same day with every standard library (the standard
// distributions are not specified bit for bit).

#include <cstddef>
#include <cstdint>
#include <random>

namespace bench {

class Dice {
 public:
  explicit Dice(std::uint64_t seed) : engine_(seed) {}

  // Uniform in [low, high].
  int Between(int low, int high) {
    const std::uint64_t span = static_cast<std::uint64_t>(high - low) + 1;
    return low + static_cast<int>(engine_() % span);
  }
  // True with probability percent / 100.
  bool Percent(int percent) { return Between(0, 99) < percent; }
  std::size_t Index(std::size_t size) { return static_cast<std::size_t>(engine_() % size); }
  std::mt19937_64& Engine() { return engine_; }

 private:
  std::mt19937_64 engine_;
};

}  // namespace bench
