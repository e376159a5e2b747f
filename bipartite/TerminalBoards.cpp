#include "bipartite/TerminalBoards.h"

#include <algorithm>
#include <cmath>

#include "common/TerminalIndex.h"

namespace {

struct Column {
  double departure = 0.0;
  bool roundTrip = false;
  double arrival = 0.0;  // read only for round trips
};

struct BoardInput {
  std::vector<double> arrivals;  // rows that some column can see (not NaN)
  std::size_t rows = 0;
  std::vector<Column> columns;
};

// Sweep order: columns departing at NaN first (they see no row), then by
// departure. At equal departures round trips come first, the later arrival
// first, so that as few of them as possible are pending over other columns.
bool SweepsBefore(const Column& a, const Column& b) {
  const bool aNan = std::isnan(a.departure);
  const bool bNan = std::isnan(b.departure);
  if (aNan || bNan) return aNan && !bNan;
  if (a.departure != b.departure) return a.departure < b.departure;
  if (a.roundTrip != b.roundTrip) return a.roundTrip;
  return a.roundTrip && a.arrival > b.arrival;
}

BoardInput InputOf(const TerminalGroup& group, const std::vector<Passage>& passages,
                   const FollowRule& rule) {
  BoardInput input;
  input.rows = group.arriving.size();
  for (std::uint32_t p : group.arriving)
    if (!std::isnan(passages[p].arrival)) input.arrivals.push_back(passages[p].arrival);
  for (std::uint32_t p : group.departing) {
    const Passage& passage = passages[p];
    const bool roundTrip = rule.CanFollow(passage, passage);
    input.columns.push_back(Column{passage.departure, roundTrip, passage.arrival});
  }
  return input;
}

TerminalBoard MakeBoard(std::uint32_t terminal, BoardInput& input, const FollowRule& rule) {
  std::sort(input.arrivals.begin(), input.arrivals.end());
  std::sort(input.columns.begin(), input.columns.end(), SweepsBefore);

  TerminalBoard board;
  board.terminal = terminal;
  board.rows = input.rows;
  std::vector<double> departures;  // of the columns that depart at a number
  std::size_t nanColumns = 0;
  for (const Column& column : input.columns) {
    if (std::isnan(column.departure)) {
      ++nanColumns;
      board.heights.push_back(0);
      continue;
    }
    departures.push_back(column.departure);
    // Ready times grow with the arrivals, so the rows seen are a prefix.
    const auto seen = std::upper_bound(
        input.arrivals.begin(), input.arrivals.end(), column.departure,
        [&rule](double departure, double arrival) { return departure < rule.ReadyAt(arrival); });
    board.heights.push_back(static_cast<std::size_t>(seen - input.arrivals.begin()));
  }
  for (std::size_t j = 0; j < input.columns.size(); ++j) {
    const Column& column = input.columns[j];
    if (!column.roundTrip) continue;
    const auto first =
        std::lower_bound(departures.begin(), departures.end(), rule.ReadyAt(column.arrival));
    board.roundTrips.push_back(
        RoundTrip{nanColumns + static_cast<std::size_t>(first - departures.begin()), j});
  }
  return board;
}

}  // namespace

std::uint64_t TerminalBoard::Cells() const {
  std::uint64_t cells = 0;
  for (std::size_t height : heights) cells += height;
  return cells - roundTrips.size();
}

std::size_t TerminalBoard::MaxPendingAtOnce() const {
  // +1 where a pending round trip starts, -1 at its own column.
  std::vector<long> change(heights.size() + 1, 0);
  for (const RoundTrip& trip : roundTrips) {
    if (!trip.IsPending()) continue;
    ++change[trip.firstColumn];
    --change[trip.column];
  }
  long pending = 0;
  long most = 0;
  for (long delta : change) {
    pending += delta;
    most = std::max(most, pending);
  }
  return static_cast<std::size_t>(most);
}

std::vector<TerminalBoard> BuildTerminalBoards(const std::vector<Passage>& passages,
                                               const FollowRule& rule) {
  const std::vector<TerminalGroup> groups = GroupByTerminal(passages);
  std::vector<TerminalBoard> boards;
  boards.reserve(groups.size());
  for (const TerminalGroup& group : groups) {
    BoardInput input = InputOf(group, passages, rule);
    boards.push_back(MakeBoard(group.terminal, input, rule));
  }
  return boards;
}
