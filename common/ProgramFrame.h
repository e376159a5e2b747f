#pragma once

// Pieces shared by the drivers of both programs: banner, command-line
// parsing and checks, seeding of the run's engine, run clock, report saving.

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <boost/program_options.hpp>
#include <boost/property_tree/ptree.hpp>

#include "common/OptionMistakes.h"
#include "common/OutputFiles.h"

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
// false for an unknown name, which is a command-line error that lists
// `choices` ("random, degree") when given.
template <typename T, typename Parse>
void ReadNamedChoice(boost::any& value, const std::vector<std::string>& tokens, Parse parse,
                     const char* choices = nullptr) {
  boost::program_options::validators::check_first_occurrence(value);
  const std::string& name = boost::program_options::validators::get_single_string(tokens);
  T choice{};
  if (!parse(name, choice))
    throw BadValue(name, choices ? std::string("is not one of ") + choices
                                 : std::string("is not a valid value"));
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
void WriteReport(const boost::property_tree::ptree& report, std::ostream& out);

// Writes one output file on its own, by the rules of output::OutputFiles;
// prints its one line and returns false when it cannot. A run's outputs are
// better declared together (so that all or none are left): this is for a
// file outside them.
bool SaveOutputFile(const std::string& what, const std::string& path, const std::string& text);

// Stages the report as the output "report" (when declared), puts every
// staged output in place and prints the run time line. Returns the exit
// status: 1, after the one line of OutputFiles, when an output could not be
// written (none is then left), 0 otherwise.
int FinishRun(const boost::property_tree::ptree& report, output::OutputFiles& outputs,
              double elapsedSeconds);
// The same once `stage` has staged the run's other outputs; when it could
// not (false), the one line of OutputFiles and status 1 instead.
int FinishRun(const boost::property_tree::ptree& report, output::OutputFiles& outputs,
              double elapsedSeconds, const std::function<bool(output::OutputFiles&)>& stage);

// The one line of an error whose printed output is more than that line
// (a command-line mistake, printed before the options description), for
// whoever must pass the error on in one line (the ranks of an MPI job).
void NoteErrorLine(const std::string& line);
const std::string& ErrorLine();

// The end of a run that a standard exception stopped: "out of memory while
// <activity>" for a failed allocation, else the options description
// followed by "\n". Returns the exit status, 1.
int EndOnException(const std::exception& error, const std::string& optionsText);

}  // namespace frame
