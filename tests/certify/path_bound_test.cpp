// The chain formulation's bound against independent truth on random small
// days, with and without overnight passages: at least the most open
// balanced chains of any maximum matching (brute force), equal to the
// time-space model's LP bound once converged, and its Lagrangian bound
// never below the master's optimum.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "certify/MatchingFacts.h"
#include "certify/PathBound.h"
#include "certify/TimeSpaceModel.h"
#include "localsearch/LocalSearchTestSupport.h"

namespace {

// Open chains of `matching` whose first origin is their last destination.
int OpenBalanced(const std::vector<Passage>& passages, const BGraph::Matching& matching) {
  const int n = static_cast<int>(passages.size());
  std::vector<int> next(n, -1);
  std::vector<bool> hasPrevious(n, false);
  for (const auto& pair : matching) {
    next[pair.first] = pair.second - n;
    hasPrevious[pair.second - n] = true;
  }
  int balanced = 0;
  for (int p = 0; p < n; ++p) {
    if (hasPrevious[p]) continue;
    int last = p;
    while (next[last] != -1) last = next[last];
    balanced += passages[last].destination == passages[p].origin ? 1 : 0;
  }
  return balanced;
}

}  // namespace

TEST(PathBound, BoundsEveryMatchingAndEqualsTheTimeSpaceLp) {
  std::mt19937 random(11);
  int converged = 0;
  int cyclic = 0;
  const int days = 240;
  for (int dayNumber = 0; dayNumber < days; ++dayNumber) {
    TimeTable table = lstest::SmallDay(5 + dayNumber % 9, random);
    // Half the days without overnight passages: an acyclic relation.
    if (dayNumber % 2 == 0)
      for (Passage& passage : table.passages)
        if (!(passage.arrival > passage.departure)) passage.arrival = passage.departure + 0.5;
    table = lstest::MakeTable(table.passages);
    BGraph graph;
    lstest::BuildGraph(table, graph);
    const int n = static_cast<int>(table.passages.size());
    const BGraph::Matching maximum = graph.GetMaxMatching();
    const certify::MatchingFacts facts = certify::ReadMatchingFacts(graph, maximum);
    certify::Day day;
    day.passages = table.passages;
    day.canStart = facts.canStart;
    day.canEnd = facts.canEnd;
    day.openChains = n - static_cast<int>(maximum.size());
    const std::string where = "day " + std::to_string(dayNumber);

    const certify::PathBoundResult path = certify::SolvePathBound(day, maximum);
    ASSERT_NE(path.status, certify::PathBoundResult::Status::Failed) << where;
    int most = 0;
    for (const BGraph::Matching& matching : lstest::AllMaximumMatchings(graph))
      most = std::max(most, OpenBalanced(table.passages, matching));
    EXPECT_GE(path.bound, most) << where;
    if (path.status != certify::PathBoundResult::Status::Converged) continue;
    ++converged;
    cyclic += path.cyclic ? 1 : 0;
    EXPECT_GE(path.lagrangian, path.lpValue - 1e-6) << where;
    if (path.cyclic) {
      EXPECT_GE(path.relaxedBound, path.bound) << where;
    }

    const certify::TimeSpaceModel arc(day, certify::Aim::Balanced, 0.0, 1u << 20);
    const certify::LpSolution lp = certify::MakeLpSolver()->Solve(arc.Build(), certify::kUnbounded);
    ASSERT_EQ(lp.status, certify::LpSolution::Status::Optimal) << where;
    // The time-space program's penalties keep its optimum within 1/2 below.
    EXPECT_GE(path.lpValue, lp.objective - 1e-6) << where;
    EXPECT_LE(path.lpValue, lp.objective + 0.5) << where;
    EXPECT_EQ(path.bound, arc.IntegerBound(lp.objective)) << where;
  }
  // Vacuous unless most days converge, some of them with cycles.
  EXPECT_GT(converged, days * 9 / 10);
  EXPECT_GT(cyclic, days / 10);
}
