#pragma once

// An object of one worker, alone on its cache lines.
//
// Objects of several workers side by side in one array share cache lines at
// their edges; a write by one worker (a counter, a vector's end) then takes
// the line from the others, whose reads of the same line stall. On the
// successor search of a level this made two threads only 1.12 times as fast
// as one (and slower than one with the degree order); apart, 1.33 times.
//
// Cost: up to one cache line of padding per object.

#include <cstddef>
#include <utility>

namespace parallel {

constexpr std::size_t kCacheLine = 64;

template <typename T>
struct alignas(kCacheLine) Apart {
  T value;

  Apart() = default;
  explicit Apart(T object) : value(std::move(object)) {}
};

}  // namespace parallel
