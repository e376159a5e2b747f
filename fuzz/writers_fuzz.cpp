// Fuzz target for what the programs write: the wide numbers of the counts,
// the report, the rotations and trace tables, and the output files put in
// place together.
//
// One byte (the input's last, as FuzzedDataProvider reads integers from
// the end) picks the writer; the rest gives its values.
// - Wide numbers (any significand bits, binary exponents up to +-2^61): the
//   text is printf's %g wherever the value fits a double; beyond, it is
//   "d.ddde+N" with the right exponent and leading digits; the stream and
//   the report write the same text, and the report reads back to it.
// - Shortest text of a double: reads back to the same bits.
// - Rotations table: every row reads back to its passage, times bit for bit.
// - Trace table: a row per estimate, its estimate column the report's text.
// - Output files (in a folder of the target's own, with existing files,
//   links and a subfolder): whatever is refused, staged or committed, no
//   temporary file is ever left; a commit leaves every file with exactly its
//   staged text, a failed or abandoned one leaves the old contents.
// A difference aborts, which the fuzzer reports as a crash.

#include <fuzzer/FuzzedDataProvider.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "common/NumberText.h"
#include "common/OutputFiles.h"
#include "common/ProgramFrame.h"
#include "common/RotationsCsv.h"
#include "common/TimeTable.h"
#include "numeric/WideDouble.h"
#include "se/EstimateTrace.h"

namespace {

// What is being checked, shown with a failure.
std::string gContext;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "writers_fuzz: %s (%s)\n", what, gContext.c_str());
    std::abort();
  }
}

bool SameDouble(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == separator)
      pieces.emplace_back();
    else
      pieces.back() += c;
  }
  return pieces;
}

WideDouble AnyWide(FuzzedDataProvider& input) {
  const double significand = input.ConsumeFloatingPoint<double>();
  const std::int64_t exponent =
      input.ConsumeIntegralInRange<std::int64_t>(-(std::int64_t{1} << 61), std::int64_t{1} << 61);
  return input.ConsumeBool() ? WideDouble(significand) : WideDouble::FromParts(significand, exponent);
}

void CheckWide(FuzzedDataProvider& input) {
  const WideDouble value = AnyWide(input);
  const int precision = input.ConsumeIntegralInRange<int>(1, 17);
  const std::string text = value.ToString(precision);
  char parts[96];
  std::snprintf(parts, sizeof parts, "%a * 2^%lld", value.Significand(),
                static_cast<long long>(value.Exponent()));
  gContext = "\"" + text + "\" for " + parts;
  if (value.FitsDouble()) {
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.*g", precision, value.ToDouble());
    Require(text == expected, "a wide number that fits a double is not printed as one");
  } else if (value.IsFinite()) {
    const std::vector<std::string> parts = Split(text, 'e');
    Require(parts.size() == 2, "a wide number without its exponent");
    char* end = nullptr;
    const double mantissa = std::strtod(parts[0].c_str(), &end);
    Require(*end == '\0' && std::fabs(mantissa) >= 1.0 && std::fabs(mantissa) < 10.0,
            "a wide number's leading digits out of [1, 10)");
    const long long exponent = std::strtoll(parts[1].c_str(), &end, 10);
    Require(*end == '\0' && (parts[1][0] == '+' || parts[1][0] == '-'), "a malformed exponent");
    Require((mantissa < 0) == (value < 0.0), "a wide number printed with the wrong sign");
    // Decimal logarithms are exact enough to check the digits while the
    // exponent is small beside 2^53.
    const double log10 = (value < 0.0 ? -value : value).Log10();
    // Beyond 2^53 the logarithm itself is rounded to a few units.
    Require(std::fabs(static_cast<double>(exponent) - std::floor(log10)) <=
                1.0 + 4.0 * std::fabs(log10) * 0x1p-52,
            "a wide number printed with the wrong exponent");
    if (std::fabs(log10) < 1e6) {
      const double printed = std::log10(std::fabs(mantissa)) + static_cast<double>(exponent);
      Require(std::fabs(printed - log10) <= 1e-9 + 0.5 * std::pow(10.0, 1 - precision),
              "a wide number printed with the wrong digits");
    }
  }
  if (!value.IsFinite()) return;
  std::ostringstream stream;
  stream << value;
  Require(stream.str() == value.ToString(6), "the stream and ToString print differently");

  // The report's way: the property tree's translator, written and read back.
  boost::property_tree::ptree report;
  report.add("SE.se_counting_estimator", value);
  const std::string stored = report.get<std::string>("SE.se_counting_estimator");
  Require(stored == value.ToString(17), "the report holds another text than ToString");
  std::istringstream in(frame::SerializeReport(report));
  boost::property_tree::ptree read;
  boost::property_tree::read_xml(in, read);
  Require(read.get<std::string>("SE.se_counting_estimator") == stored,
          "the report does not read back");

  const double plain = input.ConsumeFloatingPoint<double>();
  const std::string shortest = ShortestText(plain);
  Require(SameDouble(std::strtod(shortest.c_str(), nullptr), plain),
          "the shortest text does not read back");
}

void CheckRotations(FuzzedDataProvider& input) {
  TimeTable table;
  const std::size_t n = input.ConsumeIntegralInRange<std::size_t>(0, 8);
  for (std::size_t p = 0; p < n; ++p) {
    Passage passage;
    passage.id = static_cast<std::uint32_t>(10 * p + input.ConsumeIntegralInRange<int>(0, 9));
    passage.origin = input.ConsumeIntegral<std::uint32_t>();
    passage.destination = input.ConsumeIntegral<std::uint32_t>();
    passage.departure = input.ConsumeFloatingPoint<double>();
    passage.arrival = input.ConsumeFloatingPoint<double>();
    table.positionById[passage.id] = static_cast<std::uint32_t>(p);
    table.passages.push_back(passage);
  }
  // The passages in an order of the input's, cut into chains.
  std::vector<unsigned int> order;
  for (const Passage& passage : table.passages) order.push_back(passage.id);
  for (std::size_t k = order.size(); k > 1; --k)
    std::swap(order[k - 1], order[input.ConsumeIntegralInRange<std::size_t>(0, k - 1)]);
  ChainList chains;
  for (std::size_t k = 0; k < order.size(); ++k) {
    if (chains.empty() || input.ConsumeBool()) chains.emplace_back();
    chains.back().push_back(order[k]);
  }
  std::ostringstream out;
  WriteRotationsCsv(table, chains, out);
  std::vector<std::string> lines = Split(out.str(), '\n');
  Require(lines.back().empty(), "the rotations table does not end with a line feed");
  lines.pop_back();
  Require(lines.size() == order.size() + 1 &&
              lines[0] == "rotation,position,passage,origin,destination,departure,arrival,"
                          "balanced,rest_hours,day",
          "the rotations table has other rows than its passages");
  std::size_t line = 1;
  for (std::size_t c = 0; c < chains.size(); ++c) {
    for (std::size_t k = 0; k < chains[c].size(); ++k, ++line) {
      const std::vector<std::string> fields = Split(lines[line], ',');
      Require(fields.size() == 10, "a rotations row without its ten fields");
      const Passage& passage = table.passages[table.positionById.at(chains[c][k])];
      Require(fields[0] == std::to_string(c + 1) && fields[1] == std::to_string(k + 1) &&
                  fields[2] == std::to_string(passage.id) &&
                  fields[3] == std::to_string(passage.origin) &&
                  fields[4] == std::to_string(passage.destination),
              "a rotations row names another passage");
      Require(SameDouble(std::strtod(fields[5].c_str(), nullptr), passage.departure) &&
                  SameDouble(std::strtod(fields[6].c_str(), nullptr), passage.arrival),
              "a rotations row does not read back to its times");
      Require(fields[7] == "true" || fields[7] == "false", "a balanced flag that is not a flag");
    }
  }
}

void CheckTrace(FuzzedDataProvider& input) {
  EstimateTrace trace;
  std::vector<WideDouble> estimates;
  const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(0, 12);
  for (std::size_t k = 0; k < count; ++k) {
    estimates.push_back(AnyWide(input));
    trace.Add(estimates.back(), input.ConsumeBool(), input.ConsumeFloatingPoint<double>());
  }
  const bool withExact = input.ConsumeBool();
  const double exactLog10 = input.ConsumeFloatingPoint<double>();
  std::ostringstream out;
  trace.Write(out, withExact ? &exactLog10 : nullptr);
  std::vector<std::string> lines = Split(out.str(), '\n');
  Require(lines.back().empty(), "the trace does not end with a line feed");
  lines.pop_back();
  Require(lines.size() == count + 1, "the trace has other rows than its estimates");
  for (std::size_t k = 0; k < count; ++k) {
    const std::vector<std::string> fields = Split(lines[k + 1], ',');
    Require(fields.size() == (withExact ? 9u : 8u), "a trace row without its columns");
    Require(fields[0] == std::to_string(k + 1), "a trace row out of order");
    if (estimates[k].IsFinite())
      Require(fields[1] == estimates[k].ToString(17), "a trace estimate other than the report's");
  }
}

// The output files' folder, made once.
std::string gFolder;

std::string ReadText(const std::string& path, bool& exists) {
  std::ifstream in(path, std::ios::binary);
  exists = static_cast<bool>(in);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every name in the folder and its subfolder.
std::vector<std::string> Entries() {
  std::vector<std::string> names;
  for (const std::string& folder : {gFolder, gFolder + "/sub"}) {
    if (DIR* dir = opendir(folder.c_str())) {
      while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(folder + "/" + name);
      }
      closedir(dir);
    }
  }
  return names;
}

void CheckOutputFiles(FuzzedDataProvider& input) {
  for (const std::string& path : Entries()) std::remove(path.c_str());
  rmdir((gFolder + "/sub").c_str());
  // Some files already there: plain, read-only, a link to another, a hard
  // link, in a subfolder.
  const std::string names[] = {"a", "b", "sub/c", "link", "hard", "missing/d", "sub", ".",
                               "/dev/null", "a"};
  const std::uint8_t present = input.ConsumeIntegral<std::uint8_t>();
  if (present & 1) mkdir((gFolder + "/sub").c_str(), 0700);
  std::map<std::string, std::string> before;  // path -> content, for those that exist
  for (int k = 0; k < 3; ++k) {
    if (!(present & (2 << k))) continue;
    const std::string path = gFolder + "/" + names[k];
    const std::string text = input.ConsumeRandomLengthString(64);
    std::ofstream(path, std::ios::binary) << text;
    before[path] = text;
  }
  const bool linked = (present & 16) && before.count(gFolder + "/a");
  if (linked) {
    Require(symlink("a", (gFolder + "/link").c_str()) == 0, "cannot make a link");
    Require(link((gFolder + "/a").c_str(), (gFolder + "/hard").c_str()) == 0,
            "cannot make a hard link");
  }
  if ((present & 32) && before.count(gFolder + "/b")) chmod((gFolder + "/b").c_str(), 0400);

  output::OutputFiles outputs;
  std::vector<std::string> whats;
  std::vector<std::string> paths;
  const std::size_t count = input.ConsumeIntegralInRange<std::size_t>(1, 3);
  for (std::size_t k = 0; k < count; ++k) {
    const std::string& name = names[input.ConsumeIntegralInRange<std::size_t>(0, 9)];
    whats.push_back("output" + std::to_string(k));
    paths.push_back(name[0] == '/' ? name : gFolder + "/" + name);
    outputs.Add(whats.back(), paths.back());
  }
  std::map<std::string, std::string> staged;  // path -> text
  bool allStaged = outputs.Check(gFolder + "/timetable.csv").empty();
  if (allStaged) {
    for (std::size_t k = 0; k < count; ++k) {
      const std::string text = input.ConsumeRandomLengthString(256);
      const bool staging = input.ConsumeBool() ? outputs.Stage(whats[k], text)
                                               : outputs.Stage(whats[k], [&](std::ostream& out) {
                                                   out << text;
                                                 });
      allStaged = allStaged && staging;
      staged[paths[k]] = text;
    }
  }
  const bool committing = allStaged && input.ConsumeBool();
  const bool committed = committing && outputs.Commit();
  if (!committing) outputs.Discard();
  for (const std::string& path : Entries())
    Require(path.find("/.") == std::string::npos, "a temporary file was left");
  const auto target = [linked](const std::string& path) {
    return linked && (path == gFolder + "/link" || path == gFolder + "/hard")
               ? path.substr(0, path.size() - 4) + "a"
               : path;
  };
  for (const auto& [path, text] : staged) {
    if (path[0] != '/' || path.rfind("/dev/", 0) == 0) continue;
    bool exists = false;
    const std::string now = ReadText(path, exists);
    if (committed) {
      Require(exists && now == text, "a committed file does not hold its text");
    } else {
      const auto old = before.find(target(path));
      Require(old == before.end() ? !exists : (exists && now == old->second),
              "a file not committed was changed");
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/writers_fuzz.XXXXXX";
  Require(mkdtemp(folder) != nullptr, "cannot make the work folder");
  gFolder = folder;
  std::atexit([] {
    for (const std::string& path : Entries()) std::remove(path.c_str());
    rmdir((gFolder + "/sub").c_str());
    rmdir(gFolder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      CheckWide(input);
      break;
    case 1:
      CheckRotations(input);
      break;
    case 2:
      CheckTrace(input);
      break;
    default:
      CheckOutputFiles(input);
      break;
  }
  return 0;
}
