// generate_timetable <passages> <seed> [<file>] [--terminals K] [--overnight P] [--round_trips R]
//                    [--profile P] [--window FROM-TO]
// Writes a generated day timetable as CSV to <file>, or to standard output.
// With --terminals, the generic day has K terminals; --overnight makes P
// percent of its flights overnight (default 4); --round_trips makes R of them
// round trips spread over the terminals (see TimetableGenerator.h).
// --profile airline or rail gives the days of DayProfiles.h; --window keeps
// the passages departing from FROM up to TO hours (for example 15-20).

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "bench/DayProfiles.h"
#include "bench/TimetableGenerator.h"

namespace {

const char* const kUsage =
    "Usage: generate_timetable <passages> <seed> [<file>] [--terminals K] [--overnight P] "
    "[--round_trips R] [--profile generic|airline|rail] [--window FROM-TO]";

// Whole decimal number in [minimum, maximum]; false for anything else.
bool ParseCount(const std::string& text, unsigned long long minimum, unsigned long long maximum,
                unsigned long long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0 && value >= minimum && value <= maximum;
}

struct Option {
  const char* name;
  unsigned long long minimum;
  unsigned long long maximum;
  unsigned long long value;
  bool given;
};

}  // namespace

int main(int argc, char* argv[]) {
  Option options[] = {{"--terminals", 2, 4294967295ULL, 0, false},
                      {"--overnight", 0, 80, 4, false},
                      {"--round_trips", 0, 10000000ULL, 0, false}};
  bench::DayProfile profile = bench::DayProfile::Generic;
  bench::DepartureWindow window;
  std::vector<std::string> positional;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--profile" || arg == "--window") {
      if (k + 1 == argc) {
        std::cout << kUsage << std::endl;
        return 1;
      }
      const std::string value = argv[++k];
      if (arg == "--profile" && !bench::ParseDayProfile(value, profile)) {
        std::cout << "profile must be generic, airline or rail: " << value << std::endl;
        return 1;
      }
      if (arg == "--window" && !bench::ParseDepartureWindow(value, window)) {
        std::cout << "window must be FROM-TO in hours from 0 to 24, such as 15-20: " << value
                  << std::endl;
        return 1;
      }
      continue;
    }
    Option* option = nullptr;
    for (Option& candidate : options)
      if (arg == candidate.name) option = &candidate;
    if (option == nullptr) {
      positional.push_back(arg);
      continue;
    }
    if (k + 1 >= argc || !ParseCount(argv[k + 1], option->minimum, option->maximum, option->value)) {
      std::cout << arg.substr(2) << " must be a whole number from " << option->minimum << " to "
                << option->maximum << ": " << (k + 1 < argc ? argv[k + 1] : "(missing)")
                << std::endl;
      return 1;
    }
    option->given = true;
    ++k;
  }
  if (positional.size() < 2 || positional.size() > 3) {
    std::cout << kUsage << std::endl;
    return 1;
  }
  unsigned long long passages = 0;
  unsigned long long seed = 0;
  if (!ParseCount(positional[0], 1, 10000000ULL, passages)) {
    std::cout << "passages must be a whole number from 1 to 10000000: " << positional[0]
              << std::endl;
    return 1;
  }
  if (!ParseCount(positional[1], 0, ~0ULL, seed)) {
    std::cout << "seed must be a non-negative whole number: " << positional[1] << std::endl;
    return 1;
  }
  if (profile != bench::DayProfile::Generic &&
      (options[0].given || options[1].given || options[2].given)) {
    std::cout << "--terminals, --overnight and --round_trips shape the generic profile only"
              << std::endl;
    return 1;
  }
  bench::DayMix mix;
  mix.overnightPercent = static_cast<int>(options[1].value);
  if (options[2].given) mix.roundTrips = static_cast<long>(options[2].value);
  const auto generated =
      bench::GenerateProfileDay(profile, passages, seed, window, options[0].value, mix);
  if (positional.size() == 3) {
    if (!bench::WriteTimetableFile(generated, positional[2])) {
      std::cout << "cannot write " << positional[2] << std::endl;
      return 1;
    }
    return 0;
  }
  bench::WriteTimetableCsv(generated, std::cout);
  std::cout.flush();
  return std::cout ? 0 : 1;
}
