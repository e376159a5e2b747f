#include "parallel/Words.h"

#include <cstring>
#include <stdexcept>

namespace parallel {

void WordWriter::PutDouble(double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  Put(bits);
}

std::uint64_t WordReader::Get() {
  if (next_ >= words_.size()) throw std::out_of_range("a message from another rank ended early");
  return words_[next_++];
}

double WordReader::GetDouble() {
  const std::uint64_t bits = Get();
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

}  // namespace parallel
