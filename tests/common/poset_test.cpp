#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>

#include "common/Poset.h"
#include "support/Timetables.h"

namespace {

using Pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

Pairs PairsOf(const std::vector<Passage>& passages) {
  TimeTable table = MakeTable(passages);
  Poset poset;
  poset.CreatePoset(table);
  return poset.pairs;
}

}  // namespace

TEST(Poset, FewerThanTwoPassagesGiveNoPairs) {
  EXPECT_TRUE(PairsOf({}).empty());
  EXPECT_TRUE(PairsOf({{1, 1, 1, 8.0, 9.0}}).empty());
}

TEST(Poset, DepartureAtArrivalTimeIsEnoughAndDirectionComesFromTimes) {
  const Passage first{1, 1, 2, 8.0, 9.0};
  const Passage second{2, 2, 1, 9.0, 10.0};
  EXPECT_EQ(PairsOf({first, second}), (Pairs{{1, 2}}));
  EXPECT_EQ(PairsOf({second, first}), (Pairs{{1, 2}}));
  Passage early = second;
  early.departure = 8.99;
  EXPECT_TRUE(PairsOf({first, early}).empty());
}

TEST(Poset, RelationIsNotTransitive) {
  EXPECT_EQ(PairsOf({{1, 1, 2, 8, 9}, {2, 2, 3, 10, 11}, {3, 3, 1, 12, 13}}),
            (Pairs{{1, 2}, {2, 3}}));
}

TEST(Poset, ForwardPairPrecedesBackwardPairAndOrderFollowsPositions) {
  // Equal times and crossing terminals: both directions connect.
  const Passage a{5, 1, 2, 7, 7};
  const Passage b{6, 2, 1, 7, 7};
  const Passage c{9, 1, 3, 20, 21};
  EXPECT_EQ(PairsOf({a, b, c}), (Pairs{{5, 6}, {6, 5}, {6, 9}}));
}

TEST(Poset, OvernightPassagesConnectBothWays) {
  // An overnight flight arrives at 1.0 after leaving at 23.0: the clock comparison links it in
  // both directions with a round trip, which is what real days look like.
  const Passage out{1, 1, 2, 23.0, 1.0};
  const Passage back{2, 2, 1, 6.0, 8.0};
  EXPECT_EQ(PairsOf({out, back}), (Pairs{{1, 2}, {2, 1}}));
}

TEST(Poset, NanTimesNeverConnect) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(PairsOf({{1, 1, 2, 8, nan}, {2, 2, 1, 9, 10}}).empty());
  EXPECT_TRUE(PairsOf({{1, 1, 2, 8, 9}, {2, 2, 1, nan, 10}}).empty());
}

TEST(Poset, InfiniteTimesCompareAsDoubles) {
  const double inf = std::numeric_limits<double>::infinity();
  // An infinite departure follows any arrival, an infinite one included; an
  // infinite arrival is followed only by an infinite departure.
  EXPECT_EQ(PairsOf({{1, 1, 2, 8, inf}, {2, 2, 1, inf, 10}}), (Pairs{{1, 2}}));
  EXPECT_EQ(PairsOf({{1, 1, 2, 8, inf}, {2, 2, 1, 23, 10}}), Pairs{});
  EXPECT_EQ(PairsOf({{1, 1, 2, 8, -inf}, {2, 2, 1, -inf, 10}}), (Pairs{{1, 2}}));
}

TEST(Poset, PrintWritesOneLinePerPair) {
  TimeTable table = MakeTable({{1, 1, 2, 8, 9}, {2, 2, 1, 9, 10}});
  Poset poset;
  poset.CreatePoset(table);
  testing::internal::CaptureStdout();
  poset.Print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "1 <= 2\n");
}

TEST(Passage, PrintUsesDefaultStreamFormat) {
  testing::internal::CaptureStdout();
  Passage{17, 3, 5, 6.5, 8.25}.Print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "passage: 17 terminals: 3 -> 5 time: 6.5 -> 8.25\n");
}

TEST(Poset, SweepGivesThePairsOfThePairTestInTheSameOrder) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 4003; ++trial) {
    // The last days are large enough to be swept on two threads.
    TimeTable table = trial < 4000 ? RandomHostileDay(random, trial < 3000 ? 12 : 80)
                                   : RandomHostileDay(random, 6000, 4096);
    Poset tested;
    tested.CreatePosetByPairTest(table);
    Poset swept;
    swept.pairs = {{7, 8}};  // both append
    swept.CreatePoset(table);
    ASSERT_EQ(swept.pairs.size(), tested.pairs.size() + 1) << "trial " << trial;
    ASSERT_TRUE(std::equal(tested.pairs.begin(), tested.pairs.end(), swept.pairs.begin() + 1))
        << "trial " << trial;
    ASSERT_EQ(Poset::CountPairs(table.passages), tested.pairs.size()) << "trial " << trial;
  }
}
