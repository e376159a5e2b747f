// Fuzz target for the command lines of both programs, through their real
// runs (RunQuorlin, RunParvel) on a tiny day, outputs in a folder of its own.
//
// The input is split at line feeds into arguments. A line "quorlin" or
// "parvel" first runs that program alone (else both run). Other lines:
//   @k   the k-th option name of the program (from its own --help)
//   ~k   an abbreviation of an option name
//   =k   the k-th value: the day's path, the output paths, numbers, sizes,
//        and every word of the help (the choices of the options)
//   anything else: itself.
// A number above kLargest is refused (the input is skipped) so that one
// input runs in milliseconds; without a --m... option the run gets a memory
// limit of 256M.
//
// Checked: the exit status is 0 or 1; a status 1 prints something on
// standard output and leaves or changes no file; no temporary file is ever
// left; every XML file a run writes parses; the run's timetable is never
// changed (the other day may be an output).
//
// The target works in a temporary folder (it changes into it, so relative
// paths land there); the fuzzer's own relative paths are made absolute first.

#include <dirent.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include "localsearch/ParvelRun.h"
#include "parallel/Ranks.h"
#include "se/QuorlinRun.h"

namespace {

using RunFunction = int (*)(int, char**, const parallel::Ranks&);

constexpr double kLargest = 8.0;

// Two terminals, an overnight passage (a cycle), a round trip and ties.
const char* const kDay =
    "passage,origin,destination,departure,arrival\n"
    "1,1,2,6,7.5\n"
    "2,2,1,8,9\n"
    "3,1,2,10,11\n"
    "4,2,1,12,13.5\n"
    "5,1,1,14,15\n"
    "6,1,2,22,5\n"
    "7,2,1,8,9\n";
// The same passages with times a warning names.
const char* const kWarned =
    "passage,origin,destination,departure,arrival\n"
    "1,1,2,06:00,7.5\n"
    "2,2,1,8,9\n"
    "2,1,JFK,10,30\n";

std::string gFolder;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "command_line_fuzz: %s\n", what);
    std::abort();
  }
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> FolderEntries() {
  std::vector<std::string> names;
  DIR* folder = opendir(gFolder.c_str());
  Require(folder != nullptr, "the work folder is gone");
  while (const dirent* entry = readdir(folder)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(folder);
  return names;
}

struct Program {
  RunFunction run;
  std::vector<std::string> names;   // option names without dashes
  std::vector<std::string> values;  // value tokens
};

struct Output {
  int status = -1;
  std::string out;
};

Output Call(RunFunction run, std::vector<std::string> args) {
  args.insert(args.begin(), "program");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  int argc = static_cast<int>(argv.size());
  char** argvPointer = argv.data();
  static parallel::Ranks* const ranks = new parallel::Ranks(argc, argvPointer);
  std::ostringstream out;
  std::ostringstream err;
  std::streambuf* const outBuffer = std::cout.rdbuf(out.rdbuf());
  std::streambuf* const errBuffer = std::cerr.rdbuf(err.rdbuf());
  Output result;
  result.status = run(argc, argvPointer, *ranks);
  std::cout.rdbuf(outBuffer);
  std::cerr.rdbuf(errBuffer);
  std::cout.clear();
  std::cerr.clear();
  result.out = out.str();
  return result;
}

Program Describe(RunFunction run) {
  Program program{run, {}, {}};
  const std::string help = Call(run, {"--help"}).out;
  std::set<std::string> names;
  std::set<std::string> words;
  const std::regex option("--([A-Za-z_]+)");
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option); it != std::sregex_iterator();
       ++it)
    names.insert((*it)[1]);
  const std::regex word("[a-z][a-z_]+");
  for (auto it = std::sregex_iterator(help.begin(), help.end(), word); it != std::sregex_iterator();
       ++it)
    words.insert(it->str());
  program.names.assign(names.begin(), names.end());
  program.values = {gFolder + "/day.csv", gFolder + "/warned.csv", gFolder + "/report.xml",
                    gFolder + "/rotations.csv", gFolder + "/trace.csv", gFolder,
                    gFolder + "/missing/report.xml", "/dev/null", "0", "1", "2", "3", "-1",
                    "8", "0.5", "1e-9", "-0", "nan", "inf", "", "64K", "1M", "1G", "0K"};
  program.values.insert(program.values.end(), words.begin(), words.end());
  return program;
}

// True when `text` is wholly a number of a size that would make the run
// long (budgets, repetitions, rounds, threads, seconds).
bool TooLarge(const std::string& text) {
  if (text.empty()) return false;
  const char* begin = text.c_str();
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  return end == begin + text.size() && std::fabs(value) > kLargest;
}

std::size_t Index(const std::string& digits) {
  std::size_t index = 0;
  for (char c : digits)
    if (c >= '0' && c <= '9') index = (index * 10 + static_cast<std::size_t>(c - '0')) % 100000;
  return index;
}

// The arguments the input stands for, or false to skip it.
bool Arguments(const std::vector<std::string>& lines, const Program& program,
               std::vector<std::string>& args) {
  for (const std::string& line : lines) {
    std::string arg = line;
    const std::size_t k = Index(line.size() > 1 ? line.substr(1) : "");
    if (line.size() > 1 && line[0] == '@') {
      arg = "--" + program.names[k % program.names.size()];
    } else if (line.size() > 1 && line[0] == '~') {
      const std::string& name = program.names[k % program.names.size()];
      arg = "--" + name.substr(0, 1 + (k / program.names.size()) % name.size());
    } else if (line.size() > 1 && line[0] == '=') {
      arg = program.values[k % program.values.size()];
    } else if (line.find('/') != std::string::npos) {
      return false;  // a path of the fuzzer's making could leave the folder
    }
    const std::size_t equals = arg.find('=');
    if (TooLarge(arg) || (equals != std::string::npos && TooLarge(arg.substr(equals + 1))))
      return false;
    args.push_back(arg);
  }
  bool limited = false;
  for (const std::string& arg : args) limited = limited || arg.rfind("--m", 0) == 0;
  if (!limited) {
    args.push_back("--max_memory");
    args.push_back("256M");
  }
  return true;
}

// The paths the run may have read as its timetable: the values of
// --timetable and of its abbreviations.
std::set<std::string> Timetables(const std::vector<std::string>& args) {
  std::set<std::string> paths;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string arg = args[k].c_str();
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    if (name.size() < 3 || std::string("--timetable").rfind(name, 0) != 0) continue;
    std::string value = equals != std::string::npos ? arg.substr(equals + 1)
                        : k + 1 < args.size()       ? args[k + 1].c_str()
                                                    : "";
    paths.insert(!value.empty() && value[0] == '/' ? value : gFolder + "/" + value);
  }
  return paths;
}

void RunAndCheck(const Program& program, const std::vector<std::string>& args) {
  const Output result = Call(program.run, args);
  Require(result.status == 0 || result.status == 1, "exit status other than 0 and 1");
  if (result.status == 1) Require(!result.out.empty(), "status 1 without a line");
  // Names the arguments give (an output may be called ".r.xml").
  std::set<std::string> given;
  for (const std::string& arg : args) {
    given.insert(arg.c_str());  // as the program sees it: up to a zero byte
    given.insert(arg.substr(arg.find('=') + 1).c_str());
  }
  const std::set<std::string> timetables = Timetables(args);
  const std::map<std::string, const char*> inputs = {{"day.csv", kDay}, {"warned.csv", kWarned}};
  for (const std::string& name : FolderEntries()) {
    const std::string path = gFolder + "/" + name;
    const std::string text = ReadText(path);
    const auto input = inputs.find(name);
    if (input != inputs.end() && text == input->second) continue;
    // Written by the run: a timetable (of another run) may be an output.
    Require(name[0] != '.' || given.count(name) > 0, "a temporary file was left");
    Require(result.status == 0, "a failed run left or changed a file");
    Require(timetables.count(path) == 0, "the timetable was changed");
    if (text.rfind("<?xml", 0) == 0) {
      std::istringstream in(text);
      boost::property_tree::ptree report;
      try {
        boost::property_tree::read_xml(in, report);
      } catch (const std::exception&) {
        Require(false, "a report does not parse");
      }
      Require(report.count("SE") == 1 || report.count("OPT") == 1, "a report without its root");
    }
    if (input != inputs.end())
      WriteText(path, input->second);
    else
      std::remove(path.c_str());
  }
}

const Program& Quorlin() {
  static const Program program = Describe(RunQuorlin);
  return program;
}
const Program& Parvel() {
  static const Program program = Describe(RunParvel);
  return program;
}

void RemoveFolder() {
  for (const std::string& name : FolderEntries()) std::remove((gFolder + "/" + name).c_str());
  rmdir(gFolder.c_str());
}

// The fuzzer's path arguments (corpus folders, -artifact_prefix=...) made
// absolute, before the target changes folder.
void MakePathsAbsolute(int* argc, char*** argv) {
  char here[4096];
  if (getcwd(here, sizeof here) == nullptr) return;
  static std::vector<std::string> kept;
  kept.reserve(static_cast<std::size_t>(*argc));
  for (int k = 1; k < *argc; ++k) {
    std::string arg = (*argv)[k];
    std::size_t at = 0;
    if (arg[0] == '-') {
      const std::size_t equals = arg.find('=');
      const std::string flag = arg.substr(0, equals);
      if (equals == std::string::npos ||
          (flag != "-artifact_prefix" && flag != "-exact_artifact_path" && flag != "-dict" &&
           flag != "-merge_control_file" && flag != "-features_dir"))
        continue;
      at = equals + 1;
    }
    if (at < arg.size() && arg[at] != '/') arg.insert(at, std::string(here) + "/");
    kept.push_back(arg);
    (*argv)[k] = kept.back().data();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  MakePathsAbsolute(argc, argv);
  char folder[] = "/tmp/command_line_fuzz.XXXXXX";
  Require(mkdtemp(folder) != nullptr, "cannot make the work folder");
  gFolder = folder;
  Require(chdir(folder) == 0, "cannot enter the work folder");
  std::atexit(RemoveFolder);
  WriteText(gFolder + "/day.csv", kDay);
  WriteText(gFolder + "/warned.csv", kWarned);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> lines;
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current += static_cast<char>(data[i]);
    }
  }
  if (!current.empty()) lines.push_back(current);

  std::vector<const Program*> programs = {&Quorlin(), &Parvel()};
  if (!lines.empty() && (lines[0] == "quorlin" || lines[0] == "parvel")) {
    programs = {lines[0] == "quorlin" ? &Quorlin() : &Parvel()};
    lines.erase(lines.begin());
  }
  for (const Program* program : programs) {
    std::vector<std::string> args;
    if (Arguments(lines, *program, args)) RunAndCheck(*program, args);
  }
  return 0;
}
