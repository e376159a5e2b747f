#include "common/LoadWarnings.h"

void LoadWarnings::Note(LoadWarning kind, std::size_t line, const std::string& text) {
  for (Kind& known : kinds_) {
    if (known.kind != kind) continue;
    ++known.count;
    return;
  }
  kinds_.push_back({kind, line, text, 1});
}

bool LoadWarnings::Empty() const { return kinds_.empty(); }

std::string LoadWarnings::Where(const Kind& kind) const {
  return kind.line == 0 ? fileName_ : fileName_ + ", line " + std::to_string(kind.line);
}

std::string LoadWarnings::FirstAsError() const {
  if (kinds_.empty()) return "";
  return "Error in timetable file " + Where(kinds_.front()) + ": " + kinds_.front().text;
}

std::vector<std::string> LoadWarnings::Lines() const {
  std::vector<std::string> lines;
  for (const Kind& kind : kinds_) {
    std::string line = "Warning: timetable " + Where(kind) + ": " + kind.text;
    if (kind.count > 1) line += " (" + std::to_string(kind.count) + " times in all)";
    lines.push_back(line);
  }
  return lines;
}
