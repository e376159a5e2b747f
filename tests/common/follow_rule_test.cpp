// A minimum turnaround time against a brute force written here: the pairs
// and their count, the terminal boards, the exact count, and the option's
// values.

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <vector>

#include <boost/program_options.hpp>

#include "bipartite/TerminalBoards.h"
#include "common/FollowRule.h"
#include "common/Poset.h"
#include "exact/ExactCount.h"
#include "support/SmallDays.h"
#include "support/Timetables.h"

namespace {

// b can follow a: it leaves where a arrives, at least `turn` hours after.
bool Follows(const Passage& a, const Passage& b, double turn) {
  return b.origin == a.destination && b.departure >= a.arrival + turn;
}

// Turns that land exactly on the days' times (6.5 + 1.5 = 8, 6 + 2 = 8,
// 0.5 + 5.5 = 6) and beyond them.
const double kTurns[] = {0.0, 0.25, 1.5, 5.75, 24.0};
const double kCountTurns[] = {0.0, 2.0, 5.5, 0.25};

}  // namespace

TEST(FollowRule, PairsCountAndBoardsAgreeWithABruteForceForEveryTurn) {
  std::mt19937 random(31);
  // The last two days are large enough to be swept on two threads.
  for (int trial = 0; trial < 1502; ++trial) {
    TimeTable table =
        trial < 1500 ? RandomHostileDay(random, 14) : RandomHostileDay(random, 4500, 4096);
    const double turn = kTurns[trial % 5];
    const FollowRule rule{turn};
    Poset poset;
    poset.CreatePoset(table, rule);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;
    const std::vector<Passage>& p = table.passages;
    for (std::size_t i = 0; i < p.size(); ++i) {
      for (std::size_t j = i + 1; j < p.size(); ++j) {
        if (Follows(p[i], p[j], turn)) expected.emplace_back(p[i].id, p[j].id);
        if (Follows(p[j], p[i], turn)) expected.emplace_back(p[j].id, p[i].id);
      }
    }
    ASSERT_EQ(poset.pairs, expected) << "trial " << trial << ", turn " << turn;
    ASSERT_EQ(Poset::CountPairs(p, rule), expected.size()) << "trial " << trial;
    std::uint64_t cells = 0;
    for (const TerminalBoard& board : BuildTerminalBoards(p, rule)) cells += board.Cells();
    ASSERT_EQ(cells, expected.size()) << "trial " << trial << ", turn " << turn;
  }
}

TEST(FollowRule, ExactCountWithATurnIsTheNumberOfMaximumMatchings) {
  std::mt19937 random(37);
  int counted = 0;
  for (int trial = 0; trial < 600; ++trial) {
    std::vector<Passage> passages = RandomPassages(random, 3 + trial % 7);
    for (std::size_t k = 0; k < passages.size(); ++k) passages[k].id = static_cast<std::uint32_t>(k);
    const TimeTable table = MakeTable(passages);
    const double turn = kCountTurns[trial % 4];
    const int n = static_cast<int>(passages.size());
    std::set<SplitEdge> edges;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j < n; ++j)
        if (i != j && Follows(passages[i], passages[j], turn)) edges.emplace(i, n + j);
    MaximumMatchingEnumerator enumerator(n, edges);
    const std::size_t matchings = enumerator.MaximumMatchings().size();
    const exact::ExactCount count = exact::CountMinimumDecompositions(table, FollowRule{turn});
    if (!count.available) continue;
    ++counted;
    ASSERT_EQ(count.count, matchings) << "trial " << trial << ", turn " << turn;
    ASSERT_EQ(count.matchingSize, enumerator.MaximumSize()) << "trial " << trial;
  }
  EXPECT_GT(counted, 500);
}

TEST(FollowRule, OptionTakesHoursFromZeroToADayAndKeepsTheLineForAnythingElse) {
  namespace po = boost::program_options;
  auto read = [](const std::string& text) {
    MinTurnOption option;
    po::options_description desc;
    desc.add_options()("min_turn", po::value<MinTurnOption>(&option));
    po::variables_map vm;
    const std::string arg = "--min_turn=" + text;
    const char* argv[] = {"program", arg.c_str()};
    po::store(po::parse_command_line(2, argv, desc), vm);
    po::notify(vm);
    return option;
  };
  EXPECT_EQ(read("0.75").hours, 0.75);
  EXPECT_EQ(read("0").hours, 0.0);
  EXPECT_TRUE(read("24").error.empty());
  for (const char* bad : {"-0.5", "25", "nan", "inf", "1h", "0x"}) {
    const MinTurnOption option = read(bad);
    EXPECT_EQ(option.error,
              std::string("--min_turn must be a number of hours from 0 to 24: \"") + bad + "\"")
        << bad;
  }
}
