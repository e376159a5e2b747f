// exact_bench [<passages> ...]
// Times the exact count of minimum chain decompositions on generated days
// (default sizes 1,000, 10,000 and 100,000 passages; seed 1), then on the
// same days with the most round trips that can be counted added at hub 1,
// all waiting over its whole day (the costly case of the inclusion-exclusion
// sweep). The count works on the timetable alone, so the time covers
// building the terminal boards and the big-integer arithmetic, not the split
// graph; the decimal conversion of the result is timed apart.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "bench/TimetableGenerator.h"
#include "bipartite/TerminalBoards.h"
#include "exact/ExactCount.h"
#include "exact/ExactCountOutput.h"

namespace {

constexpr int kRepetitions = 3;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Overnight loops at hub 1: out late in the evening, back early in the
// morning, so each one waits over nearly every departure of the hub.
void AddWaitingRoundTrips(TimeTable& table, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    Passage p;
    p.id = static_cast<std::uint32_t>(table.passages.size() + 1);
    p.origin = 1;
    p.destination = 1;
    p.departure = 23.5 - 0.25 * static_cast<double>(k);
    p.arrival = 4.0 + 0.25 * static_cast<double>(k);
    table.positionById[p.id] = static_cast<std::uint32_t>(table.passages.size());
    table.passages.push_back(p);
  }
}

std::size_t MostPending(const TimeTable& table) {
  std::size_t most = 0;
  for (const TerminalBoard& board : BuildTerminalBoards(table.passages))
    most = std::max(most, board.MaxPendingAtOnce());
  return most;
}

// The generated day, with as many waiting round trips added (at most
// `waitingRoundTrips`) as keep it countable.
TimeTable MakeDay(std::size_t passages, std::size_t waitingRoundTrips) {
  for (std::size_t added = waitingRoundTrips;; --added) {
    TimeTable table = bench::GenerateTimetable(passages, 1);
    AddWaitingRoundTrips(table, added);
    if (added == 0 || MostPending(table) <= exact::kMaxPendingRoundTrips) return table;
  }
}

void Measure(std::size_t passages, std::size_t waitingRoundTrips) {
  const TimeTable table = MakeDay(passages, waitingRoundTrips);
  std::size_t roundTrips = 0;
  std::size_t mostPending = 0;
  const std::vector<TerminalBoard> boards = BuildTerminalBoards(table.passages);
  for (const TerminalBoard& board : boards) {
    roundTrips += board.roundTrips.size();
    mostPending = std::max(mostPending, board.MaxPendingAtOnce());
  }

  double best = 1e300;
  exact::ExactCount counted;
  for (int k = 0; k < kRepetitions; ++k) {
    const auto start = std::chrono::steady_clock::now();
    counted = exact::CountMinimumDecompositions(table);
    best = std::min(best, SecondsSince(start));
  }
  std::cout << table.passages.size() << " passages, " << boards.size() << " terminals, " << roundTrips
            << " left-out round-trip cells, at most " << mostPending << " pending at once: ";
  if (!counted.available) {
    std::cout << "unavailable (" << counted.reason << ")";
  } else {
    std::cout << exact::FormatExactCount(counted.count) << " ("
              << counted.count.get_str().size() << " digits, matching size "
              << counted.matchingSize << ")";
  }
  std::cout << ", best of " << kRepetitions << ": " << best * 1000.0 << " ms";
  const auto start = std::chrono::steady_clock::now();
  const std::size_t digits = counted.count.get_str().size();
  std::cout << "; all " << digits << " digits as text: " << SecondsSince(start) * 1000.0 << " ms"
            << std::endl;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<std::size_t> sizes = {1000, 10000, 100000};
  if (argc > 1) {
    sizes.clear();
    for (int i = 1; i < argc; ++i) {
      const long value = std::atol(argv[i]);
      if (value <= 0) {
        std::cout << "passages must be positive whole numbers: " << argv[i] << std::endl;
        return 1;
      }
      sizes.push_back(static_cast<std::size_t>(value));
    }
  }
  for (std::size_t passages : sizes) Measure(passages, 0);
  for (std::size_t passages : sizes) Measure(passages, exact::kMaxPendingRoundTrips);
  return 0;
}
