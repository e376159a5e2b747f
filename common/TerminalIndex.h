#pragma once

// The passages of a timetable grouped by terminal: for every terminal that
// some passage leaves or reaches, the positions of the passages arriving
// there and of those leaving from there.
//
// This is the shape of the precedence relation: passage b can follow a only
// when a arrives where b leaves, so every pair lies inside one terminal's
// group (a among its arrivals, b among its departures). The precedence
// pairs (Poset) and the terminal boards of the split graph are both built
// from it.
//
// Invariants: groups in ascending terminal order; inside a group both
// position lists ascend (file order); every position appears in exactly one
// `arriving` list (its destination's) and one `departing` list (its
// origin's).
//
// Cost: O(n log n) time, O(n) memory.

#include <cstdint>
#include <vector>

#include "common/Passage.h"

struct TerminalGroup {
  std::uint32_t terminal = 0;
  std::vector<std::uint32_t> arriving;   // positions whose destination is `terminal`
  std::vector<std::uint32_t> departing;  // positions whose origin is `terminal`
};

std::vector<TerminalGroup> GroupByTerminal(const std::vector<Passage>& passages);
