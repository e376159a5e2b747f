#include "common/TimeTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

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

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// How strtod read a field: all of it, a part (the rest is not white
// space), or nothing (the field reads as 0).
enum class Reading { Whole, Partial, Nothing };

double ReadNumber(const std::string& text, Reading& reading) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  if (end == begin) {
    reading = Reading::Nothing;
    return value;
  }
  while (*end != '\0' && IsBlank(*end)) ++end;
  reading = static_cast<std::size_t>(end - begin) == text.size() ? Reading::Whole
                                                                  : Reading::Partial;
  return value;
}

std::string ShortNumber(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

std::string FieldName(std::size_t field) {
  return std::string("field ") + std::to_string(field + 1) + " (" + kFieldNames[field] + ")";
}

// Notes what a field's reading calls for.
void NoteReading(const std::string& text, std::size_t field, std::size_t line, Reading reading,
                 double value, LoadWarnings& warnings) {
  if (reading == Reading::Nothing)
    warnings.Note(LoadWarning::NoNumber, line,
                  FieldName(field) + " \"" + Quoted(text) + "\" holds no number and reads as 0");
  else if (reading == Reading::Partial)
    warnings.Note(LoadWarning::Partial, line,
                  FieldName(field) + " \"" + Quoted(text) + "\" is read only in part, as " +
                      ShortNumber(value));
}

void NoteTime(double value, std::size_t field, std::size_t line, LoadWarnings& warnings) {
  if (std::isinf(value))
    warnings.Note(LoadWarning::Infinite, line, FieldName(field) + " is infinite");
  else if (!(value >= 0.0 && value <= 24.0))
    warnings.Note(LoadWarning::OutsideDay, line,
                  FieldName(field) + " " + ShortNumber(value) + " is outside the day's hours 0 to 24");
}

// Reads an integer field: strtod, then truncation toward zero, which must
// land in the unsigned 32-bit range.
bool ParseUnsignedField(const std::string& text, const std::string& fileName,
                        std::size_t lineNumber, std::size_t field, std::uint32_t& result,
                        std::string& error, LoadWarnings& warnings) {
  Reading reading = Reading::Whole;
  const double value = std::trunc(ReadNumber(text, reading));
  if (!(value >= 0.0 && value <= 4294967295.0)) {
    error = LineError(fileName, lineNumber,
                      FieldName(field) + " \"" + Quoted(text) +
                          "\" is not an integer in 0..4294967295");
    return false;
  }
  NoteReading(text, field, lineNumber, reading, value, warnings);
  result = static_cast<std::uint32_t>(value);
  return true;
}

// The first fields of the line being read, each kept up to the limit.
struct LineFields {
  std::string fields[kFieldsPerPassage];
  bool tooLong[kFieldsPerPassage] = {};
  std::size_t commas = 0;
  bool any = false;  // a byte of the line was read

  void Clear() {
    for (std::size_t k = 0; k < kFieldsPerPassage; ++k) {
      fields[k].clear();
      tooLong[k] = false;
    }
    commas = 0;
    any = false;
  }
  void Take(char c) {
    any = true;
    if (c == ',') {
      ++commas;
      return;
    }
    if (commas >= kFieldsPerPassage) return;
    std::string& field = fields[commas];
    if (field.empty() && IsBlank(c)) return;  // strtod skips it
    if (field.size() < TimeTable::kFieldLimit)
      field += c;
    else
      tooLong[commas] = true;
  }
  std::size_t Count() const { return commas + 1; }
};

bool LooksLikePassage(const LineFields& line) {
  if (line.Count() < kFieldsPerPassage) return false;
  for (std::size_t k = 0; k < kFieldsPerPassage; ++k) {
    Reading reading = Reading::Whole;
    ReadNumber(line.fields[k], reading);
    if (reading != Reading::Whole) return false;
  }
  return true;
}

bool ParsePassage(const LineFields& line, const std::string& fileName, std::size_t lineNumber,
                  Passage& passage, std::string& error, LoadWarnings& warnings) {
  if (line.Count() < kFieldsPerPassage) {
    error = LineError(fileName, lineNumber,
                      "expected at least 5 comma-separated fields, found " +
                          std::to_string(line.Count()));
    return false;
  }
  for (std::size_t k = 0; k < kFieldsPerPassage; ++k) {
    if (line.tooLong[k]) {
      error = LineError(fileName, lineNumber,
                        FieldName(k) + " is longer than " +
                            std::to_string(TimeTable::kFieldLimit) + " bytes");
      return false;
    }
  }
  const std::string* fields = line.fields;
  if (!ParseUnsignedField(fields[0], fileName, lineNumber, 0, passage.id, error, warnings) ||
      !ParseUnsignedField(fields[1], fileName, lineNumber, 1, passage.origin, error, warnings) ||
      !ParseUnsignedField(fields[2], fileName, lineNumber, 2, passage.destination, error,
                          warnings))
    return false;
  double* times[2] = {&passage.departure, &passage.arrival};
  for (std::size_t k = 3; k < kFieldsPerPassage; ++k) {
    Reading reading = Reading::Whole;
    *times[k - 3] = ReadNumber(fields[k], reading);
    NoteReading(fields[k], k, lineNumber, reading, *times[k - 3], warnings);
    NoteTime(*times[k - 3], k, lineNumber, warnings);
  }
  return true;
}

// The encoding a byte-order mark at the start of the file names, when it is
// not one the loader reads.
const char* WideEncoding(const char* bytes, std::size_t size) {
  const auto at = [&](std::size_t k) {
    return k < size ? static_cast<unsigned char>(bytes[k]) : 0x100u;
  };
  if (at(0) == 0x00 && at(1) == 0x00 && at(2) == 0xFE && at(3) == 0xFF) return "UTF-32";
  if (at(0) == 0xFF && at(1) == 0xFE) return at(2) == 0 && at(3) == 0 ? "UTF-32" : "UTF-16";
  if (at(0) == 0xFE && at(1) == 0xFF) return "UTF-16";
  return nullptr;
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
  return Load(fileName, LoadChecks(), error, nullptr);
}

bool TimeTable::LoadFromStream(std::istream& in, const std::string& fileName, std::string& error) {
  return LoadFromStream(in, fileName, LoadChecks(), error, nullptr);
}

bool TimeTable::Load(const std::string& fileName, const LoadChecks& checks, std::string& error,
                     LoadWarnings* warnings) {
  // A directory opens as a stream that reads nothing; it must not pass for
  // an empty timetable.
  struct stat status {};
  if (::stat(fileName.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
    error = "Error in timetable file " + fileName + ": it is a directory\n";
    return false;
  }
  std::ifstream file(fileName, std::ios::binary);
  if (!file.is_open()) {
    error = "Error in openening file \n";
    return false;
  }
  return LoadFromStream(file, fileName, checks, error, warnings);
}

bool TimeTable::LoadFromStream(std::istream& in, const std::string& fileName,
                               const LoadChecks& checks, std::string& error,
                               LoadWarnings* warnings) {
  LoadWarnings own(fileName);
  LoadWarnings& noted = warnings != nullptr ? *warnings : own;
  const auto strictStop = [&] {
    if (!checks.strict || noted.Empty()) return false;
    error = noted.FirstAsError() + "\n";
    return true;
  };
  bool headerSeen = false;
  std::size_t lineNumber = 0;
  std::vector<std::size_t> lineOfPosition;  // for messages about duplicates
  LineFields line;
  const auto endLine = [&]() -> bool {
    ++lineNumber;
    if (line.commas == 0) return true;
    if (!headerSeen) {
      headerSeen = true;
      if (LooksLikePassage(line))
        noted.Note(LoadWarning::HeaderLooksLikePassage, lineNumber,
                   "it looks like a passage but is taken as the header line");
      return !strictStop();
    }
    if (passages.size() >= checks.maxPassages) {
      error = checks.tooMany + "\n";
      return false;
    }
    // Positions and vertex numbers are 32-bit.
    if (passages.size() >= 0x7FFFFFFFu) {
      error = LineError(fileName, lineNumber, "more than 2147483647 passages");
      return false;
    }
    Passage passage;
    if (!ParsePassage(line, fileName, lineNumber, passage, error, noted)) return false;
    const auto position = static_cast<std::uint32_t>(passages.size());
    const auto inserted = positionById.emplace(passage.id, position);
    if (!inserted.second) {
      noted.Note(LoadWarning::DuplicateNumber, lineNumber,
                 "passage number " + std::to_string(passage.id) + " was already given on line " +
                     std::to_string(lineOfPosition[inserted.first->second]));
      inserted.first->second = position;
    }
    passages.push_back(passage);
    lineOfPosition.push_back(lineNumber);
    return !strictStop();
  };

  static constexpr std::size_t kChunk = 1 << 16;
  std::vector<char> chunk(kChunk);
  bool first = true;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(kChunk));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    if (first) {
      first = false;
      if (const char* encoding = WideEncoding(chunk.data(), got)) {
        error = "Error in timetable file " + fileName + ": it is " + encoding +
                " text (it starts with a byte-order mark); save it as UTF-8 or ASCII\n";
        return false;
      }
    }
    for (std::size_t k = 0; k < got; ++k) {
      const char c = chunk[k];
      if (c != '\n') {
        line.Take(c);
        continue;
      }
      if (!endLine()) return false;
      line.Clear();
    }
  }
  if (in.bad()) {
    error = LineError(fileName, lineNumber + 1, "the file cannot be read");
    return false;
  }
  if (line.any && !endLine()) return false;
  if (passages.empty()) {
    noted.Note(LoadWarning::NoPassages, 0, "no passages were read; is the separator a comma?");
    if (strictStop()) return false;
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
