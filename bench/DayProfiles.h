#pragma once

// Day timetables with the shapes that make Parvel's exchange search work
// hard, beside the generic generated days of TimetableGenerator.h (which
// stay as they are: other benchmarks rely on them).
//
// - Airline: the day of an airline's fleet, built aircraft by aircraft.
//   Hubs run banks (arrivals land in the hour before a bank, departures
//   leave in the hour after it); regional jets, narrow-bodies and a few
//   wide-bodies fly from their base through the hubs with the turnaround
//   of their type; at the end of the day some fly home, others stay out.
//   Wide-bodies fly long legs on two-day rotations (out by day, back by
//   day or overnight), which the bound on balanced chains cannot tell from
//   a same-day return. Every aircraft day is a chain, so the day has a
//   decomposition about as small as its fleet, but many others connect as
//   well, across types and hubs.
// - Rail: lines between a few stations, trains both ways at a regular
//   interval from early morning to past midnight, some lines turning every
//   other train short, a few long intercity lines. Times are whole
//   minutes, so equal times are everywhere.
// Either day can be cut to a window of departures, a few hours of the
// day, as a planner cuts out a peak: chains then start and end at the
// window's edges, which is where the bound on balanced chains is loose.
//
// Passages are numbered 1..n in a shuffled file order; the same arguments
// always give the same day. Cost: O(n log n).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/TimetableGenerator.h"
#include "common/Passage.h"

namespace bench {

enum class DayProfile { Generic, Airline, Rail };

// "generic", "airline" or "rail"; false for any other name.
bool ParseDayProfile(const std::string& name, DayProfile& profile);

// Departure times [from, to) in hours; from > to spans midnight. The whole
// day by default.
struct DepartureWindow {
  double from = 0.0;
  double to = 24.0;

  bool IsWholeDay() const { return from == 0.0 && to == 24.0; }
  bool Contains(double departure) const;
};

// "15-20", "7.5-9", "22-2"; false for anything else (hours 0 to 24, from
// and to different).
bool ParseDepartureWindow(const std::string& text, DepartureWindow& window);

// Exactly `passages` passages of the profile whose departures lie in the
// window. The generic profile is GeneratePassages(passages, seed,
// terminals, mix) less the passages that leave outside the window (all of
// them for the whole day: the same day, byte for byte).
std::vector<Passage> GenerateProfileDay(DayProfile profile, std::size_t passages,
                                        std::uint64_t seed, const DepartureWindow& window,
                                        std::size_t terminals = 0, const DayMix& mix = DayMix());

}  // namespace bench
