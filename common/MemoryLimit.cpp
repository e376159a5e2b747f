#include "common/MemoryLimit.h"

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>

#include <boost/program_options.hpp>

#include "common/OptionMistakes.h"

namespace memory {

const char* const kLimitOptionHelp =
    "memory the run may take, in bytes or with K, M, G (512M, 8G; default: half "
    "the machine's memory)";

namespace {

constexpr std::uint64_t kBytesPerPair = 28;
constexpr std::uint64_t kBytesPerPassage = 400;

}  // namespace

bool ParseSize(const std::string& text, std::uint64_t& bytes) {
  std::size_t at = 0;
  const std::size_t digitsStart = at;
  while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
  const std::size_t integerDigits = at - digitsStart;
  std::size_t fractionDigits = 0;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
      ++at;
      ++fractionDigits;
    }
    if (fractionDigits == 0) return false;
  }
  if (integerDigits == 0 || integerDigits > 20 || fractionDigits > 6) return false;
  const long double number = std::strtold(text.substr(0, at).c_str(), nullptr);
  long double scale = 1;
  if (at < text.size()) {
    switch (std::toupper(static_cast<unsigned char>(text[at]))) {
      case 'K': scale = 1024.0L; break;
      case 'M': scale = 1024.0L * 1024; break;
      case 'G': scale = 1024.0L * 1024 * 1024; break;
      case 'T': scale = 1024.0L * 1024 * 1024 * 1024; break;
      default: return false;
    }
    ++at;
    if (at < text.size() && std::toupper(static_cast<unsigned char>(text[at])) == 'B') ++at;
  }
  if (at != text.size()) return false;
  if (scale == 1 && fractionDigits > 0) return false;
  const long double value = std::floor(number * scale);
  if (!(value >= 1) || value >= 18446744073709551615.0L) return false;
  bytes = static_cast<std::uint64_t>(value);
  return true;
}

std::string FormatSize(std::uint64_t bytes) {
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  if (bytes < 1024) return std::to_string(bytes) + " bytes";
  double value = static_cast<double>(bytes) / 1024.0;
  std::size_t unit = 0;
  while (value >= 1024.0 && unit + 1 < sizeof kUnits / sizeof kUnits[0]) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.3g %s", value, kUnits[unit]);
  return text;
}

std::uint64_t DefaultLimit() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || pageSize <= 0) return std::uint64_t{4} << 30;
  return static_cast<std::uint64_t>(pages) / 2 * static_cast<std::uint64_t>(pageSize);
}

std::uint64_t GraphBytes(std::uint64_t pairs, std::size_t passages) {
  const std::uint64_t most = std::numeric_limits<std::uint64_t>::max();
  const std::uint64_t forPassages = kBytesPerPassage * passages;
  if (pairs > (most - forPassages) / kBytesPerPair) return most;
  return kBytesPerPair * pairs + forPassages;
}

GraphCheck CheckGraph(std::uint64_t pairs, std::size_t passages, std::uint64_t limit) {
  GraphCheck check;
  check.pairs = pairs;
  check.bytes = GraphBytes(pairs, passages);
  check.fits = check.bytes <= limit;
  if (!check.fits) {
    check.message = "The precedence graph of this timetable has " + std::to_string(pairs) +
                    " pairs and needs about " + FormatSize(check.bytes) +
                    " of memory, more than the limit of " + FormatSize(limit) +
                    "; raise the limit with --max_memory (for example --max_memory " +
                    std::to_string((check.bytes >> 30) + 1) + "G)";
  }
  return check;
}

void validate(boost::any& value, const std::vector<std::string>& tokens, Size*, int) {
  namespace po = boost::program_options;
  po::validators::check_first_occurrence(value);
  const std::string& text = po::validators::get_single_string(tokens);
  Size size;
  if (!ParseSize(text, size.bytes))
    throw frame::BadValue(text, "is not a size such as 512M or 8G");
  value = size;
}

}  // namespace memory
