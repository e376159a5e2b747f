#pragma once

// Reading Parvel's output in the end-to-end tests: the timetable read
// independently of the program, the console lines, the report.

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <boost/property_tree/ptree.hpp>

#include "support/ProgramRunner.h"

struct Flight {
  unsigned origin;
  unsigned destination;
  double departure;
  double arrival;
};

// Passage number to flight, read from a timetable file independently of
// the program.
std::map<unsigned, Flight> ReadFlights(const std::string& path);

std::vector<unsigned> SplitNumbers(const std::string& text);
std::vector<int> SplitSigned(const std::string& text);

struct Counts {
  int balanced = -1;
  int rest = -1;
};

bool StartsWith(const std::string& text, const std::string& prefix);

// "<label> performance: # of balanced chains: B # of chains with rest time >= T: R"
Counts ParseCountsLine(const std::string& line, const std::string& label,
                       const std::string& threshold);

bool IsRunTimeLine(const std::string& line);

// Checks the console layout of a normal run (with `extraLines` more lines
// between the final line and the run time) and returns the initial and
// final counts.
std::pair<Counts, Counts> CheckConsole(const ProgramResult& result, const std::string& n,
                                       const std::string& threshold, std::size_t extraLines = 0);

// The report with its elapsed time blanked, for comparing runs.
std::string WithoutElapsed(std::string report);

boost::property_tree::ptree ParseReport(const std::string& path);
std::vector<std::string> ChildNames(const boost::property_tree::ptree& node);

// Expects the chains of a report's decomposition to cover every flight once,
// each one flyable (the next leaves where the last landed, not before).
void ExpectValidChains(const boost::property_tree::ptree& opt,
                       const std::map<unsigned, Flight>& flights);

// Fewest chains that cover the flights: their number less a maximum
// matching of "b can directly follow a" (b leaving at least `turn` hours
// after a arrives), found by augmenting paths.
std::size_t MinimumChainCount(const std::map<unsigned, Flight>& flights, double turn = 0.0);

// The console of a run with an extension option: `first` and an empty
// line, the initial line and "initial rotations: R", an empty line, the
// final line and "final rotations: R", `extraLines` more lines, the run
// time. Returns the initial and final counts; `rotations` gets the two
// rotation counts.
std::pair<Counts, Counts> CheckExtendedConsole(const ProgramResult& result,
                                               const std::string& first,
                                               const std::string& threshold,
                                               std::size_t extraLines,
                                               std::pair<int, int>* rotations = nullptr);
