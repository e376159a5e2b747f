#pragma once

#include <string>
#include <vector>

// Runs a built program with the given arguments and collects what it wrote
// to standard output and standard error, and its exit status.
struct ProgramResult {
  std::string out;
  std::string err;
  int status = -1;  // exit status, or -1 when the program did not exit normally
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args);

// The same with standard error on a pseudo-terminal, as in an interactive
// shell; `err` holds what the program wrote to the terminal.
ProgramResult RunProgramOnTerminal(const std::string& program, const std::vector<std::string>& args);

inline ProgramResult RunQuorlin(const std::vector<std::string>& args) {
  return RunProgram(QUORLIN_BIN, args);
}
inline ProgramResult RunParvel(const std::vector<std::string>& args) {
  return RunProgram(PARVEL_BIN, args);
}

// Splits text into lines at line feeds; a trailing piece without line feed
// is a line too.
std::vector<std::string> SplitLines(const std::string& text);

// The text of a file, or an empty string when it cannot be read.
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);
