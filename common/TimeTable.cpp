#include "common/TimeTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace {

constexpr std::size_t kFieldsPerPassage = 5;
const char* const kFieldNames[kFieldsPerPassage] = {"passage number", "origin", "destination",
                                                     "departure", "arrival"};
constexpr std::size_t kQuotedFieldLength = 80;

}  // namespace

std::string Quoted(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string quoted;
  const std::size_t shown = std::min(text.size(), kQuotedFieldLength);
  for (std::size_t i = 0; i < shown; ++i) {
    const unsigned char byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7f) {
      quoted += "\\x";
      quoted += kHex[byte >> 4];
      quoted += kHex[byte & 15];
    } else {
      quoted += static_cast<char>(byte);
    }
  }
  if (shown < text.size()) quoted += "...";
  return quoted;
}

namespace {

// The message of a malformed line, as printed.
std::string LineError(const std::string& fileName, std::size_t lineNumber,
                      const std::string& problem) {
  return "Error in timetable file " + fileName + ", line " + std::to_string(lineNumber) + ": " +
         problem + "\n";
}

// Reads an integer field: strtod, then truncation toward zero, which must
// land in the unsigned 32-bit range.
bool ParseUnsignedField(const std::string& text, const std::string& fileName,
                        std::size_t lineNumber, std::size_t field, std::uint32_t& result,
                        std::string& error) {
  const double value = std::trunc(std::strtod(text.c_str(), nullptr));
  if (!(value >= 0.0 && value <= 4294967295.0)) {
    error = LineError(fileName, lineNumber,
                      std::string("field ") + std::to_string(field + 1) + " (" +
                          kFieldNames[field] + ") \"" + Quoted(text) +
                          "\" is not an integer in 0..4294967295");
    return false;
  }
  result = static_cast<std::uint32_t>(value);
  return true;
}

bool ParsePassage(const std::vector<std::string>& fields, const std::string& fileName,
                  std::size_t lineNumber, Passage& passage, std::string& error) {
  if (fields.size() < kFieldsPerPassage) {
    error = LineError(fileName, lineNumber,
                      "expected at least 5 comma-separated fields, found " +
                          std::to_string(fields.size()));
    return false;
  }
  if (!ParseUnsignedField(fields[0], fileName, lineNumber, 0, passage.id, error) ||
      !ParseUnsignedField(fields[1], fileName, lineNumber, 1, passage.origin, error) ||
      !ParseUnsignedField(fields[2], fileName, lineNumber, 2, passage.destination, error))
    return false;
  passage.departure = std::strtod(fields[3].c_str(), nullptr);
  passage.arrival = std::strtod(fields[4].c_str(), nullptr);
  return true;
}

}  // namespace

void TimeTable::LoadInstance(std::string fileName) {
  std::string error;
  if (!Load(fileName, error)) {
    std::cout << error << std::flush;
    std::exit(1);
  }
}

bool TimeTable::Load(const std::string& fileName, std::string& error) {
  // A directory opens as a stream that reads nothing; it must not pass for
  // an empty timetable.
  struct stat status {};
  if (::stat(fileName.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
    error = "Error in timetable file " + fileName + ": it is a directory\n";
    return false;
  }
  std::ifstream file(fileName);
  if (!file.is_open()) {
    error = "Error in openening file \n";
    return false;
  }
  return LoadFromStream(file, fileName, error);
}

bool TimeTable::LoadFromStream(std::istream& in, const std::string& fileName, std::string& error) {
  bool headerSeen = false;
  std::size_t lineNumber = 0;
  std::string line;
  std::vector<std::string> fields;
  while (std::getline(in, line)) {
    ++lineNumber;
    fields.clear();
    split(line, ',', fields);
    if (fields.empty()) continue;
    if (!headerSeen) {
      headerSeen = true;
      continue;
    }
    // Positions and vertex numbers are 32-bit.
    if (passages.size() >= 0x7FFFFFFFu) {
      error = LineError(fileName, lineNumber, "more than 2147483647 passages");
      return false;
    }
    Passage passage;
    if (!ParsePassage(fields, fileName, lineNumber, passage, error)) return false;
    positionById[passage.id] = static_cast<std::uint32_t>(passages.size());
    passages.push_back(passage);
  }
  if (in.bad()) {
    error = LineError(fileName, lineNumber + 1, "the file cannot be read");
    return false;
  }
  return true;
}

void TimeTable::split(const std::string& line, char separator, std::vector<std::string>& pieces) {
  std::size_t next = line.find(separator);
  if (next == std::string::npos) return;
  std::size_t start = 0;
  while (next != std::string::npos) {
    pieces.push_back(line.substr(start, next - start));
    start = next + 1;
    next = line.find(separator, start);
  }
  pieces.push_back(line.substr(start));
}

void TimeTable::Print() const {
  for (const Passage& passage : passages) passage.Print();
}
