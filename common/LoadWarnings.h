#pragma once

// What a timetable file says that the loader reads, but probably not as its
// author meant: a field read only in part ("06:30" as 6), a field with no
// number (read as 0), a time outside the day's 0 to 24 hours, an infinite
// time, a first line that looks like a passage (it is taken as the header),
// duplicate passage numbers, and no passages at all.
//
// Each kind is told once, at its first line, with the number of times it
// was met; the loader reads the file the same either way. Under `strict`
// the first one is an error instead.

#include <cstddef>
#include <string>
#include <vector>

enum class LoadWarning { Partial, NoNumber, OutsideDay, Infinite, HeaderLooksLikePassage,
                         DuplicateNumber, NoPassages };

class LoadWarnings {
 public:
  explicit LoadWarnings(std::string fileName) : fileName_(std::move(fileName)) {}

  // Notes a warning of `kind` at `line` (0: the file as a whole).
  void Note(LoadWarning kind, std::size_t line, const std::string& text);

  bool Empty() const;

  // The first warning noted, as the loader's one-line error.
  std::string FirstAsError() const;

  // One line per kind met, in the order of first occurrence, each
  // "Warning: timetable <file>, line <n>: <text>", with how many times that
  // kind was met when more than once.
  std::vector<std::string> Lines() const;

 private:
  struct Kind {
    LoadWarning kind;
    std::size_t line = 0;
    std::string text;
    std::size_t count = 0;
  };
  std::string Where(const Kind& kind) const;
  std::string fileName_;
  std::vector<Kind> kinds_;
};
