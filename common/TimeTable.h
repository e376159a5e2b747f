#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/Passage.h"

// The passages of one timetable file, in file order, with the map from
// passage number to position.
class TimeTable {
 public:
  std::vector<Passage> passages;
  std::map<std::uint32_t, std::uint32_t> positionById;

  // Appends the passages of the file. Ends the process with status 1 when
  // the file cannot be opened or a data line is malformed.
  void LoadInstance(std::string fileName);

  // Appends the pieces of `line` between separators; nothing when the
  // separator does not occur.
  static void split(const std::string& line, char separator, std::vector<std::string>& pieces);

  void Print() const;
};
