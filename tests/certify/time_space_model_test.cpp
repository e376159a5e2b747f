// Merging a line's departures into one node per run between arrivals
// leaves the linear program's optimum unchanged: the merged and the
// node-per-departure-time models against each other on random small days,
// both aims, and the merged model's integral optima checked by the
// decomposition verifier.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "bipartite/DecompositionVerifier.h"
#include "certify/Certificate.h"
#include "certify/TimeSpaceModel.h"
#include "localsearch/LocalSearchTestSupport.h"

TEST(TimeSpaceModel, MergedNodesKeepEveryOptimumAndDecodeIntoVerifiedDecompositions) {
  constexpr double kThreshold = 10.0;
  std::mt19937 random(7);
  int shrunk = 0;
  int decoded = 0;
  const int days = 300;
  for (int dayNumber = 0; dayNumber < days; ++dayNumber) {
    TimeTable table = lstest::SmallDay(6 + dayNumber % 15, random);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    const int n = static_cast<int>(table.passages.size());
    const BGraph::Matching first = graph.GetMaxMatching();
    certify::Day day = certify::ReadDay(graph, table, first);
    // Turns of 0, 15 and 30 minutes move arrivals across departures.
    day.minTurn = 0.25 * (dayNumber % 3);
    for (const certify::Aim aim : {certify::Aim::Balanced, certify::Aim::Rested}) {
      const int minOpenBalanced = aim == certify::Aim::Rested ? dayNumber % 2 : 0;
      day.mergeNodes = false;
      const certify::TimeSpaceModel plain(day, aim, kThreshold, 1u << 20);
      day.mergeNodes = true;
      const certify::TimeSpaceModel merged(day, aim, kThreshold, 1u << 20);
      ASSERT_LE(merged.Size().rows, plain.Size().rows);
      shrunk += merged.Size().rows < plain.Size().rows ? 1 : 0;
      const auto solver = certify::MakeLpSolver();
      const certify::LpSolution a = solver->Solve(plain.Build(minOpenBalanced), certify::kUnbounded);
      const certify::LpSolution b = solver->Solve(merged.Build(minOpenBalanced), certify::kUnbounded);
      const std::string where = "day " + std::to_string(dayNumber) +
                                (aim == certify::Aim::Rested ? ", rested" : ", balanced");
      ASSERT_EQ(a.status, b.status) << where;
      if (b.status != certify::LpSolution::Status::Optimal) continue;
      ASSERT_NEAR(a.objective, b.objective, 1e-6) << where;
      BGraph::Matching matching;
      if (!merged.Decode(b.columns, matching)) continue;
      ++decoded;
      ASSERT_EQ(matching.size(), first.size()) << where;
      const DecompositionCounts counts = lstest::CountsOf(graph, table, matching, kThreshold);
      const int closed = counts.chains - (n - static_cast<int>(matching.size()));
      ASSERT_EQ(VerifyDecomposition(table, graph.GetDillworthDecompositionFromMatching(matching),
                                    closed),
                "")
          << where;
      if (aim == certify::Aim::Balanced) {
        EXPECT_EQ(counts.balanced - closed, merged.IntegerBound(b.objective)) << where;
      }
    }
  }
  // Vacuous unless merging happens and optima decode.
  EXPECT_GT(shrunk, days / 2);
  EXPECT_GT(decoded, days / 2);
}
