#pragma once

// The pricing of the chain columns: heaviest chains by node weights, per
// home terminal and for any chain.
//
// A chain is a path in the follow relation (b follows a, b != a, when b
// leaves a's destination at least the minimum turn after a arrives) from a
// passage that may start a chain to one that may end one (MatchingFacts).
// A home chain starts and ends at the same terminal. Its weight is the sum
// of its passages' weights.
//
// One sweep over the departures and entries (arrival plus turn) in time
// order, an entry before a departure at the same time, keeps per terminal
// the best chain that has entered it so far (the two best, so that a
// passage never follows itself); a passage's label is its weight plus the
// best of what has entered its origin and, where it may start one, of an
// empty chain. On a day without passages whose entry comes no later than
// their departure, every pair of the relation is in time order and one
// sweep gives the heaviest chains. Otherwise such passages hand their label
// to the next sweep, which repeats until no label grows (label correcting):
// then the labels are the heaviest walks, finite when no cycle of the
// relation has positive weight. Callers give every passage on a cycle
// (OnCycle) a weight of at most 0; a heaviest walk then has the weight of
// a chain (its cycles cut out), and the labels are the heaviest chains.
//
// Cost: O(n log n) to sort once; O(n) per sweep per home, with one sweep
// more than the most entry-before-departure passages a heaviest chain
// holds.

#include <cstdint>
#include <vector>

#include "certify/TimeSpaceModel.h"

namespace certify {

class PathPricing {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  static constexpr std::uint32_t kAny = 0xFFFFFFFEu;
  // Every passage may start: the labels are the heaviest walks ending
  // anywhere, which settle iff no cycle has positive weight.
  static constexpr std::uint32_t kEverywhere = 0xFFFFFFFDu;
  // A label grows only by more than this: smaller gains are rounding. A
  // heaviest chain may be missed by up to this much per passage.
  static constexpr double kGain = 1e-11;

  explicit PathPricing(const Day& day);

  std::size_t Passages() const { return originAt.size(); }
  // Dense terminals where a chain may both start and end: the homes.
  const std::vector<std::uint32_t>& Homes() const { return homes; }
  // Per position: whether the passage lies on a cycle of the relation.
  const std::vector<std::uint8_t>& OnCycle() const { return onCycle; }
  bool Cyclic() const { return cyclic; }
  std::uint32_t OriginAt(std::uint32_t p) const { return originAt[p]; }
  std::uint32_t DestinationAt(std::uint32_t p) const { return destinationAt[p]; }

  // Labels of the heaviest chains from a start at `home` (a dense
  // terminal, kAny for any start, kEverywhere) to each passage, by
  // `weight` per position; -infinity where none reaches. Returns false
  // when the sweeps do not settle within two more than the passages whose
  // entry comes no later than their departure: then a cycle of positive
  // weight is reachable (PositiveCycles finds some).
  bool Sweep(const std::vector<double>& weight, std::uint32_t home);
  const std::vector<double>& Label() const { return label; }
  // The chain whose label ends at `last`, first passage first; empty when
  // the links do not form a chain.
  std::vector<std::uint32_t> ChainTo(std::uint32_t last) const;
  // Sweeps of the last Sweep.
  int Sweeps() const { return sweeps; }
  // After a Sweep that did not settle: up to `most` distinct cycles of the
  // links, each of positive weight by `weight`, as passages in order of
  // the relation.
  std::vector<std::vector<std::uint32_t>> PositiveCycles(const std::vector<double>& weight,
                                                         std::size_t most) const;

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
  std::vector<std::uint8_t> backward;  // entry no later than departure: feeds the next sweep
  std::vector<std::uint8_t> onCycle;
  bool cyclic = false;
  std::vector<double> label;
  std::vector<std::uint32_t> link;  // the passage each label extends; kNone for a start
  std::vector<std::uint32_t> grown;  // labels grown in the last sweep
  int sweeps = 0;
  int sweepLimit = 0;

  void FindCycles();
};

}  // namespace certify
