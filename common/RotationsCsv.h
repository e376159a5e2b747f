#pragma once

// A chain decomposition as a table for other tools: one row per passage in
// rotation order,
//   rotation,position,passage,origin,destination,departure,arrival,balanced,rest_hours
// rotations numbered from 1 in the decomposition's order, positions from 1
// within a rotation; `balanced` (true/false) and `rest_hours` (24 - last
// arrival + first departure) are those of the rotation, repeated on each of
// its rows. Times are written as the shortest text that reads back to the
// same double. A passage number is looked up through the timetable's
// number map, as the chain counts look it up.

#include <ostream>
#include <vector>

#include "common/TimeTable.h"

using ChainList = std::vector<std::vector<unsigned int>>;

// Every passage number of `chains` must belong to `table`.
void WriteRotationsCsv(const TimeTable& table, const ChainList& chains, std::ostream& out);
