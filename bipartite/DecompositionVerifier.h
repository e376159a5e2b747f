#pragma once

// An independent check of a chain decomposition against its timetable.
//
// The programs make decompositions from matchings of the split graph; this
// check knows nothing of matchings, graphs or the programs' code. It reads
// the passages and the chains (passage numbers in flying order) and holds
// the decomposition to what a minimum chain decomposition must be:
//   - every passage lies in exactly one chain (numbers counted with their
//     multiplicity: a number the timetable repeats is listed as often);
//   - every step x -> y of a chain is a real connection: some passage
//     numbered y leaves the terminal where a different passage numbered x
//     arrives, no earlier than it arrives;
//   - a chain whose last passage can be followed by its first is a closed
//     rotation: its own matching closed the loop, since a maximum matching
//     leaves no edge between a chain's tail and its head unused. It must be
//     listed from its earliest passage in file order;
//   - the number of chains is n - (size of a maximum matching) + (closed
//     rotations), the maximum matching being computed here from scratch
//     (augmenting paths on the pairs of passages that connect);
//   - the closed rotations number exactly as many as declared, unless the
//     caller allows any number.
// Passages sharing a number stand, as in the programs, for the later one's
// position in the matching count; the earlier ones have no connections of
// their own and must be listed as single chains.
//
// Cost: O(n^2) to find the connections and O(n E) for the matching: meant
// for tests and small days, not for the programs' runs.

#include <cstdint>
#include <string>
#include <vector>

#include "common/TimeTable.h"

constexpr int kAnyClosedRotations = -1;

// Empty when `chains` passes every check above, otherwise the first fault
// found, in one line ("chain 2: passage 107 cannot follow passage 105").
// `closedRotations` is the number of closed rotations the caller declares,
// or kAnyClosedRotations.
std::string VerifyDecomposition(const TimeTable& table,
                                const std::vector<std::vector<std::uint32_t>>& chains,
                                int closedRotations = 0);
