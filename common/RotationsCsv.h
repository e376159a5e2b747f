#pragma once

// A chain decomposition as a table for other tools: one row per passage in
// rotation order,
//   rotation,position,passage,origin,destination,departure,arrival,balanced,rest_hours,day
// rotations numbered from 1 in the decomposition's order, positions from 1
// within a rotation; `balanced` (true/false) and `rest_hours` (24 - last
// arrival + first departure) are those of the rotation, repeated on each of
// its rows. `day` is the clock day on which the passage departs, 1 for the
// rotation's first: each passage of a chain leaves no earlier on the clock
// than the one before arrives, so the day moves on only across an overnight
// passage (arrival before departure), and a passage's day is 1 plus the
// overnight passages before it in its rotation. The column comes last so
// that readers of the first nine columns by position keep working.
// Times are written as the shortest text that reads back to the same
// double. A passage number is looked up through the timetable's number map,
// as the chain counts look it up. Cost: linear in the passages written.

#include <ostream>
#include <vector>

#include "common/TimeTable.h"

using ChainList = std::vector<std::vector<unsigned int>>;

// Every passage number of `chains` must belong to `table`.
void WriteRotationsCsv(const TimeTable& table, const ChainList& chains, std::ostream& out);
