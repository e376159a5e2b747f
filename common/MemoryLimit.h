#pragma once

// The memory a run may spend on the precedence graph, and the check made
// before any pair is stored.
//
// The number of precedence pairs follows from the terminal boards in
// O(n log n) (Poset::CountPairs); the graph's peak memory is then known
// before it is built. Per pair: the graph's edge list (8 bytes) all along,
// plus at most 16 at a time: the pairs while the graph takes them over (8),
// the first matching's sort arrays (16), or the neighbour lists (8) with
// the search engine's working copy (8). The estimate adds 4 bytes per pair
// for the matching's search lists and a few hundred bytes per passage for
// the maps and tables. A run whose graph would need more than the limit stops
// before building it, with one line that names the pairs, the memory and
// the option that raises the limit.
//
// The limit is the "max_memory" option: a number of bytes, or a number with
// K, M, G or T (powers of 1024), like 512M or 8G. Without it, half of the
// machine's physical memory.

#include <cstdint>
#include <string>
#include <vector>

#include <boost/any.hpp>

namespace memory {

// Value of the "max_memory" option.
struct Size {
  std::uint64_t bytes = 0;
};

// Bytes from "123", "512M", "8G", "1.5G" (the suffix may be lower case and
// followed by "B"); false for anything else, zero and overflow included.
bool ParseSize(const std::string& text, std::uint64_t& bytes);

// "1.5 GB", "512 MB", "800 KB", "12 bytes": powers of 1024, two significant
// decimals at most.
std::string FormatSize(std::uint64_t bytes);

// Half of the physical memory (4 GB when it cannot be read).
std::uint64_t DefaultLimit();

// The help text of both programs' --max_memory option.
extern const char* const kLimitOptionHelp;

// Peak bytes of a graph with `pairs` precedence pairs on `passages` passages.
std::uint64_t GraphBytes(std::uint64_t pairs, std::size_t passages);

struct GraphCheck {
  bool fits = true;
  std::uint64_t pairs = 0;
  std::uint64_t bytes = 0;
  std::string message;  // the one line to print when it does not fit
};

GraphCheck CheckGraph(std::uint64_t pairs, std::size_t passages, std::uint64_t limit);

// Reads a "max_memory" value; an unreadable one is a command-line error.
void validate(boost::any& value, const std::vector<std::string>& tokens, Size*, int);

}  // namespace memory
