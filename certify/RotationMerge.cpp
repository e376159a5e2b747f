#include "certify/RotationMerge.h"

#include <cstdint>

namespace certify {

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

}  // namespace

int MergeClosedRotations(const std::vector<Passage>& passages, double minTurn,
                         BGraph::Matching& matching) {
  const auto n = static_cast<std::uint32_t>(passages.size());
  std::vector<std::uint32_t> next(n, kNone);
  std::vector<std::uint32_t> previous(n, kNone);
  for (const auto& pair : matching) {
    next[static_cast<std::uint32_t>(pair.first)] = static_cast<std::uint32_t>(pair.second) - n;
    previous[static_cast<std::uint32_t>(pair.second) - n] = static_cast<std::uint32_t>(pair.first);
  }
  const auto follows = [&](std::uint32_t before, std::uint32_t after) {
    return before != after && passages[after].origin == passages[before].destination &&
           passages[after].departure >= passages[before].arrival + minTurn;
  };
  // Passages on open chains: reached from a chain's first passage.
  std::vector<std::uint8_t> open(n, 0);
  const auto markOpen = [&](std::uint32_t p) {
    for (; p != kNone && !open[p]; p = next[p]) open[p] = 1;
  };
  for (std::uint32_t p = 0; p < n; ++p)
    if (previous[p] == kNone) markOpen(p);

  int left = 0;
  for (std::uint32_t start = 0; start < n; ++start) {
    if (open[start]) continue;
    // `start` lies on a rotation: look for a place to splice it in.
    bool merged = false;
    std::uint32_t head = kNone;  // of the spliced piece, once merged
    std::uint32_t a2 = start;
    do {
      const std::uint32_t b2 = next[a2];
      for (std::uint32_t a1 = 0; a1 < n && !merged; ++a1) {
        if (!open[a1] || passages[a1].destination != passages[a2].destination) continue;
        const std::uint32_t b1 = next[a1];
        if (!follows(a1, b2)) continue;
        if (b1 != kNone && !follows(a2, b1)) continue;
        head = b2;
        next[a1] = b2;
        previous[b2] = a1;
        next[a2] = b1;
        if (b1 != kNone) previous[b1] = a2;
        merged = true;
      }
      if (merged) break;
      a2 = next[a2];
    } while (a2 != start);
    // The chain now runs through the rotation from `head` on; a rotation
    // left alone is marked as seen.
    if (!merged) ++left;
    for (std::uint32_t p = merged ? head : start; p != kNone && !open[p]; p = next[p]) open[p] = 1;
  }
  matching.clear();
  for (std::uint32_t p = 0; p < n; ++p)
    if (next[p] != kNone) matching.emplace_back(static_cast<int>(p), static_cast<int>(n + next[p]));
  return left;
}

}  // namespace certify
