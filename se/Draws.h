#pragma once

// The random choices of the part-wise estimator (EstimateParts.h), behind
// one small interface so that a test can follow every outcome of a run
// with its probability instead of sampling it.
//
// Two kinds of draw:
// - Below(n): a whole number in [0, n), each with probability 1/n;
// - Point(cuts): a point of [0, 1), uniform. `cuts` (in [0, 1), any order)
//   are the points where the caller's result changes: the caller's result
//   is the same for every point between two neighbouring cuts. Drawing
//   ignores them; a test can return one point per piece instead and weigh
//   it by the piece's length.
//
// StreamDraws draws from a 64-bit Mersenne Twister: Below by rejection
// (exactly uniform), Point as 53 random bits.

#include <cstddef>
#include <cstdint>
#include <random>
#include <utility>
#include <vector>

class Draws {
 public:
  virtual ~Draws() = default;
  virtual std::size_t Below(std::size_t n) = 0;
  virtual double Point(const std::vector<double>& cuts) = 0;
};

class StreamDraws : public Draws {
 public:
  explicit StreamDraws(std::mt19937_64 engine) : engine_(std::move(engine)) {}
  std::size_t Below(std::size_t n) override;
  double Point(const std::vector<double>& cuts) override;

 private:
  std::mt19937_64 engine_;
};

// Shuffles `items` uniformly (Fisher-Yates with Below).
template <typename T>
void ShuffleWith(Draws& draws, std::vector<T>& items) {
  for (std::size_t k = items.size(); k > 1; --k) std::swap(items[k - 1], items[draws.Below(k)]);
}
