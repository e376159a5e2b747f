#include "common/TerminalIndex.h"

#include <algorithm>
#include <utility>

std::vector<TerminalGroup> GroupByTerminal(const std::vector<Passage>& passages) {
  // (terminal, position) of every arrival and every departure, sorted: runs
  // of one terminal, positions ascending inside a run.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> arrivals;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> departures;
  arrivals.reserve(passages.size());
  departures.reserve(passages.size());
  for (std::uint32_t p = 0; p < passages.size(); ++p) {
    arrivals.emplace_back(passages[p].destination, p);
    departures.emplace_back(passages[p].origin, p);
  }
  std::sort(arrivals.begin(), arrivals.end());
  std::sort(departures.begin(), departures.end());

  std::vector<TerminalGroup> groups;
  std::size_t a = 0;
  std::size_t d = 0;
  while (a < arrivals.size() || d < departures.size()) {
    std::uint32_t terminal = 0;
    if (a == arrivals.size())
      terminal = departures[d].first;
    else if (d == departures.size())
      terminal = arrivals[a].first;
    else
      terminal = std::min(arrivals[a].first, departures[d].first);
    TerminalGroup group;
    group.terminal = terminal;
    for (; a < arrivals.size() && arrivals[a].first == terminal; ++a)
      group.arriving.push_back(arrivals[a].second);
    for (; d < departures.size() && departures[d].first == terminal; ++d)
      group.departing.push_back(departures[d].second);
    groups.push_back(std::move(group));
  }
  return groups;
}
