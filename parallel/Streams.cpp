#include "parallel/Streams.h"

namespace parallel {

bool ParseStreamKind(const std::string& name, StreamKind& kind) {
  if (name == "single") {
    kind = StreamKind::Single;
    return true;
  }
  if (name == "repetition") {
    kind = StreamKind::Repetition;
    return true;
  }
  return false;
}

std::string StreamKindName(StreamKind kind) {
  return kind == StreamKind::Repetition ? "repetition" : "single";
}

std::mt19937_64 MakeStream(std::uint32_t seed, std::uint32_t index) {
  std::seed_seq sequence{seed, index};
  return std::mt19937_64(sequence);
}

std::mt19937_64 MakeStream(std::uint32_t seed, std::uint32_t part, std::uint32_t index) {
  std::seed_seq sequence{seed, part, index};
  return std::mt19937_64(sequence);
}

}  // namespace parallel
