#include "common/TimeTable.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace {

constexpr std::size_t kFieldsPerPassage = 5;
const char* const kFieldNames[kFieldsPerPassage] = {"passage number", "origin", "destination",
                                                     "departure", "arrival"};

[[noreturn]] void FailOnLine(const std::string& fileName, std::size_t lineNumber,
                             const std::string& problem) {
  std::cout << "Error in timetable file " << fileName << ", line " << lineNumber << ": "
            << problem << std::endl;
  std::exit(1);
}

// Reads an integer field: strtod, then truncation toward zero, which must
// land in the unsigned 32-bit range.
std::uint32_t ParseUnsignedField(const std::string& text, const std::string& fileName,
                                 std::size_t lineNumber, std::size_t field) {
  const double value = std::trunc(std::strtod(text.c_str(), nullptr));
  if (!(value >= 0.0 && value <= 4294967295.0)) {
    FailOnLine(fileName, lineNumber,
               std::string("field ") + std::to_string(field + 1) + " (" + kFieldNames[field] +
                   ") \"" + text + "\" is not an integer in 0..4294967295");
  }
  return static_cast<std::uint32_t>(value);
}

Passage ParsePassage(const std::vector<std::string>& fields, const std::string& fileName,
                     std::size_t lineNumber) {
  if (fields.size() < kFieldsPerPassage) {
    FailOnLine(fileName, lineNumber,
               "expected at least 5 comma-separated fields, found " +
                   std::to_string(fields.size()));
  }
  Passage passage;
  passage.id = ParseUnsignedField(fields[0], fileName, lineNumber, 0);
  passage.origin = ParseUnsignedField(fields[1], fileName, lineNumber, 1);
  passage.destination = ParseUnsignedField(fields[2], fileName, lineNumber, 2);
  passage.departure = std::strtod(fields[3].c_str(), nullptr);
  passage.arrival = std::strtod(fields[4].c_str(), nullptr);
  return passage;
}

}  // namespace

void TimeTable::LoadInstance(std::string fileName) {
  std::ifstream file(fileName);
  if (!file.is_open()) {
    std::cout << "Error in openening file \n" << std::flush;
    std::exit(1);
  }
  bool headerSeen = false;
  std::uint32_t position = 0;
  std::size_t lineNumber = 0;
  std::string line;
  while (std::getline(file, line)) {
    ++lineNumber;
    std::vector<std::string> fields;
    split(line, ',', fields);
    if (fields.empty()) continue;
    if (!headerSeen) {
      headerSeen = true;
      continue;
    }
    passages.push_back(ParsePassage(fields, fileName, lineNumber));
    positionById[passages.back().id] = position;
    ++position;
  }
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
