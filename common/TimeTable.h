#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "common/LoadWarnings.h"
#include "common/Passage.h"

// A field as it is quoted in a message: control bytes as \xNN, and a long
// field cut after 80 bytes, so that hostile input still gives one readable
// line.
std::string Quoted(const std::string& text);

// The passages of one timetable file, in file order, with the map from
// passage number to position.
//
// The file is read in pieces, never a whole line at once: of each line only
// the first five fields are kept, each up to kFieldLimit bytes, so loading
// costs memory in proportion to the passages, whatever the lines hold.
class TimeTable {
 public:
  // Bytes kept of a field, leading white space aside; a longer field among
  // the first five is an error.
  static constexpr std::size_t kFieldLimit = 4096;

  // What a load checks beyond the file's format.
  struct LoadChecks {
    bool strict = false;  // the first warning is the error
    // More passages than this stop the load with the error `tooMany`.
    std::size_t maxPassages = std::numeric_limits<std::size_t>::max();
    std::string tooMany;
  };

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
  // The same with `checks`; the warnings met go to `warnings` when given. A
  // UTF-16 or UTF-32 byte-order mark is an error.
  bool Load(const std::string& fileName, const LoadChecks& checks, std::string& error,
            LoadWarnings* warnings);
  bool LoadFromStream(std::istream& in, const std::string& fileName, const LoadChecks& checks,
                      std::string& error, LoadWarnings* warnings);

  // Appends the pieces of `line` between separators; nothing when the
  // separator does not occur.
  static void split(const std::string& line, char separator, std::vector<std::string>& pieces);

  void Print() const;
};
