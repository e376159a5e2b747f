#pragma once

// Timetables and graphs built in memory for the unit tests.

#include <cstdint>
#include <random>
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

// A random day built to hit the corners of the precedence relation: few
// terminals, times from a small set (equal times, -0, NaN, infinity),
// overnight passages, round trips back to their own terminal, and now and
// then repeated passage numbers. From `minPassages` to `maxPassages` passages.
TimeTable RandomHostileDay(std::mt19937& random, std::size_t maxPassages,
                           std::size_t minPassages = 0);
