#pragma once

// Passage number -> position, for turning millions of poset pairs into
// vertex numbers. Gives what an ordered map filled in file order gives (a
// repeated number maps to its last position) at the cost of an array read:
// a table indexed by number when the numbers are dense (at most 16 slots
// per passage), otherwise an open-addressing hash table at most half full.
//
// Cost: O(n) to build, O(1) per look-up; 4 bytes per slot of the direct
// table, 8 per slot of the hash table.

#include <cstdint>
#include <map>
#include <vector>

class PositionLookup {
 public:
  // From the final number -> position map of a timetable.
  explicit PositionLookup(const std::map<std::uint32_t, std::uint32_t>& positionById);

  // Throws std::out_of_range, as the map's at() does, for an unknown number.
  std::uint32_t At(std::uint32_t id) const;

 private:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  static constexpr std::uint64_t kEmptySlot = ~std::uint64_t{0};

  std::vector<std::uint32_t> direct_;  // by number; kNone where absent
  std::vector<std::uint64_t> slots_;   // (number << 32) | position, or kEmptySlot
  std::uint64_t mask_ = 0;
  bool useDirect_ = true;

  static std::uint64_t Hash(std::uint32_t id) { return (id * 0x9E3779B97F4A7C15ull) >> 20; }
};
