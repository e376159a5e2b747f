#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "bipartite/BGraph.h"
#include "bipartite/DecompositionVerifier.h"
#include "support/SmallDays.h"
#include "support/Timetables.h"

namespace {

using Chains = BGraph::Decomposition;

struct Day {
  TimeTable table;
  BGraph graph;
  std::vector<BGraph::Matching> maximumMatchings;
};

Day BuildDay(const std::vector<Passage>& passages) {
  Day day;
  day.table = MakeTable(passages);
  Poset poset;
  poset.CreatePoset(day.table);
  day.graph.InitGraphFromPoset(day.table, poset);
  MaximumMatchingEnumerator enumerator(static_cast<int>(passages.size()),
                                       SplitEdges(day.table, poset));
  day.maximumMatchings = enumerator.MaximumMatchings();
  return day;
}

// Closed rotations of a decomposition made from `matching`: chains less
// passages plus matched pairs.
int LoopsOf(const Day& day, const BGraph::Matching& matching, const Chains& chains) {
  return static_cast<int>(chains.size() + matching.size() - day.table.passages.size());
}

// Every way of breaking a correct decomposition that must be objected to,
// with the loops it declared.
std::vector<std::pair<std::string, Chains>> Broken(const Chains& chains, std::mt19937& rng) {
  std::vector<std::pair<std::string, Chains>> broken;
  const std::size_t c = rng() % chains.size();
  Chains dropped = chains;
  dropped[c].erase(dropped[c].begin() + static_cast<long>(rng() % dropped[c].size()));
  if (dropped[c].empty()) dropped.erase(dropped.begin() + static_cast<long>(c));
  broken.emplace_back("a passage dropped", dropped);
  Chains twice = chains;
  twice[rng() % twice.size()].push_back(chains[c].front());
  broken.emplace_back("a passage listed twice", twice);
  Chains foreign = chains;
  foreign[c].back() = 999999;
  broken.emplace_back("a passage not in the timetable", foreign);
  if (chains[c].size() >= 2) {
    Chains split = chains;
    const long cut = 1 + static_cast<long>(rng() % (chains[c].size() - 1));
    split.push_back(Chains::value_type(split[c].begin() + cut, split[c].end()));
    split[c].erase(split[c].begin() + cut, split[c].end());
    broken.emplace_back("a chain split in two", split);
  }
  if (chains.size() >= 2) {
    Chains joined = chains;
    const std::size_t other = (c + 1) % chains.size();
    joined[c].insert(joined[c].end(), chains[other].begin(), chains[other].end());
    joined.erase(joined.begin() + static_cast<long>(other));
    broken.emplace_back("two chains joined", joined);
  }
  return broken;
}

}  // namespace

// The decompositions of all maximum matchings of small random days pass
// with their closed rotations declared; each broken copy is objected to.
TEST(DecompositionVerifier, PassesEveryMaximumMatchingAndObjectsToBrokenCopies) {
  std::mt19937 rng(97);
  int loops = 0;
  int objections = 0;
  for (int instance = 0; instance < 150; ++instance) {
    const Day day = BuildDay(RandomPassages(rng, 1 + instance % 8));
    for (BGraph::Matching matching : day.maximumMatchings) {
      const Chains chains = day.graph.GetDillworthDecompositionFromMatching(matching);
      const int declared = LoopsOf(day, matching, chains);
      loops += declared;
      SCOPED_TRACE("instance " + std::to_string(instance));
      ASSERT_EQ(VerifyDecomposition(day.table, chains, declared), "");
      ASSERT_EQ(VerifyDecomposition(day.table, chains, kAnyClosedRotations), "");
      EXPECT_NE(VerifyDecomposition(day.table, chains, declared + 1), "");
      for (const auto& [how, wrong] : Broken(chains, rng)) {
        EXPECT_NE(VerifyDecomposition(day.table, wrong, declared), "") << how;
        ++objections;
      }
    }
  }
  EXPECT_GT(loops, 0) << "the days must include closed rotations";
  EXPECT_GT(objections, 1000);
}

TEST(DecompositionVerifier, NamesTheFault) {
  // 1: 1 -> 2 at 8-9; 2: 2 -> 1 at 10-11; 3: 1 -> 3 at 12-13.
  const TimeTable table = MakeTable({{1, 1, 2, 8, 9}, {2, 2, 1, 10, 11}, {3, 1, 3, 12, 13}});
  EXPECT_EQ(VerifyDecomposition(table, {{1, 2, 3}}), "");
  EXPECT_EQ(VerifyDecomposition(table, {{1, 2}, {3}}),
            "2 chains, but passages less maximum matching size plus closed rotations is 1");
  EXPECT_EQ(VerifyDecomposition(table, {{2, 1, 3}}), "chain 1: passage 1 cannot follow passage 2");
  EXPECT_EQ(VerifyDecomposition(table, {{1, 2}}), "passage 3 is in no chain");
  EXPECT_EQ(VerifyDecomposition(table, {{1, 2, 3}, {}}), "chain 2 is empty");
  EXPECT_EQ(VerifyDecomposition(table, {{1, 2, 3, 1}}),
            "passage 1 is listed 2 times, the timetable has it 1 times");

  // 2 now arrives back overnight before 1 leaves: 1 -> 2 -> 1 closes a loop.
  const TimeTable loop = MakeTable({{1, 1, 2, 8, 9}, {2, 2, 1, 10, 7}, {3, 4, 3, 12, 13}});
  EXPECT_EQ(VerifyDecomposition(loop, {{1, 2}, {3}}), "1 closed rotations, 0 declared");
  EXPECT_EQ(VerifyDecomposition(loop, {{1, 2}, {3}}, 1), "");
  EXPECT_EQ(VerifyDecomposition(loop, {{2, 1}, {3}}, 1),
            "chain 1 closes a loop but does not start at its earliest passage 1");
}
