#include "support/ParvelOutput.h"

#include <functional>
#include <set>
#include <sstream>

#include <boost/property_tree/xml_parser.hpp>
#include <gtest/gtest.h>

std::map<unsigned, Flight> ReadFlights(const std::string& path) {
  std::map<unsigned, Flight> flights;
  std::istringstream lines(ReadFile(path));
  std::string line;
  std::getline(lines, line);  // header
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    unsigned id = 0;
    Flight flight{};
    char comma = 0;
    fields >> id >> comma >> flight.origin >> comma >> flight.destination >> comma >>
        flight.departure >> comma >> flight.arrival;
    flights[id] = flight;
  }
  return flights;
}

std::vector<unsigned> SplitNumbers(const std::string& text) {
  std::vector<unsigned> numbers;
  std::istringstream in(text);
  std::string piece;
  while (std::getline(in, piece, ',')) numbers.push_back(static_cast<unsigned>(std::stoul(piece)));
  return numbers;
}

std::vector<int> SplitSigned(const std::string& text) {
  std::vector<int> numbers;
  std::istringstream in(text);
  std::string piece;
  while (std::getline(in, piece, ',')) numbers.push_back(std::stoi(piece));
  return numbers;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

namespace {

// Reads a signed decimal at `at`, moving `at` past it; false when none.
bool ReadInt(const std::string& text, std::size_t& at, int& value) {
  std::size_t end = at;
  if (end < text.size() && text[end] == '-') ++end;
  const std::size_t digits = end;
  while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
  if (end == digits) return false;
  value = std::stoi(text.substr(at, end - at));
  at = end;
  return true;
}

}  // namespace

Counts ParseCountsLine(const std::string& line, const std::string& label,
                       const std::string& threshold) {
  const std::string head = label + " performance: # of balanced chains: ";
  const std::string middle = " # of chains with rest time >= " + threshold + ": ";
  Counts counts;
  std::size_t at = head.size();
  bool ok = StartsWith(line, head) && ReadInt(line, at, counts.balanced) &&
            line.compare(at, middle.size(), middle) == 0;
  if (ok) {
    at += middle.size();
    ok = ReadInt(line, at, counts.rest) && at == line.size();
  }
  EXPECT_TRUE(ok) << line;
  return counts;
}

bool IsRunTimeLine(const std::string& line) {
  const std::string head = "Run time: ";
  const std::string tail = " sec.";
  if (!StartsWith(line, head) || line.size() <= head.size() + tail.size() ||
      line.compare(line.size() - tail.size(), tail.size(), tail) != 0)
    return false;
  const std::string number = line.substr(head.size(), line.size() - head.size() - tail.size());
  std::size_t used = 0;
  const double seconds = std::stod(number, &used);
  return used == number.size() && seconds >= 0.0;
}

std::pair<Counts, Counts> CheckConsole(const ProgramResult& result, const std::string& n,
                                       const std::string& threshold, std::size_t extraLines) {
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_TRUE(result.err.empty()) << result.err;
  const std::vector<std::string> lines = SplitLines(result.out);
  EXPECT_EQ(lines.size(), 6u + extraLines) << result.out;
  if (lines.size() != 6u + extraLines) return {};
  EXPECT_EQ(lines[0], "Running local search with sample size N=" + n);
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[3], "");
  EXPECT_TRUE(IsRunTimeLine(lines.back())) << lines.back();
  EXPECT_EQ(result.out.back(), '\n');
  return {ParseCountsLine(lines[2], "initial", threshold),
          ParseCountsLine(lines[4], "final", threshold)};
}

std::pair<Counts, Counts> CheckExtendedConsole(const ProgramResult& result,
                                               const std::string& first,
                                               const std::string& threshold,
                                               std::size_t extraLines,
                                               std::pair<int, int>* rotations) {
  EXPECT_EQ(result.status, 0) << result.out;
  EXPECT_TRUE(result.err.empty()) << result.err;
  const std::vector<std::string> lines = SplitLines(result.out);
  EXPECT_EQ(lines.size(), 8u + extraLines) << result.out;
  if (lines.size() != 8u + extraLines) return {};
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[4], "");
  EXPECT_TRUE(IsRunTimeLine(lines.back())) << lines.back();
  int initial = -1;
  int final = -1;
  std::size_t at = std::string("initial rotations: ").size();
  EXPECT_TRUE(StartsWith(lines[3], "initial rotations: ") && ReadInt(lines[3], at, initial) &&
              at == lines[3].size())
      << lines[3];
  at = std::string("final rotations: ").size();
  EXPECT_TRUE(StartsWith(lines[6], "final rotations: ") && ReadInt(lines[6], at, final) &&
              at == lines[6].size())
      << lines[6];
  if (rotations != nullptr) *rotations = {initial, final};
  return {ParseCountsLine(lines[2], "initial", threshold),
          ParseCountsLine(lines[5], "final", threshold)};
}

std::string WithoutElapsed(std::string report) {
  const std::string open = "<elapsed_seconds>";
  const std::string close = "</elapsed_seconds>";
  const std::size_t from = report.find(open);
  const std::size_t to = report.find(close);
  if (from == std::string::npos || to == std::string::npos || to < from) return report;
  return report.replace(from, to + close.size() - from, "<elapsed_seconds/>");
}

boost::property_tree::ptree ParseReport(const std::string& path) {
  boost::property_tree::ptree tree;
  std::istringstream text(ReadFile(path));
  boost::property_tree::read_xml(text, tree);
  return tree;
}

std::vector<std::string> ChildNames(const boost::property_tree::ptree& node) {
  std::vector<std::string> names;
  for (const auto& child : node) names.push_back(child.first);
  return names;
}

std::size_t MinimumChainCount(const std::map<unsigned, Flight>& flights, double turn) {
  std::vector<Flight> list;
  for (const auto& entry : flights) list.push_back(entry.second);
  const std::size_t n = list.size();
  std::vector<std::vector<std::size_t>> follows(n);
  for (std::size_t a = 0; a < n; ++a)
    for (std::size_t b = 0; b < n; ++b)
      if (a != b && list[b].origin == list[a].destination &&
          list[b].departure >= list[a].arrival + turn)
        follows[a].push_back(b);
  std::vector<long> predecessorOf(n, -1);
  std::size_t matched = 0;
  for (std::size_t start = 0; start < n; ++start) {
    std::vector<bool> seen(n, false);
    std::function<bool(std::size_t)> augment = [&](std::size_t a) {
      for (std::size_t b : follows[a]) {
        if (seen[b]) continue;
        seen[b] = true;
        if (predecessorOf[b] == -1 || augment(static_cast<std::size_t>(predecessorOf[b]))) {
          predecessorOf[b] = static_cast<long>(a);
          return true;
        }
      }
      return false;
    };
    if (augment(start)) ++matched;
  }
  return n - matched;
}

void ExpectValidChains(const boost::property_tree::ptree& opt,
                       const std::map<unsigned, Flight>& flights) {
  std::multiset<unsigned> covered;
  for (const auto& child : opt.get_child("opt_decomp")) {
    if (child.first != "chain") continue;
    const std::vector<unsigned> chain = SplitNumbers(child.second.data());
    for (std::size_t k = 0; k < chain.size(); ++k) {
      covered.insert(chain[k]);
      if (k == 0) continue;
      EXPECT_EQ(flights.at(chain[k]).origin, flights.at(chain[k - 1]).destination);
      EXPECT_GE(flights.at(chain[k]).departure, flights.at(chain[k - 1]).arrival);
    }
  }
  std::multiset<unsigned> all;
  for (const auto& entry : flights) all.insert(entry.first);
  EXPECT_EQ(covered, all);
}
