#pragma once

// The pricing of the chain columns: heaviest segments by node weights, per
// commodity (a home terminal, or any chain), in one sweep.
//
// A chain is a path in the follow relation (b follows a, b != a, when b
// leaves a's destination at least the minimum turn after a arrives) from a
// passage that may start a chain to one that may end one (MatchingFacts).
// A passage is backward when its entry (arrival plus turn) comes no later
// than its departure (an overnight passage): every other pair of the
// relation goes forward in time, and every cycle of the relation holds a
// backward passage. Chains and closed rotations are cut after each backward
// passage into segments: a segment starts at a chain's start or after a
// backward passage o (at o's destination, from o's entry; o itself
// excluded), goes forward in time, and ends at a chain's end or with a
// backward passage, after which the next segment starts.
//
// One sweep over the departures and entries in time order, an entry before
// a departure at the same time, keeps per terminal the two heaviest
// segments that have entered it so far (two, so that a passage never
// follows itself); a passage's label is its weight plus the best of what
// has entered its origin and of a start there. Backward passages enter
// before they leave, so they never extend a segment: each is a source
// instead, of a value the caller gives. The labels are the heaviest
// segments ending at each passage.
//
// Cost: O(n log n) to sort once; O(n) per sweep.

#include <cstdint>
#include <limits>
#include <vector>

#include "certify/TimeSpaceModel.h"

namespace certify {

class PathPricing {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  static constexpr std::uint32_t kAny = 0xFFFFFFFEu;

  explicit PathPricing(const Day& day);

  std::size_t Passages() const { return originAt.size(); }
  // Dense terminals where a chain may both start and end and that the day
  // counts as homes (Day::homes): the home commodities.
  const std::vector<std::uint32_t>& Homes() const { return homes; }
  std::uint32_t DestinationAt(std::uint32_t p) const { return destinationAt[p]; }
  std::uint32_t OriginAt(std::uint32_t p) const { return originAt[p]; }
  // Per position: entry no later than departure.
  const std::vector<std::uint8_t>& Backward() const { return backward; }
  std::uint32_t BackwardCount() const { return backwardCount; }

  // Labels of the heaviest segments to each passage by `weight` per
  // position; a segment starts at a chain start (at `home`, a dense
  // terminal, or anywhere for kAny) with value `startValue`, or after a
  // backward passage o with value `afterValue[o]` (none where -infinity).
  // -infinity where nothing reaches.
  void Sweep(const std::vector<double>& weight, std::uint32_t home, double startValue,
             const std::vector<double>& afterValue);
  const std::vector<double>& Label() const { return label; }

  struct Segment {
    std::uint32_t after = kNone;  // the backward passage it starts after; kNone at a chain start
    std::vector<std::uint32_t> passages;
  };
  // The segment whose label ends at `last`.
  Segment SegmentTo(std::uint32_t last) const;

 private:
  struct Event {
    double time;
    std::uint32_t passage;
    bool departs;
  };
  const Day& day;
  std::vector<std::uint32_t> originAt;
  std::vector<std::uint32_t> destinationAt;
  std::uint32_t terminals = 0;
  std::vector<std::uint32_t> homes;
  std::vector<Event> events;
  std::vector<std::uint8_t> backward;
  std::uint32_t backwardCount = 0;
  std::vector<double> label;
  // What each label extends: a passage, kNone for a chain start; `source`
  // marks a start after that backward passage.
  std::vector<std::uint32_t> link;
  std::vector<std::uint8_t> source;
};

}  // namespace certify
