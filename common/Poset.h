#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "common/TimeTable.h"

// Direct-connection relation between passages: (a, b) means b can be flown
// right after a (b leaves where a arrives, no earlier than a arrives).
class Poset {
 public:
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;

  void CreatePoset(TimeTable& table);
  void Print() const;
};

bool CanFollow(const Passage& before, const Passage& after);
