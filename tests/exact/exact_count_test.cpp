// The exact count of maximum matchings against a brute-force count on the
// split graph built straight from the passages, and against the graph's own
// maximum matching.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "common/TimeTable.h"
#include "exact/ExactCount.h"
#include "exact/ExactCountOutput.h"
#include "support/Timetables.h"

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

Passage MakePassage(std::uint32_t id, std::uint32_t origin, std::uint32_t destination,
                    double departure, double arrival) {
  Passage p;
  p.id = id;
  p.origin = origin;
  p.destination = destination;
  p.departure = departure;
  p.arrival = arrival;
  return p;
}

// Maximum matchings of the split graph by enumeration over the left vertices
// (passage i as predecessor), with the right vertices already used as a bit
// mask; memoised on (i, mask).
class BruteForce {
 public:
  explicit BruteForce(const std::vector<Passage>& passages)
      : n_(passages.size()), follows_(n_ * n_, false), memo_(n_ << n_) {
    for (std::size_t i = 0; i < n_; ++i)
      for (std::size_t j = 0; j < n_; ++j)
        follows_[i * n_ + j] = i != j && passages[j].origin == passages[i].destination &&
                               passages[j].departure >= passages[i].arrival;
  }

  // (size of a maximum matching, number of maximum matchings)
  std::pair<int, std::uint64_t> Count() { return Best(0, 0); }

 private:
  struct Entry {
    bool known = false;
    int size = 0;
    std::uint64_t count = 0;
  };

  std::pair<int, std::uint64_t> Best(std::size_t i, std::uint32_t used) {
    if (i == n_) return {0, 1};
    Entry& entry = memo_[(i << n_) | used];
    if (entry.known) return {entry.size, entry.count};
    std::pair<int, std::uint64_t> best = Best(i + 1, used);  // i left unmatched
    for (std::size_t j = 0; j < n_; ++j) {
      if (!follows_[i * n_ + j] || (used >> j & 1u)) continue;
      std::pair<int, std::uint64_t> with = Best(i + 1, used | (1u << j));
      with.first += 1;
      if (with.first > best.first) {
        best = with;
      } else if (with.first == best.first) {
        best.second += with.second;
      }
    }
    entry = Entry{true, best.first, best.second};
    return best;
  }

  std::size_t n_;
  std::vector<bool> follows_;
  std::vector<Entry> memo_;
};

// Small timetables full of the awkward cases: few distinct times (ties),
// times on both sides of midnight (arrival before departure), passages back
// to their own terminal, NaN times.
std::vector<Passage> RandomPassages(std::mt19937_64& engine) {
  std::uniform_int_distribution<int> passageCount(2, 14);
  std::uniform_int_distribution<std::uint32_t> terminalCount(1, 4);
  std::uniform_int_distribution<int> hour(0, 7);
  std::uniform_int_distribution<int> percent(0, 99);
  const int n = passageCount(engine);
  const std::uint32_t terminals = terminalCount(engine);
  std::uniform_int_distribution<std::uint32_t> terminal(1, terminals);
  auto time = [&]() { return percent(engine) < 4 ? kNaN : 3.0 * hour(engine); };
  std::vector<Passage> passages;
  for (int k = 0; k < n; ++k) {
    const std::uint32_t origin = terminal(engine);
    std::uint32_t destination = terminal(engine);
    double departure = time();
    double arrival = time();
    if (percent(engine) < 20) {
      // Round trip whose arrival is not after its departure.
      destination = origin;
      if (arrival > departure) std::swap(arrival, departure);
    }
    passages.push_back(MakePassage(static_cast<std::uint32_t>(100 + 7 * k), origin, destination,
                                   departure, arrival));
  }
  return passages;
}

unsigned int GraphMatchingSize(TimeTable& table, BGraph& graph) {
  Poset poset;
  poset.CreatePoset(table);
  graph.InitGraphFromPoset(table, poset);
  return graph.GetCardinalityOfMaxMatching();
}

TEST(ExactCount, MatchesBruteForceOnRandomSmallTimetables) {
  std::mt19937_64 engine(20261207);
  int roundTripTables = 0;
  for (int trial = 0; trial < 400; ++trial) {
    const std::vector<Passage> passages = RandomPassages(engine);
    TimeTable table = MakeTable(passages);
    const std::pair<int, std::uint64_t> expected = BruteForce(passages).Count();

    BGraph graph;
    const unsigned int graphSize = GraphMatchingSize(table, graph);
    const exact::ExactCount counted = exact::ComputeExactCount(table, graph);

    ASSERT_TRUE(counted.available) << "trial " << trial << ": " << counted.reason;
    EXPECT_EQ(counted.count.get_str(), std::to_string(expected.second)) << "trial " << trial;
    EXPECT_EQ(counted.matchingSize, static_cast<std::size_t>(expected.first)) << "trial " << trial;
    EXPECT_EQ(counted.matchingSize, graphSize) << "trial " << trial;
    EXPECT_EQ(counted.cells, graph.EdgeCount()) << "trial " << trial;
    EXPECT_NEAR(counted.log10, std::log10(static_cast<double>(expected.second)), 1e-12);
    for (const Passage& p : passages)
      if (p.origin == p.destination && p.arrival <= p.departure) {
        ++roundTripTables;
        break;
      }
  }
  // The generator must really exercise the left-out cells of round trips.
  EXPECT_GT(roundTripTables, 100);
}

TEST(ExactCount, PendingRoundTripsUpToTheLimitAreCounted) {
  // Round trips out at 23, back at 1, at one terminal, with another column
  // at 12 in between: every one of them is pending there.
  for (std::size_t trips : {1u, 2u, 5u, static_cast<unsigned>(exact::kMaxPendingRoundTrips)}) {
    std::vector<Passage> passages;
    passages.push_back(MakePassage(1, 7, 8, 12.0, 13.0));
    passages.push_back(MakePassage(2, 8, 7, 0.0, 0.5));
    for (std::size_t k = 0; k < trips; ++k)
      passages.push_back(
          MakePassage(static_cast<std::uint32_t>(10 + k), 7, 7, 23.0 - 0.5 * (k % 2), 1.0));
    const TimeTable table = MakeTable(passages);
    std::vector<TerminalBoard> boards = BuildTerminalBoards(passages);
    ASSERT_EQ(boards.size(), 2u);
    EXPECT_EQ(boards[0].MaxPendingAtOnce(), trips);

    const exact::ExactCount counted = exact::CountMinimumDecompositions(table);
    ASSERT_TRUE(counted.available) << counted.reason;
    EXPECT_EQ(counted.count.get_str(), std::to_string(BruteForce(passages).Count().second))
        << trips << " round trips";
  }
}

TEST(ExactCount, TooManyPendingRoundTripsAreRefusedWithTheReason) {
  std::vector<Passage> passages;
  passages.push_back(MakePassage(1, 7, 8, 12.0, 13.0));
  for (std::size_t k = 0; k <= exact::kMaxPendingRoundTrips; ++k)
    passages.push_back(MakePassage(static_cast<std::uint32_t>(10 + k), 7, 7, 23.0, 1.0));
  const exact::ExactCount counted = exact::CountMinimumDecompositions(MakeTable(passages));
  EXPECT_FALSE(counted.available);
  EXPECT_NE(counted.reason.find("terminal 7"), std::string::npos) << counted.reason;
  EXPECT_NE(counted.reason.find(std::to_string(exact::kMaxPendingRoundTrips + 1)),
            std::string::npos)
      << counted.reason;
}

TEST(ExactCount, DuplicatePassageNumbersAreRefused) {
  TimeTable table = MakeTable({MakePassage(5, 1, 2, 8.0, 9.0), MakePassage(6, 2, 1, 10.0, 11.0),
                               MakePassage(5, 1, 2, 12.0, 13.0)});
  BGraph graph;
  GraphMatchingSize(table, graph);
  const exact::ExactCount counted = exact::ComputeExactCount(table, graph);
  EXPECT_FALSE(counted.available);
  EXPECT_EQ(counted.reason, "duplicate passage numbers");
}

TEST(ExactCount, GraphThatIsNotTheTimetablesIsRefused) {
  TimeTable table = MakeTable({MakePassage(1, 1, 2, 8.0, 9.0), MakePassage(2, 2, 1, 10.0, 11.0)});
  BGraph graph;
  GraphMatchingSize(table, graph);
  graph.AddEdge(1, 2);  // passage 2 followed by passage 1: not in the timetable
  EXPECT_FALSE(exact::ComputeExactCount(table, graph).available);
}

TEST(ExactCount, EmptyTimetableHasOneDecomposition) {
  const exact::ExactCount counted = exact::CountMinimumDecompositions(TimeTable());
  ASSERT_TRUE(counted.available);
  EXPECT_EQ(counted.count, 1);
  EXPECT_EQ(counted.matchingSize, 0u);
  EXPECT_EQ(counted.log10, 0.0);
}

TEST(ExactCount, CompleteBoardGivesTheFactorial) {
  // m arrivals at terminal 2 by 1 h, m departures from it at 5 h: every
  // arrival connects to every departure, so there are m! perfect matchings.
  const std::size_t m = 60;
  std::vector<Passage> passages;
  for (std::size_t k = 0; k < m; ++k) {
    passages.push_back(MakePassage(static_cast<std::uint32_t>(k + 1), 1, 2, 0.0, 1.0));
    passages.push_back(MakePassage(static_cast<std::uint32_t>(m + k + 1), 2, 3, 5.0, 6.0));
  }
  mpz_class factorial = 1;
  for (std::size_t k = 2; k <= m; ++k) factorial *= static_cast<unsigned long>(k);
  const exact::ExactCount counted = exact::CountMinimumDecompositions(MakeTable(passages));
  ASSERT_TRUE(counted.available);
  EXPECT_EQ(counted.count, factorial);
  EXPECT_EQ(counted.matchingSize, m);
  EXPECT_NEAR(counted.log10, std::lgamma(m + 1.0) / std::log(10.0), 1e-9);
}

TEST(ExactCount, Log10OfHugeIntegers) {
  mpz_class value;
  mpz_ui_pow_ui(value.get_mpz_t(), 10, 100000);
  EXPECT_NEAR(exact::Log10(value), 100000.0, 1e-9);
  mpz_ui_pow_ui(value.get_mpz_t(), 2, 3000);
  value *= 3;
  EXPECT_NEAR(exact::Log10(value), 3000 * std::log10(2.0) + std::log10(3.0), 1e-9);
}

}  // namespace
