// generate_timetable <passages> <seed> [<file>] [--terminals K]
// Writes a generated day timetable as CSV to <file>, or to standard output.
// With --terminals, the day has K terminals (see TimetableGenerator.h).

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>

#include "bench/TimetableGenerator.h"

namespace {

const char* const kUsage =
    "Usage: generate_timetable <passages> <seed> [<file>] [--terminals K]";

// Whole decimal number in [minimum, maximum]; false for anything else.
bool ParseCount(const std::string& text, unsigned long long minimum, unsigned long long maximum,
                unsigned long long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0 && value >= minimum && value <= maximum;
}

}  // namespace

int main(int argc, char* argv[]) {
  unsigned long long terminals = 0;
  if (argc >= 5 && std::string(argv[argc - 2]) == "--terminals") {
    if (!ParseCount(argv[argc - 1], 2, 4294967295ULL, terminals)) {
      std::cout << "terminals must be a whole number from 2 to 4294967295: " << argv[argc - 1]
                << std::endl;
      return 1;
    }
    argc -= 2;
  }
  if (argc < 3 || argc > 4) {
    std::cout << kUsage << std::endl;
    return 1;
  }
  unsigned long long passages = 0;
  unsigned long long seed = 0;
  if (!ParseCount(argv[1], 1, 10000000ULL, passages)) {
    std::cout << "passages must be a whole number from 1 to 10000000: " << argv[1] << std::endl;
    return 1;
  }
  if (!ParseCount(argv[2], 0, ~0ULL, seed)) {
    std::cout << "seed must be a non-negative whole number: " << argv[2] << std::endl;
    return 1;
  }
  const auto generated = bench::GeneratePassages(passages, seed, terminals);
  if (argc == 4) {
    if (!bench::WriteTimetableFile(generated, argv[3])) {
      std::cout << "cannot write " << argv[3] << std::endl;
      return 1;
    }
    return 0;
  }
  bench::WriteTimetableCsv(generated, std::cout);
  std::cout.flush();
  return std::cout ? 0 : 1;
}
