#pragma once

// Pieces shared by the drivers of both programs: banner, command-line
// parsing and checks, seeding of the run's engine, run clock, report saving.

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <boost/program_options.hpp>
#include <boost/property_tree/ptree.hpp>

namespace frame {

using Clock = std::chrono::system_clock;

// Caption of the options description: star frame around the title line,
// then "\nAllowed options".
std::string MakeBanner(const std::string& titleLine);

// Parses, stores and notifies. Unsigned options named in `unsignedOptions`
// reject negative values instead of wrapping them (throws like any other
// command-line error).
//
// With `own` (the program's own options, a part of `desc`), an abbreviation
// that names exactly one own option keeps naming it even when options
// added later start the same way: "--se" stays "--seed" beside "--search".
boost::program_options::variables_map ParseCommandLine(
    int argc, const char* const argv[], const boost::program_options::options_description& desc,
    const std::vector<std::string>& unsignedOptions,
    const boost::program_options::options_description* own = nullptr);

// Help, seed and timetable checks, in that order. Returns the exit status
// when the run must stop, or -1 to go on.
int CheckCommonOptions(const boost::program_options::variables_map& vm,
                       const boost::program_options::options_description& desc,
                       const std::string& usageLine);
// The same with the options description given as its printed text.
int CheckCommonOptions(const boost::program_options::variables_map& vm,
                       const std::string& optionsText, const std::string& usageLine);

// The printed options description of a program with a group of options
// beyond its own: the own options exactly as they print alone, then a blank
// line, "<caption>:" and the group's options in the own options' column.
std::string DescribeOptions(const boost::program_options::options_description& own,
                            const std::string& groupCaption,
                            const boost::program_options::options_description& group);

// Reads the value of an option that names one of a few choices (for a
// `validate` overload of Boost.Program_options): `parse(name, value)` gives
// false for an unknown name, which is a command-line error.
template <typename T, typename Parse>
void ReadNamedChoice(boost::any& value, const std::vector<std::string>& tokens, Parse parse) {
  boost::program_options::validators::check_first_occurrence(value);
  const std::string& name = boost::program_options::validators::get_single_string(tokens);
  T choice{};
  if (!parse(name, choice)) throw boost::program_options::invalid_option_value(name);
  value = choice;
}

// Seeds from the random device, then reseeds with a positive seed.
void SeedEngine(std::mt19937_64& engine, std::random_device& device, int seed);

// The seed SeedEngine gives an engine: the positive seed, or else the value
// drawn from the device (one draw either way, as SeedEngine makes).
std::uint32_t RunSeed(std::random_device& device, int seed);

// A count of workers or searches for an option: a whole number from 1 to
// kMaxCount.
struct Count {
  static constexpr unsigned int kMaxCount = 4096;
  unsigned int value = 1;
};

// Reads a Count option value; anything else is a command-line error.
void validate(boost::any& value, const std::vector<std::string>& tokens, Count*, int);

double ElapsedSeconds(Clock::time_point start, Clock::time_point stop);

// The report as written: XML declaration line, then the tree on one line.
std::string SerializeReport(const boost::property_tree::ptree& report);

// Writes `text` to `path` as a whole: a regular file (or a new one) under
// "<path>.partial", renamed when whole, so that a failed write never leaves a
// cut file under the asked name. When that fails, prints
// "Cannot write the <what> file <path>" and returns false.
bool SaveOutputFile(const std::string& what, const std::string& path, const std::string& text);

// Saves the report to `outpath` (nothing when it is empty; as SaveOutputFile
// does) and prints the run
// time line. Returns the exit status: 1 when a named report could not be
// written, 0 otherwise.
int FinishRun(const boost::property_tree::ptree& report, const std::string& outpath,
              double elapsedSeconds);

}  // namespace frame
