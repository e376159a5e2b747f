#pragma once

// The partners tried for a decided vertex, each once.
//
// Two passages sharing a number make the poset repeat a pair, so the split
// graph can hold parallel edges. They join the same two vertices and give
// the same matching: trying a partner twice would count the same leaf twice
// and report it twice. Both engines list partners through this set, in the
// order of first occurrence.
//
// Cost: O(1) per offer with one stamp per vertex; O(V) memory.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class DistinctPartners {
 public:
  explicit DistinctPartners(std::size_t vertexCount) : stamp_(vertexCount, 0) {}

  // Starts the partners of a new vertex.
  void Clear() {
    list_.clear();
    if (++round_ == 0) {
      std::fill(stamp_.begin(), stamp_.end(), 0);
      round_ = 1;
    }
  }

  // Adds `w` unless it is there already.
  void Offer(std::int32_t w) {
    if (stamp_[static_cast<std::size_t>(w)] == round_) return;
    stamp_[static_cast<std::size_t>(w)] = round_;
    list_.push_back(w);
  }

  const std::vector<std::int32_t>& List() const { return list_; }

 private:
  std::vector<std::uint32_t> stamp_;
  std::uint32_t round_ = 0;
  std::vector<std::int32_t> list_;
};
