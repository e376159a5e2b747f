#pragma once

// Seeded generator of day timetables shaped like real airline days: hubs with
// banks of arrivals followed by banks of departures, spokes served from the
// hubs, some point-to-point flights between spokes, overnight flights whose
// arrival clock time is before their departure, and a few round trips that
// come back to their own terminal. Times are hours of the day, rounded to
// whole minutes (5 minutes inside hub banks), so equal times occur.
//
// The same (passages, seed) always gives the same timetable.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "common/Passage.h"
#include "common/TimeTable.h"

namespace bench {

// Number of hubs used for a day of the given size: one hub for small days,
// about one per thousand passages for large ones, which keeps the number of
// precedence pairs in the range of real days (1,000 passages: some tens of
// thousands; 8,500 passages: several hundred thousand).
std::size_t HubCountFor(std::size_t passages);

// Passages numbered 1..passages, in file order (not sorted by time).
// `terminals` 0 gives the airline shape above (about one spoke per 30
// passages); a positive count gives a day of that many terminals, one hub
// in five (at least one), like a transit network or an airline's own day:
// few terminals, many passages each.
//
// `mix` changes the share of overnight flights and the number of round
// trips; its defaults give the days above.
struct DayMix {
  int overnightPercent = 4;
  // Round trips; -1 gives the default (one per 400 passages, at least two
  // from 20 passages on, at any terminal). A given count is spread evenly
  // over the terminals, so that few of them wait at one terminal at once.
  long roundTrips = -1;
};
std::vector<Passage> GeneratePassages(std::size_t passages, std::uint64_t seed,
                                      std::size_t terminals = 0, const DayMix& mix = DayMix());

// The generated passages as a loaded timetable (passages and number map).
TimeTable GenerateTimetable(std::size_t passages, std::uint64_t seed);

// CSV in the loader's format: a header line, then
// "id,origin,destination,departure,arrival" per passage. Times are written
// with as few digits as read back to the same double.
void WriteTimetableCsv(const std::vector<Passage>& passages, std::ostream& out);

// Writes the CSV to `path`; false when the file cannot be written.
bool WriteTimetableFile(const std::vector<Passage>& passages, const std::string& path);

}  // namespace bench
