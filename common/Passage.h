#pragma once

#include <cstdint>

// One flight of the timetable: it leaves `origin` at `departure` and reaches
// `destination` at `arrival`. Times are hours of a 24-hour day.
struct Passage {
  std::uint32_t id = 0;
  std::uint32_t origin = 0;
  std::uint32_t destination = 0;
  double departure = 0.0;
  double arrival = 0.0;

  void Print() const;
};
