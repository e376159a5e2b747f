#pragma once

// Clock minutes of the generated days, shared by both day generators
// (TimetableGenerator.h, DayProfiles.h): times are drawn in whole minutes
// and wrap at midnight, so that an overnight passage arrives at a clock
// time before its departure. Both generators' days must stay the same byte
// for byte: change nothing here that changes a draw or a time.

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "common/Passage.h"

namespace bench {

constexpr int kMinutesPerDay = 24 * 60;

// The clock minute of a minute count of any day, before or after this one.
inline int Wrap(int minutes) {
  return ((minutes % kMinutesPerDay) + kMinutesPerDay) % kMinutesPerDay;
}

// To the nearest multiple of `step`, halves up (minutes >= 0).
inline int RoundTo(int minutes, int step) { return (minutes + step / 2) / step * step; }

// A passage at the clock times of two minute counts, in hours; its number
// is left to NumberInShuffledOrder.
inline Passage MakePassage(std::uint32_t origin, std::uint32_t destination, int departureMinute,
                           int arrivalMinute) {
  Passage p;
  p.origin = origin;
  p.destination = destination;
  p.departure = Wrap(departureMinute) / 60.0;
  p.arrival = Wrap(arrivalMinute) / 60.0;
  return p;
}

// The file order: passages shuffled, then numbered 1..n in that order.
inline void NumberInShuffledOrder(std::vector<Passage>& passages, std::mt19937_64& engine) {
  std::shuffle(passages.begin(), passages.end(), engine);
  for (std::size_t i = 0; i < passages.size(); ++i)
    passages[i].id = static_cast<std::uint32_t>(i + 1);
}

}  // namespace bench
