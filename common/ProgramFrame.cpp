#include "common/ProgramFrame.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <iostream>
#include <sstream>

#include <boost/property_tree/xml_parser.hpp>

#include "common/MemoryPlan.h"

namespace po = boost::program_options;

namespace frame {

std::string MakeBanner(const std::string& titleLine) {
  const std::string stars(68, '*');
  return "\n" + stars + " \n" + titleLine + stars + "\nAllowed options";
}

namespace {

bool IsNegativeNumberText(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  return first != std::string::npos && text[first] == '-';
}

void RejectNegativeUnsigned(const po::parsed_options& parsed,
                            const std::vector<std::string>& unsignedOptions) {
  for (const po::option& option : parsed.options) {
    if (std::find(unsignedOptions.begin(), unsignedOptions.end(), option.string_key) ==
        unsignedOptions.end())
      continue;
    for (const std::string& value : option.value) {
      if (IsNegativeNumberText(value)) {
        BadValue error(value, "is negative");
        error.set_option_name(option.string_key);
        throw error;
      }
    }
  }
}

// Names of the options of `desc` that start with `prefix`.
std::vector<std::string> NamesStartingWith(const po::options_description& desc,
                                           const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& option : desc.options()) {
    const std::string& name = option->long_name();
    if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
  }
  return names;
}

// The arguments with every abbreviation of exactly one own option written
// out in full when other options share it.
std::vector<std::string> KeepOwnAbbreviations(int argc, const char* const argv[],
                                              const po::options_description& desc,
                                              const po::options_description& own) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::string& arg : args) {
    if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) continue;
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos
                                                                        : equals - 2);
    const std::vector<std::string> all = NamesStartingWith(desc, name);
    if (std::find(all.begin(), all.end(), name) != all.end()) continue;
    const std::vector<std::string> owned = NamesStartingWith(own, name);
    if (owned.size() == 1 && all.size() > 1)
      arg = "--" + owned.front() + (equals == std::string::npos ? "" : arg.substr(equals));
  }
  return args;
}

}  // namespace

po::variables_map ParseCommandLine(int argc, const char* const argv[],
                                   const po::options_description& desc,
                                   const std::vector<std::string>& unsignedOptions,
                                   const po::options_description* own) {
  const po::parsed_options parsed =
      own ? po::command_line_parser(KeepOwnAbbreviations(argc, argv, desc, *own))
                .options(desc)
                .run()
          : po::parse_command_line(argc, argv, desc);
  RejectNegativeUnsigned(parsed, unsignedOptions);
  po::variables_map vm;
  po::store(parsed, vm);
  po::notify(vm);
  return vm;
}

int CheckCommonOptions(const po::variables_map& vm, const po::options_description& desc,
                       const std::string& usageLine) {
  std::ostringstream text;
  text << desc;
  return CheckCommonOptions(vm, text.str(), usageLine);
}

int CheckCommonOptions(const po::variables_map& vm, const std::string& optionsText,
                       const std::string& usageLine) {
  if (vm.count("help") || vm.empty()) {
    std::cout << optionsText << std::endl;
    std::cout << usageLine << std::endl;
    return 1;
  }
  if (vm.count("seed") && vm["seed"].as<int>() < 0) {
    std::cout << "The seed should be positive integer." << std::endl;
    return 1;
  }
  if (!vm.count("timetable")) {
    std::cout << "No input timetable was specified" << std::endl;
    return 1;
  }
  return -1;
}

std::string DescribeOptions(const po::options_description& own, const std::string& groupCaption,
                            const po::options_description& group) {
  std::ostringstream text;
  text << own << "\n" << groupCaption << ":\n";
  group.print(text, own.get_option_column_width());
  return text.str();
}

void SeedEngine(std::mt19937_64& engine, std::random_device& device, int seed) {
  engine.seed(static_cast<std::mt19937_64::result_type>(device()));
  if (seed > 0) engine.seed(static_cast<std::mt19937_64::result_type>(seed));
}

std::uint32_t RunSeed(std::random_device& device, int seed) {
  const std::uint32_t drawn = device();
  return seed > 0 ? static_cast<std::uint32_t>(seed) : drawn;
}

void validate(boost::any& value, const std::vector<std::string>& tokens, Count*, int) {
  po::validators::check_first_occurrence(value);
  const std::string& text = po::validators::get_single_string(tokens);
  Count count;
  std::size_t used = 0;
  unsigned long parsed = 0;
  try {
    if (!text.empty() && text[0] >= '0' && text[0] <= '9') parsed = std::stoul(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != text.size() || parsed < 1 || parsed > Count::kMaxCount)
    throw BadValue(text, "is not a whole number from 1 to " + std::to_string(Count::kMaxCount));
  count.value = static_cast<unsigned int>(parsed);
  value = count;
}

double ElapsedSeconds(Clock::time_point start, Clock::time_point stop) {
  const auto ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(stop - start).count();
  return static_cast<double>(ticks) / 1e9;
}

void WriteReport(const boost::property_tree::ptree& report, std::ostream& out) {
  boost::property_tree::write_xml(
      out, report, boost::property_tree::xml_writer_make_settings<std::string>(' ', 0, "utf-8"));
}

std::string SerializeReport(const boost::property_tree::ptree& report) {
  std::ostringstream text;
  WriteReport(report, text);
  return text.str();
}

bool SaveOutputFile(const std::string& what, const std::string& path, const std::string& text) {
  output::OutputFiles one;
  one.Add(what, path);
  std::string refusal = one.Check("");
  if (refusal.empty() && (!one.Stage(what, text) || !one.Commit())) refusal = one.Error();
  if (refusal.empty()) return true;
  std::cout << refusal << std::endl;
  return false;
}

int FinishRun(const boost::property_tree::ptree& report, output::OutputFiles& outputs,
              double elapsedSeconds) {
  memory::SetActivity("writing the output files");
  const bool written =
      outputs.Stage("report", [&report](std::ostream& out) { WriteReport(report, out); }) &&
      outputs.Commit();
  if (!written) {
    std::cout << outputs.Error() << std::endl;
    return 1;
  }
  std::cout << "Run time: " << elapsedSeconds << " sec." << std::endl;
  return 0;
}

int FinishRun(const boost::property_tree::ptree& report, output::OutputFiles& outputs,
              double elapsedSeconds, const std::function<bool(output::OutputFiles&)>& stage) {
  memory::SetActivity("writing the output files");
  if (!stage(outputs)) {
    std::cout << outputs.Error() << std::endl;
    return 1;
  }
  return FinishRun(report, outputs, elapsedSeconds);
}

namespace {
std::string gErrorLine;
}  // namespace

void NoteErrorLine(const std::string& line) { gErrorLine = line; }
const std::string& ErrorLine() { return gErrorLine; }

int EndOnException(const std::exception& error, const std::string& optionsText) {
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) {
    std::cout << memory::OutOfMemoryLine() << std::endl;
    return 1;
  }
  NoteErrorLine(error.what());
  std::cerr << error.what() << std::endl;
  std::cout << optionsText << "\n";
  return 1;
}

}  // namespace frame
