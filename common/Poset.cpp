#include "common/Poset.h"

#include <iostream>

bool CanFollow(const Passage& before, const Passage& after) {
  return after.origin == before.destination && after.departure >= before.arrival;
}

void Poset::CreatePoset(TimeTable& table) {
  const std::vector<Passage>& passages = table.passages;
  const std::size_t n = passages.size();
  for (std::size_t i = 0; i + 1 < n; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (CanFollow(passages[i], passages[j])) pairs.emplace_back(passages[i].id, passages[j].id);
      if (CanFollow(passages[j], passages[i])) pairs.emplace_back(passages[j].id, passages[i].id);
    }
  }
}

void Poset::Print() const {
  for (const auto& pair : pairs) std::cout << pair.first << " <= " << pair.second << std::endl;
}
