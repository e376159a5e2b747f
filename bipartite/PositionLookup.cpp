#include "bipartite/PositionLookup.h"

#include <stdexcept>
#include <string>

PositionLookup::PositionLookup(const std::map<std::uint32_t, std::uint32_t>& positionById) {
  if (positionById.empty()) return;
  const std::uint64_t largest = positionById.rbegin()->first;
  useDirect_ = largest <= 16 * static_cast<std::uint64_t>(positionById.size()) + 1024;
  if (useDirect_) {
    direct_.assign(static_cast<std::size_t>(largest) + 1, kNone);
    for (const auto& [id, position] : positionById) direct_[id] = position;
    return;
  }
  std::size_t size = 1;
  while (size < 2 * positionById.size()) size *= 2;
  slots_.assign(size, kEmptySlot);
  mask_ = size - 1;
  for (const auto& [id, position] : positionById) {
    std::uint64_t slot = Hash(id) & mask_;
    while (slots_[slot] != kEmptySlot) slot = (slot + 1) & mask_;
    slots_[slot] = (static_cast<std::uint64_t>(id) << 32) | position;
  }
}

std::uint32_t PositionLookup::At(std::uint32_t id) const {
  if (useDirect_) {
    if (id < direct_.size() && direct_[id] != kNone) return direct_[id];
  } else {
    for (std::uint64_t slot = Hash(id) & mask_; slots_[slot] != kEmptySlot;
         slot = (slot + 1) & mask_) {
      if (static_cast<std::uint32_t>(slots_[slot] >> 32) == id)
        return static_cast<std::uint32_t>(slots_[slot]);
    }
  }
  throw std::out_of_range("passage number " + std::to_string(id) + " is not in the timetable");
}
