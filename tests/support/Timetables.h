#pragma once

// Timetables and graphs built in memory for the unit tests.

#include <cstdint>
#include <utility>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/TimeTable.h"

// A timetable of the given passages in this order; a repeated number maps
// to its last position, as when the file is loaded.
TimeTable MakeTable(const std::vector<Passage>& passages);

// Split graph of passages numbered `ids` (positions 0, 1, ...) whose poset
// is exactly `pairs`, in this order.
BGraph GraphFromPairs(const std::vector<std::uint32_t>& ids,
                      const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs);

// The same for passages numbered 1..n.
BGraph GraphFromPairs(std::uint32_t n,
                      const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs);
