#pragma once

// The follow rule: when passage b can be flown directly after passage a.
//
//   b leaves from the terminal where a arrives (b.origin == a.destination),
//   and no earlier than a's arrival plus the minimum turnaround time
//   (b.departure >= a.arrival + minTurn, compared as doubles).
//
// With the default minTurn of 0 this is the plain relation: equality is
// enough, a time that is not a number compares false, and infinite times
// keep their behaviour (inf + 0 is inf). Every user of the relation asks
// this rule: the precedence pairs and their count (Poset), the terminal
// boards (exact count, bounds) and the exchange search's cell test, so that
// a minimum turn changes all of them alike.
//
// Invariant the sweeps rely on: ReadyAt is monotone (non-decreasing) in the
// arrival, also in floating point, so the arrivals a departure can follow
// are still a prefix of the arrivals sorted by time, and the departures
// that can follow an arrival a suffix of the departures sorted by time.
//
// Cost: O(1) per test.

#include <string>
#include <vector>

#include <boost/any.hpp>

#include "common/Passage.h"

struct FollowRule {
  double minTurn = 0.0;  // hours, finite, 0 to kMaxMinTurn

  static constexpr double kMaxMinTurn = 24.0;

  // The earliest departure that can follow an arrival at `arrival`.
  double ReadyAt(double arrival) const { return arrival + minTurn; }
  bool Connects(double arrival, double departure) const { return departure >= ReadyAt(arrival); }
  bool CanFollow(const Passage& before, const Passage& after) const {
    return after.origin == before.destination && Connects(before.arrival, after.departure);
  }
};

// Value of a "min_turn" option: the hours, or the one line that says why the
// given text is not a minimum turn (empty when it is one).
struct MinTurnOption {
  double hours = 0.0;
  std::string error;
  bool given = false;

  FollowRule Rule() const { return FollowRule{hours}; }
};

// Help text of both programs' --min_turn option.
extern const char* const kMinTurnOptionHelp;

// Reads a "min_turn" value: a number of hours from 0 to 24. A text that is
// not one is kept as the option's error line, not thrown, so that the run
// can stop with that line; an option given twice is a command-line error.
void validate(boost::any& value, const std::vector<std::string>& tokens, MinTurnOption*, int);
