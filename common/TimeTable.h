#pragma once

#include <cstdint>
#include <istream>
#include <map>
#include <string>
#include <vector>

#include "common/Passage.h"

// A field as it is quoted in a message: control bytes as \xNN, and a long
// field cut after 80 bytes, so that hostile input still gives one readable
// line.
std::string Quoted(const std::string& text);

// The passages of one timetable file, in file order, with the map from
// passage number to position.
class TimeTable {
 public:
  std::vector<Passage> passages;
  std::map<std::uint32_t, std::uint32_t> positionById;

  // Appends the passages of the file. Ends the process with status 1 when
  // the file cannot be opened or read, is a directory, or a data line is
  // malformed, after printing the one line of `Load`.
  void LoadInstance(std::string fileName);
  // The same without ending the process: false and the message, as it is
  // printed (line feed included), in `error`. Passages read before the
  // error stay appended.
  bool Load(const std::string& fileName, std::string& error);
  // The lines of `in` as those of file `fileName` (named in messages).
  bool LoadFromStream(std::istream& in, const std::string& fileName, std::string& error);

  // Appends the pieces of `line` between separators; nothing when the
  // separator does not occur.
  static void split(const std::string& line, char separator, std::vector<std::string>& pieces);

  void Print() const;
};
