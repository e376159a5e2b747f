#pragma once

// Values flattened to 64-bit words, as the ranks of a run exchange them:
// counts, indices and doubles by their bits, so that every value arrives
// exactly as it left.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace parallel {

class WordWriter {
 public:
  void Put(std::uint64_t value) { words_.push_back(value); }
  void PutDouble(double value);
  void PutSigned(std::int64_t value) { Put(static_cast<std::uint64_t>(value)); }
  template <typename Range>
  void PutRange(const Range& values) {
    Put(values.size());
    for (const auto& value : values) PutSigned(static_cast<std::int64_t>(value));
  }
  const std::vector<std::uint64_t>& Words() const { return words_; }

 private:
  std::vector<std::uint64_t> words_;
};

// Reads words in the order they were put; reading past the end throws
// std::out_of_range.
class WordReader {
 public:
  explicit WordReader(const std::vector<std::uint64_t>& words) : words_(words) {}
  std::uint64_t Get();
  double GetDouble();
  std::int64_t GetSigned() { return static_cast<std::int64_t>(Get()); }
  template <typename T>
  std::vector<T> GetRange() {
    const std::uint64_t count = Get();
    std::vector<T> values;
    for (std::uint64_t k = 0; k < count; ++k) values.push_back(static_cast<T>(GetSigned()));
    return values;
  }
  bool AtEnd() const { return next_ == words_.size(); }

 private:
  const std::vector<std::uint64_t>& words_;
  std::size_t next_ = 0;
};

}  // namespace parallel
