#pragma once

// Direct-connection relation between passages: (a, b) means b can be flown
// right after a (b leaves where a arrives, no earlier than a arrives, or,
// with a minimum turnaround time, no earlier than that long after: see
// FollowRule.h; every function here takes the rule, the plain one by
// default).
//
// Pair order: by the smaller position p of the two passages, then by the
// larger position q; for one p and q, (p, q) comes before (q, p). This is
// the order of a scan over all position pairs p < q that tests p -> q, then
// q -> p; `CreatePosetByPairTest` is that scan, kept as the reference.
//
// `CreatePoset` gives the same pairs in the same order without testing all
// n^2 position pairs: a pair lies inside one terminal (where the first
// passage arrives and the second leaves), and a passage's partners there are
// a prefix of the arrivals sorted by time or a suffix of the departures
// sorted by time. Positions are taken in ascending order; each one's partners
// of smaller position go to their buckets, so each bucket fills in the order
// of the larger position (two threads on large days, each walking half of
// the positions). Cost: O(n log n + pairs) time; the pairs (8 bytes each)
// plus O(n) memory.

#include <cstdint>
#include <utility>
#include <vector>

#include "common/FollowRule.h"
#include "common/TimeTable.h"

class Poset {
 public:
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;

  void CreatePoset(TimeTable& table);
  void CreatePoset(TimeTable& table, const FollowRule& rule);
  // The same pairs by testing every pair of positions: O(n^2).
  void CreatePosetByPairTest(TimeTable& table, const FollowRule& rule = {});
  void Print() const;

  // Number of pairs `CreatePoset` would make, in O(n log n) without making
  // them.
  static std::uint64_t CountPairs(const std::vector<Passage>& passages,
                                  const FollowRule& rule = {});
};

// The plain rule (no minimum turnaround time).
bool CanFollow(const Passage& before, const Passage& after);
