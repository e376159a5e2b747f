// The exchange search against independent truth: chain counts of the
// decomposition route after every move, re-pairing and polish (with and
// without a minimum turn), the polish's board against every assignment of
// it,
// and the best decomposition, the bounds and the stop at a proven best
// against all maximum matchings of small days.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <sstream>

#include "LocalSearchTestSupport.h"
#include "bipartite/DecompositionVerifier.h"
#include "localsearch/BalancedBound.h"
#include "localsearch/BoardPolish.h"
#include "localsearch/ChainExchange.h"
#include "localsearch/Decomposition.h"
#include "localsearch/ExchangeSearch.h"
#include "localsearch/SearchBounds.h"
#include "localsearch/SearchStop.h"

namespace {

bool IsMatchingOfGraph(const BGraph& graph, const BGraph::Matching& matching) {
  const std::set<std::pair<int, int>> edges(graph.edgeList.begin(), graph.edgeList.end());
  std::set<int> used;
  for (const auto& pair : matching) {
    if (!edges.count(pair)) return false;
    if (!used.insert(pair.first).second || !used.insert(pair.second).second) return false;
  }
  return true;
}

// The best counts over every re-pairing of the board's heads and tails
// that pairs as many heads as `matching` does there, by brute force
// through the decomposition route; the number of chains must not change.
DecompositionCounts BestOverBoard(BGraph& graph, TimeTable& table,
                                  const BGraph::Matching& matching, double threshold,
                                  const std::vector<std::uint32_t>& heads,
                                  const std::vector<std::uint32_t>& tails) {
  const int n = graph.numberOfVertices / 2;
  const std::set<std::pair<int, int>> edges(graph.edgeList.begin(), graph.edgeList.end());
  std::set<int> onBoard;
  for (std::uint32_t row : heads) onBoard.insert(static_cast<int>(row));
  BGraph::Matching kept;
  std::size_t paired = 0;
  for (const auto& pair : matching) {
    if (onBoard.count(pair.first))
      ++paired;
    else
      kept.push_back(pair);
  }
  const DecompositionCounts now = lstest::CountsOf(graph, table, matching, threshold);
  DecompositionCounts best = now;
  std::vector<char> used(tails.size(), 0);
  BGraph::Matching trial = kept;
  std::function<void(std::size_t)> assign = [&](std::size_t i) {
    if (i == heads.size()) {
      if (trial.size() != matching.size()) return;
      const DecompositionCounts c = lstest::CountsOf(graph, table, trial, threshold);
      EXPECT_EQ(c.chains, now.chains) << "a re-pairing of the board closed a loop";
      if (std::make_pair(c.balanced, c.rest) > std::make_pair(best.balanced, best.rest)) best = c;
      return;
    }
    assign(i + 1);  // head i ends its chain
    for (std::size_t j = 0; j < tails.size(); ++j) {
      const std::pair<int, int> cell(static_cast<int>(heads[i]), n + static_cast<int>(tails[j]));
      if (used[j] || !edges.count(cell)) continue;
      used[j] = 1;
      trial.push_back(cell);
      assign(i + 1);
      trial.pop_back();
      used[j] = 0;
    }
  };
  if (paired <= 6 && heads.size() <= 7 && tails.size() <= 7) assign(0);
  return best;
}

}  // namespace

TEST(ChainExchange, EveryMoveKeepsAMaximumMatchingWithTheDecompositionsCounts) {
  std::mt19937 random(17);
  int cyclesMerged = 0;
  int movesApplied = 0;
  int widerRepairs = 0;  // re-pairings of three chains or more
  int polishedBoards = 0;  // boards the polish re-paired
  for (int day = 0; day < 150; ++day) {
    TimeTable table = lstest::SmallDay(4 + day % 12, random);
    if (day % 5 == 0) {  // shared passage numbers: parallel and foreign cells
      table.passages[1].id = table.passages[0].id;
      table = lstest::MakeTable(table.passages);
    }
    // A minimum turn on every third day: the cells the moves use must be
    // those of the graph built with it.
    const FollowRule rule{day % 3 == 2 ? 0.5 : 0.0};
    BGraph graph;
    lstest::BuildGraph(table, graph, rule);
    const double threshold = 8.0 + day % 5;
    const BGraph::Matching start = graph.GetMaxMatching();
    ChainExchange state(graph, table, start, threshold, rule);
    const DecompositionCounts initial = lstest::CountsOf(graph, table, start, threshold);
    ASSERT_EQ(state.Counts().chains, initial.chains);
    ASSERT_EQ(state.Counts().balanced, initial.balanced);
    ASSERT_EQ(state.Counts().rest, initial.rest);
    if (state.ActiveRows().empty()) continue;

    std::mt19937_64 draws(static_cast<std::uint64_t>(day));
    for (int k = 0; k < 400; ++k) {
      ChainExchange::Move move;
      const std::uint64_t draw = draws();
      const int chainsBefore = state.Counts().chains;
      bool proposed = false;
      if (k % 40 == 39) {
        // One board of the polish, against every assignment of its set.
        BoardPolish polish(state);
        const std::uint32_t terminal = static_cast<std::uint32_t>(draw % polish.Terminals());
        const std::vector<double> times = polish.BoardTimes(terminal);
        if (times.empty()) continue;
        const BGraph::Matching before = state.ToMatching();
        const DecompositionCounts counts = state.Counts();
        // A board at one time, or a window over several, with chains met
        // twice left out or kept once.
        const std::size_t at = (draw >> 32) % times.size();
        const double to = times[std::min(times.size() - 1, at + (draw >> 40) % 3)];
        polish.SetWindow(0, (draw >> 48) % 2 == 1);
        const bool improved = polish.PolishBoard(terminal, times[at], to);
        const DecompositionCounts best = BestOverBoard(graph, table, before, threshold,
                                                       polish.Heads(), polish.Tails());
        polishedBoards += improved ? 1 : 0;
        ASSERT_EQ(state.Counts().balanced, best.balanced) << "day " << day << ", move " << k;
        ASSERT_EQ(state.Counts().rest, best.rest) << "day " << day << ", move " << k;
        ASSERT_EQ(improved, IsBetter(best, counts));
      } else if (k % 4 == 3) {
        ChainExchange::Repair repair;
        const auto aim = (k / 4) % 2 == 0 ? ChainExchange::Aim::Balance
                                          : ChainExchange::Aim::RestSameEnd;
        if (!state.ProposeRepair(draw, aim, 0.7, repair)) continue;
        ASSERT_GE(repair.size, 2u);
        widerRepairs += repair.size >= 3 ? 1 : 0;
        state.ApplyRepair(repair);
      } else if (k % 2 == 0) {
        const auto aim = static_cast<ChainExchange::Aim>((k / 2) % 3);
        proposed = state.ProposeAimed(draw, aim, move);
      } else {
        const auto& rows = state.ActiveRows();
        const std::uint32_t row = rows[draw % rows.size()];
        proposed = state.Propose(row, state.Neighbour(row, (draw >> 32) % state.Degree(row)), move);
      }
      if (k % 4 != 3 && k % 40 != 39) {
        if (!proposed) continue;
        state.Apply(move);
      }
      ++movesApplied;
      const BGraph::Matching matching = state.ToMatching();
      ASSERT_TRUE(IsMatchingOfGraph(graph, matching)) << "day " << day << ", move " << k;
      ASSERT_EQ(matching.size(), start.size());
      const DecompositionCounts truth = lstest::CountsOf(graph, table, matching, threshold);
      ASSERT_EQ(state.Counts().chains, truth.chains) << "day " << day << ", move " << k;
      ASSERT_EQ(state.Counts().balanced, truth.balanced) << "day " << day << ", move " << k;
      ASSERT_EQ(state.Counts().rest, truth.rest) << "day " << day << ", move " << k;
      ASSERT_LE(truth.chains, chainsBefore);
      if (k % 4 == 3) {
        ASSERT_EQ(truth.chains, chainsBefore);
      }
      cyclesMerged += truth.chains < chainsBefore ? 1 : 0;
    }
    // A whole polish: never a lower score, the same chains, a decomposition
    // the verifier accepts (it knows the plain follow rule only).
    const DecompositionCounts before = state.Counts();
    BoardPolish whole(state);
    whole.SetWindow(day % 3, day % 2 == 1);
    whole.Run();
    BGraph::Matching polished = state.ToMatching();
    ASSERT_TRUE(IsMatchingOfGraph(graph, polished));
    const DecompositionCounts truth = lstest::CountsOf(graph, table, polished, threshold);
    ASSERT_EQ(state.Counts().chains, truth.chains);
    ASSERT_EQ(state.Counts().balanced, truth.balanced);
    ASSERT_EQ(state.Counts().rest, truth.rest);
    ASSERT_EQ(truth.chains, before.chains);
    ASSERT_FALSE(IsBetter(before, truth)) << "day " << day;
    if (rule.minTurn == 0.0) {
      const int loops = truth.chains - (static_cast<int>(table.passages.size()) -
                                        static_cast<int>(polished.size()));
      EXPECT_EQ(VerifyDecomposition(table, graph.GetDillworthDecompositionFromMatching(polished),
                                    loops),
                "")
          << "day " << day;
    }
  }
  EXPECT_GT(polishedBoards, 20) << "polishes that improve are too rare to test";
  EXPECT_GT(movesApplied, 10000);
  EXPECT_GT(cyclesMerged, 0) << "no cycle was merged; the days test too little";
  EXPECT_GT(widerRepairs, 100) << "re-pairings of three chains or more are too rare to test";
}

TEST(ExchangeSearch, FindsTheBestDecompositionOfSmallDaysAndTheBoundHolds) {
  std::mt19937 random(23);
  int days = 0;
  int misses = 0;
  int boundReached = 0;
  int partTighter = 0;
  std::ostringstream missed;
  while (days < 300) {
    TimeTable table = lstest::SmallDay(5 + days % 6, random);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    const std::vector<BGraph::Matching> all = lstest::AllMaximumMatchings(graph);
    ++days;
    const double threshold = 10.0;
    const DecompositionCounts truth = lstest::BruteForceBest(graph, table, all, threshold);

    // With the brute force's counts as bounds, the search stops exactly when
    // it meets them.
    SearchBounds truthBounds;
    truthBounds.chains = truth.chains;
    truthBounds.balanced = truth.balanced;
    truthBounds.rest = truth.rest;
    SearchStop stop;
    stop.bounds = &truthBounds;
    std::mt19937_64 engine(static_cast<std::uint64_t>(days));
    // Every other day with a share of re-pairing proposals.
    AnnealingSchedule schedule;
    schedule.repairShare = days % 2 == 0 ? 0.25 : 0.0;
    ExchangeSearch search(graph, table, engine, threshold, false, graph.GetMaxMatching(),
                          schedule);
    search.SetStop(stop);
    search.Run(1000);
    const DecompositionCounts found = search.BestCounts();
    const bool reached = found.balanced == truth.balanced && found.rest == truth.rest;
    ASSERT_EQ(search.Stopped() == StopReason::Proven, reached) << "day " << days;
    const BGraph::Matching best = search.BestMatching();
    ASSERT_TRUE(IsMatchingOfGraph(graph, best));
    ASSERT_EQ(best.size(), all.front().size());
    const DecompositionCounts recount = lstest::CountsOf(graph, table, best, threshold);
    ASSERT_EQ(recount.chains, found.chains);
    ASSERT_EQ(recount.balanced, found.balanced);
    ASSERT_EQ(recount.rest, found.rest);
    ASSERT_EQ(lstest::VerifyBest(table, search), "") << "day " << days;
    // Never more chains than the fewest any maximum matching gives.
    ASSERT_EQ(found.chains, truth.chains) << "day " << days;
    if (found.balanced != truth.balanced || found.rest != truth.rest) {
      ++misses;
      missed << " day " << days << ": found " << found.balanced << "/" << found.rest
             << ", best " << truth.balanced << "/" << truth.rest << ";";
    }

    // Bound over decompositions with the fewest chains: open chains' bound
    // plus one per cycle those decompositions keep.
    const int open = graph.numberOfVertices / 2 - static_cast<int>(all.front().size());
    const int bound = OpenBalancedChainsBound(graph, table, graph.GetMaxMatching()) +
                      (truth.chains - open);
    const int partBound = PartBalancedChainsBound(graph, table, graph.GetMaxMatching()) +
                          (truth.chains - open);
    ASSERT_GE(partBound, truth.balanced) << "day " << days;
    ASSERT_LE(partBound, bound) << "day " << days;
    boundReached += partBound == truth.balanced ? 1 : 0;
    partTighter += partBound < bound ? 1 : 0;
  }
  EXPECT_LE(misses, days / 100) << "missed the best decomposition on" << missed.str();
  if (misses > 0) std::cout << "exchange search misses:" << missed.str() << std::endl;
  EXPECT_GT(boundReached, days / 2);
  EXPECT_GT(partTighter, 0) << "the days never tell the parts' bound from the terminals'";
}

TEST(ExchangeSearch, SameSeedSameRunAndRecordingIsBounded) {
  std::mt19937 random(5);
  TimeTable table = lstest::RandomDay(60, 4, random);
  BGraph graph;
  lstest::BuildGraph(table, graph);
  std::mt19937_64 engineA(9);
  std::mt19937_64 engineB(9);
  ExchangeSearch a(graph, table, engineA, 11.0, true);
  ExchangeSearch b(graph, table, engineB, 11.0, true);
  a.Run(5000);
  b.Run(5000);
  EXPECT_EQ(a.BestMatching(), b.BestMatching());
  EXPECT_EQ(a.Balances(), b.Balances());
  EXPECT_EQ(a.IterationsPerEntry(), 3u);
  EXPECT_EQ(a.Balances().size(), 1666u);
  EXPECT_EQ(a.Rests().size(), 1666u);
}

// The bound line's claim, put to every maximum matching of small days with
// overnight passages as if it were a search's best: "optimal" only for a
// decomposition no other ranks above, and the bound never below it.
TEST(BalancedClaim, OptimalOnlyWhenNoMaximumMatchingRanksHigher) {
  std::mt19937 random(29);
  constexpr double threshold = 10.0;
  int claims = 0;
  int cyclicBests = 0;
  for (int day = 0; day < 200; ++day) {
    TimeTable table = lstest::SmallDay(4 + day % 6, random);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    const std::vector<BGraph::Matching> all = lstest::AllMaximumMatchings(graph);
    const DecompositionCounts truth = lstest::BruteForceBest(graph, table, all, threshold);
    const SearchBounds bounds = CombinatorialBounds(graph, table, graph.GetMaxMatching());
    for (const BGraph::Matching& matching : all) {
      const DecompositionCounts counts = lstest::CountsOf(graph, table, matching, threshold);
      const BalancedClaim claim = ClaimBalanced(bounds, counts);
      ASSERT_GE(claim.bound, counts.balanced) << "day " << day;
      if (counts.chains == truth.chains) {
        ASSERT_GE(claim.bound, truth.balanced) << "day " << day;
      }
      if (!claim.optimal) continue;
      ++claims;
      ASSERT_EQ(counts.chains, truth.chains) << "day " << day;
      ASSERT_EQ(counts.balanced, truth.balanced) << "day " << day;
    }
    // Days whose fewest chains keep a closed rotation: never claimed, and
    // counted to show the days have them.
    cyclicBests += truth.chains > bounds.chains ? 1 : 0;
  }
  EXPECT_GT(claims, 100);
  EXPECT_GT(cyclicBests, 0);
}
