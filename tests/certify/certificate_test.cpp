// The certificate against all maximum matchings of small days, cyclic ones
// included: the facts it reads, the LP bounds it derives, the decompositions
// it decodes and the optimality it claims.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "certify/Certificate.h"
#include "certify/MatchingFacts.h"
#include "certify/MipSolver.h"
#include "certify/TimeSpaceModel.h"
#include "common/ChainEnds.h"
#include "localsearch/LocalSearchTestSupport.h"

namespace {

constexpr double kThreshold = 10.0;

// Closed rotations of a maximum matching: chains beyond passages less pairs.
int Closed(const DecompositionCounts& counts, int passages, std::size_t pairs) {
  return counts.chains - (passages - static_cast<int>(pairs));
}

}  // namespace

TEST(Certificate, BoundsHoldAndClaimsAreTrueOnEveryMaximumMatchingOfSmallDays) {
  std::mt19937 random(41);
  int certified = 0;
  int restOptimal = 0;
  int decodedKept = 0;
  int integerDecoded = 0;
  int integerRuns = 0;
  int cyclicDays = 0;
  const int days = 250;
  for (int dayNumber = 0; dayNumber < days; ++dayNumber) {
    TimeTable table = lstest::SmallDay(5 + dayNumber % 6, random);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    const int n = static_cast<int>(table.passages.size());
    const std::vector<BGraph::Matching> all = lstest::AllMaximumMatchings(graph);
    const DecompositionCounts truth = lstest::BruteForceBest(graph, table, all, kThreshold);
    const BGraph::Matching first = graph.GetMaxMatching();

    // Facts: free ends and the fewest closed rotations, by brute force.
    const certify::MatchingFacts facts = certify::ReadMatchingFacts(graph, first);
    std::vector<std::uint8_t> canStart(n, 0), canEnd(n, 0);
    int fewestClosed = n;
    int mostClosed = 0;
    int mostOpenBalanced = 0;
    int mostOpenRested = 0;
    for (const BGraph::Matching& matching : all) {
      std::vector<std::uint8_t> hasPredecessor(n, 0), hasSuccessor(n, 0);
      std::vector<int> next(n, -1);
      for (const auto& pair : matching) {
        hasSuccessor[pair.first] = 1;
        hasPredecessor[pair.second - n] = 1;
        next[pair.first] = pair.second - n;
      }
      int openRested = 0;
      for (int p = 0; p < n; ++p) {
        if (hasPredecessor[p]) continue;
        int last = p;
        while (next[last] >= 0) last = next[last];
        openRested += HasEnoughRest(table.passages[p], table.passages[last], kThreshold) ? 1 : 0;
      }
      mostOpenRested = std::max(mostOpenRested, openRested);
      for (int p = 0; p < n; ++p) {
        canStart[p] |= !hasPredecessor[p];
        canEnd[p] |= !hasSuccessor[p];
      }
      const DecompositionCounts counts = lstest::CountsOf(graph, table, matching, kThreshold);
      const int closed = Closed(counts, n, matching.size());
      fewestClosed = std::min(fewestClosed, closed);
      mostClosed = std::max(mostClosed, closed);
      mostOpenBalanced = std::max(mostOpenBalanced, counts.balanced - closed);
    }
    ASSERT_EQ(facts.canStart, canStart) << "day " << dayNumber;
    ASSERT_EQ(facts.canEnd, canEnd) << "day " << dayNumber;
    ASSERT_LE(facts.fewestClosedRotations, fewestClosed) << "day " << dayNumber;
    cyclicDays += mostClosed > 0 ? 1 : 0;

    // The balanced model: its bound covers every maximum matching, and an
    // integral optimum decodes into one with exactly that many open
    // balanced chains.
    certify::Day day;
    day.passages = table.passages;
    day.canStart = facts.canStart;
    day.canEnd = facts.canEnd;
    day.openChains = n - static_cast<int>(first.size());
    const certify::TimeSpaceModel model(day, certify::Aim::Balanced, kThreshold, 1u << 20);
    const certify::LpSolution solution =
        certify::MakeLpSolver()->Solve(model.Build(), certify::kUnbounded);
    ASSERT_EQ(solution.status, certify::LpSolution::Status::Optimal) << "day " << dayNumber;
    ASSERT_GE(model.IntegerBound(solution.objective), mostOpenBalanced) << "day " << dayNumber;
    BGraph::Matching decoded;
    if (model.Decode(solution.columns, decoded)) {
      ASSERT_EQ(decoded.size(), first.size());
      const DecompositionCounts counts = lstest::CountsOf(graph, table, decoded, kThreshold);
      EXPECT_EQ(counts.balanced - Closed(counts, n, decoded.size()),
                model.IntegerBound(solution.objective))
          << "day " << dayNumber;
    }

    // Its integer program is exact: nothing has more open balanced chains
    // than the truth (the cutoff proves it), and the optimum decodes into a
    // maximum matching that reaches it.
    const std::unique_ptr<certify::MipSolver> mip = certify::MakeMipSolver();
    ASSERT_EQ(mip->Solve(model.Build(), certify::kUnbounded, mostOpenBalanced + 0.25, 0.5).status,
              certify::MipSolution::Status::Infeasible)
        << "day " << dayNumber;
    // Out of time, it never claims that nothing beats a cutoff below the
    // truth.
    for (double seconds : {0.0, 1e-4, 1e-3, 1e-2}) {
      const certify::MipSolution cut =
          mip->Solve(model.Build(), seconds, mostOpenBalanced - 0.75, 0.5);
      EXPECT_NE(cut.status, certify::MipSolution::Status::Infeasible)
          << "day " << dayNumber << ", " << seconds << " s";
    }
    const certify::MipSolution integer =
        mip->Solve(model.Build(), certify::kUnbounded, mostOpenBalanced - 0.75, 0.5);
    ASSERT_EQ(integer.status, certify::MipSolution::Status::Optimal) << "day " << dayNumber;
    ASSERT_TRUE(integer.found);
    ASSERT_EQ(model.IntegerBound(integer.objective), mostOpenBalanced) << "day " << dayNumber;
    ASSERT_EQ(model.IntegerBound(integer.bound), mostOpenBalanced) << "day " << dayNumber;
    if (model.Decode(integer.columns, decoded)) {
      ++integerDecoded;
      ASSERT_EQ(decoded.size(), first.size());
      const DecompositionCounts counts = lstest::CountsOf(graph, table, decoded, kThreshold);
      const int closed = Closed(counts, n, decoded.size());
      EXPECT_EQ(counts.balanced - closed, mostOpenBalanced) << "day " << dayNumber;
      EXPECT_EQ(VerifyDecomposition(table, graph.GetDillworthDecompositionFromMatching(decoded),
                                    closed),
                "")
          << "day " << dayNumber;
    }

    // Some homes only, the others counted by min(starts, ends): still a
    // bound. And each left-out home kept to the first's balanced chains
    // through it: a restriction, whose integral optimum is a maximum
    // matching with that many open balanced chains.
    std::map<std::uint32_t, int> starts, ends;
    std::vector<int> successor(n, -1), predecessor(n, -1);
    for (const auto& pair : first) {
      successor[pair.first] = pair.second - n;
      predecessor[pair.second - n] = pair.first;
    }
    std::vector<std::uint32_t> keptHome(n, certify::kNoHome);
    for (int p = 0; p < n; ++p) {
      if (predecessor[p] < 0) ++starts[table.passages[p].origin];
      if (successor[p] < 0) ++ends[table.passages[p].destination];
      if (predecessor[p] >= 0) continue;
      int last = p;
      while (successor[last] >= 0) last = successor[last];
      if (table.passages[last].destination != table.passages[p].origin) continue;
      for (int q = p; q >= 0; q = successor[q]) keptHome[q] = table.passages[p].origin;
    }
    int others = 0;
    for (const auto& [terminal, count] : starts) {
      if (random() % 2 == 0) {
        day.homes.push_back(terminal);
      } else if (ends.count(terminal) > 0) {
        others += std::min(count, ends[terminal]);
      }
    }
    if (day.homes.empty()) day.homes.push_back(certify::kNoHome);
    for (int restrict = 0; restrict < 2; ++restrict) {
      day.keptHome = restrict ? keptHome : std::vector<std::uint32_t>();
      const certify::TimeSpaceModel part(day, certify::Aim::Balanced, kThreshold, 1u << 20);
      const certify::LpSolution partSolution =
          certify::MakeLpSolver()->Solve(part.Build(), certify::kUnbounded);
      ASSERT_EQ(partSolution.status, certify::LpSolution::Status::Optimal) << "day " << dayNumber;
      if (!restrict) {
        ASSERT_GE(part.IntegerBound(partSolution.objective) + others, mostOpenBalanced)
            << "day " << dayNumber;
      } else if (part.Decode(partSolution.columns, decoded)) {
        ASSERT_EQ(decoded.size(), first.size());
        const DecompositionCounts counts = lstest::CountsOf(graph, table, decoded, kThreshold);
        EXPECT_EQ(VerifyDecomposition(table, graph.GetDillworthDecompositionFromMatching(decoded),
                                      Closed(counts, n, decoded.size())),
                  "")
            << "day " << dayNumber;
        // Left-out homes' chains count only in the kept commodities.
        EXPECT_GE(counts.balanced - Closed(counts, n, decoded.size()),
                  part.IntegerBound(partSolution.objective))
            << "day " << dayNumber;
      }
    }
    day.homes.clear();
    day.keptHome.clear();

    // The rested model without homes bounds the open rested chains of every
    // maximum matching, and merging its start classes only loosens it. (A
    // part of the day that only closed rotations cover has no commodity in
    // the rested model, which is then infeasible: such days are left out.)
    day.homes = {certify::kNoHome};
    int looser = n + 1;
    for (std::uint32_t classes : fewestClosed > 0 ? std::vector<std::uint32_t>{}
                                                   : std::vector<std::uint32_t>{1, 2, 0}) {
      day.restClasses = classes;
      const certify::TimeSpaceModel rested(day, certify::Aim::Rested, kThreshold, 1u << 20);
      const certify::LpSolution restSolution =
          certify::MakeLpSolver()->Solve(rested.Build(), certify::kUnbounded);
      ASSERT_EQ(restSolution.status, certify::LpSolution::Status::Optimal) << "day " << dayNumber;
      const int restBound = rested.IntegerBound(restSolution.objective);
      ASSERT_GE(restBound, mostOpenRested) << "day " << dayNumber << ", classes " << classes;
      ASSERT_LE(restBound, looser) << "day " << dayNumber << ", classes " << classes;
      looser = restBound;
    }
    day.homes.clear();
    day.restClasses = 0;

    // The whole certificate, from the first matching as the search's best.
    certify::Certificate certificate(graph, table, {30.0, 0.0, ~std::uint64_t{0}});
    BGraph::Matching best = first;
    DecompositionCounts counts = lstest::CountsOf(graph, table, first, kThreshold);
    certificate.Run(graph, table, kThreshold, best, counts);
    const DecompositionCounts recount = lstest::CountsOf(graph, table, best, kThreshold);
    ASSERT_EQ(std::make_tuple(recount.chains, recount.balanced, recount.rest),
              std::make_tuple(counts.chains, counts.balanced, counts.rest));
    ASSERT_EQ(VerifyDecomposition(table, graph.GetDillworthDecompositionFromMatching(best),
                                  Closed(counts, n, best.size())),
              "");
    decodedKept += certificate.KeptLp() ? 1 : 0;
    integerRuns += certificate.IntegerSolved() ? 1 : 0;
    ASSERT_GE(certificate.Bound(), truth.balanced) << "day " << dayNumber;
    if (certificate.Certified()) {
      ++certified;
      ASSERT_EQ(counts.chains, truth.chains) << "day " << dayNumber;
      ASSERT_EQ(counts.balanced, truth.balanced) << "day " << dayNumber;
      if (certificate.RestSolved()) {
        ASSERT_GE(certificate.RestBound(), truth.rest) << "day " << dayNumber;
      }
    }
    if (certificate.RestOptimal()) {
      ++restOptimal;
      ASSERT_EQ(counts.rest, truth.rest) << "day " << dayNumber;
    }
  }
  EXPECT_GT(cyclicDays, days / 10) << "too few cyclic days to test them";
  EXPECT_GT(decodedKept, days / 10) << "the LP's decompositions were rarely kept";
  EXPECT_GT(integerDecoded, days * 3 / 4) << "integer optima rarely decoded";
  EXPECT_GT(integerRuns, 0) << "the certificate's integer program never ran";
  EXPECT_GT(certified, days * 3 / 4);
  EXPECT_GT(restOptimal, days / 2);
}
