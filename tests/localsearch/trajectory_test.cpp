#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <set>

#include "LocalSearchTestSupport.h"
#include "localsearch/Trajectory.h"

namespace {

using Edge = std::pair<int, int>;
using Matching = BGraph::Matching;

// Four passages: left 0..3, right 4..7, edges in the order of the worked
// example.
const std::vector<Edge> kSquareEdges{{0, 6}, {0, 7}, {1, 6}, {1, 7}};

void SetMatching(Trajectory& trajectory, const Matching& wanted) {
  for (const Edge& pair : trajectory.ToMatching()) trajectory.RemoveEdgeFromMatching(pair);
  for (const Edge& pair : wanted) trajectory.AdddEdgeToMatching(pair);
}

// Symmetric partner table whose pairs are all graph edges and whose count
// is the recorded matching size.
void ExpectConsistent(const Trajectory& trajectory) {
  const std::vector<int>& mate = trajectory.Mate();
  const std::set<Edge> edges(trajectory.Edges().begin(), trajectory.Edges().end());
  unsigned pairs = 0;
  for (std::size_t v = 0; v < mate.size(); ++v) {
    if (mate[v] == -1) continue;
    ASSERT_GE(mate[v], 0);
    ASSERT_LT(static_cast<std::size_t>(mate[v]), mate.size());
    ASSERT_EQ(mate[static_cast<std::size_t>(mate[v])], static_cast<int>(v)) << "vertex " << v;
    if (v < mate.size() / 2) {
      ++pairs;
      ASSERT_TRUE(edges.count(Edge(static_cast<int>(v), mate[v])))
          << v << "-" << mate[v] << " is not an edge";
    }
  }
  EXPECT_EQ(pairs, trajectory.MatchingSize());
}

}  // namespace

TEST(TrajectoryConstruction, StartsAtTheGraphsMaximumMatching) {
  std::mt19937 random(5);
  BGraph graph;
  lstest::BuildGraphFromEdges(12, lstest::RandomEdges(12, 0.2, random), graph);
  std::mt19937_64 engine(1);
  const std::mt19937_64 untouched = engine;
  const Trajectory trajectory(graph, engine);

  EXPECT_EQ(trajectory.ToMatching(), graph.GetMaxMatching());
  EXPECT_EQ(trajectory.MaxMatchingSize(), graph.GetCardinalityOfMaxMatching());
  EXPECT_EQ(trajectory.MatchingSize(), trajectory.MaxMatchingSize());
  EXPECT_EQ(trajectory.VertexCount(), 24u);
  EXPECT_EQ(trajectory.Vertices(), graph.GetVertexList());
  EXPECT_EQ(trajectory.Edges(), graph.GetEgeList());
  EXPECT_EQ(engine, untouched) << "construction must not draw";
  ExpectConsistent(trajectory);
}

TEST(TrajectoryConstruction, EmptyAndSinglePassageGraphsGiveEmptyMatchings) {
  std::mt19937_64 engine(3);
  BGraph empty;
  Trajectory none(empty, engine);
  EXPECT_TRUE(none.ToMatching().empty());
  EXPECT_EQ(none.VertexCount(), 0u);

  BGraph single;
  lstest::BuildGraphFromEdges(1, {}, single);
  Trajectory one(single, engine);
  EXPECT_TRUE(one.ToMatching().empty());
  EXPECT_EQ(one.Mate(), (std::vector<int>{-1, -1}));
}

TEST(TrajectoryStep, GraphWithoutEdgesNeitherChangesNorDraws) {
  TimeTable table = lstest::MakeTable({{1, 1, 2, 6.0, 7.0}, {2, 3, 4, 6.0, 7.0}});
  BGraph graph;
  lstest::BuildGraph(table, graph);
  std::mt19937_64 engine(9);
  const std::mt19937_64 untouched = engine;
  Trajectory trajectory(graph, engine);
  for (int k = 0; k < 5; ++k) trajectory.TransformMaxMatching();
  trajectory.MakeStep();
  EXPECT_EQ(engine, untouched);
  EXPECT_EQ(trajectory.Mate(), std::vector<int>(4, -1));
  EXPECT_EQ(trajectory.MatchingSize(), 0u);
}

TEST(TrajectoryStep, ChosenIndexStaysBelowTheEdgeCount) {
  const double justBelowOne = std::nextafter(1.0, 0.0);
  for (std::size_t m : {1ul, 2ul, 3ul, 7ul, 1000ul, 999999ul, 2147483647ul})
    EXPECT_EQ(Trajectory::ChosenEdgeIndex(justBelowOne, m), static_cast<int>(m - 1)) << m;
  EXPECT_EQ(Trajectory::ChosenEdgeIndex(0.0, 5), 0);
  EXPECT_EQ(Trajectory::ChosenEdgeIndex(0.5, 5), 2);
  EXPECT_EQ(Trajectory::ChosenEdgeIndex(0.6, 5), 3);
}

// Engine stand-in that hands out one given output, for feeding the
// library's distribution.
struct FixedOutput {
  using result_type = std::uint64_t;
  std::uint64_t value;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return ~result_type(0); }
  result_type operator()() { return value; }
};

TEST(TrajectoryStep, UnitValueIsTheRoundedOutputTimesTwoToTheMinus64BelowOne) {
  const std::uint64_t top = ~std::uint64_t(0);
  const std::uint64_t twoTo63 = std::uint64_t(1) << 63;
  const std::uint64_t twoTo53 = std::uint64_t(1) << 53;
  // Outputs around the rounding boundaries of the conversion to double,
  // ties to even included, and the ones that round up to 2^64.
  std::vector<std::uint64_t> outputs{0,           1,           2,           twoTo53 - 1,
                                     twoTo53,     twoTo53 + 1, twoTo53 + 3, twoTo63 - 1,
                                     twoTo63,     twoTo63 + 1, twoTo63 + 1024, twoTo63 + 1025,
                                     twoTo63 + 3072, top - 2048, top - 1024, top - 1023,
                                     top};
  std::mt19937_64 random(42);
  for (int k = 0; k < 200000; ++k) outputs.push_back(random() >> (k % 64));
  std::uniform_real_distribution<double> library(0.0, 1.0);
  for (std::uint64_t output : outputs) {
    double expected = std::ldexp(static_cast<double>(output), -64);
    if (expected >= 1.0) expected = std::nextafter(1.0, 0.0);
    const double x = Trajectory::UnitFromOutput(output);
    ASSERT_EQ(x, expected) << output;
    FixedOutput engine{output};
    ASSERT_EQ(x, library(engine)) << output;
  }
  EXPECT_EQ(Trajectory::UnitFromOutput(top), std::nextafter(1.0, 0.0));
  EXPECT_EQ(Trajectory::ChosenEdgeIndex(Trajectory::UnitFromOutput(top), 497698), 497697);
  EXPECT_EQ(Trajectory::UnitFromOutput(twoTo63 + 1024), 0.5) << "tie rounds to even";
  EXPECT_GT(Trajectory::UnitFromOutput(twoTo63 + 1025), 0.5);
}

TEST(TrajectoryStep, ChosenIndexIsTheFloorOfTheScaledValue) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int k = 0; k < 100000; ++k) {
    const double u = unit(random);
    const std::size_t m = 1 + random() % 2000000;
    ASSERT_EQ(Trajectory::ChosenEdgeIndex(u, m),
              static_cast<int>(std::floor(u * static_cast<double>(m))))
        << u << " " << m;
  }
}

TEST(TrajectoryStep, EachStepDrawsOneOutputAndPicksTheEdgeOfThatDraw) {
  BGraph graph;
  lstest::BuildGraphFromEdges(4, kSquareEdges, graph);
  std::mt19937_64 engine(2024);
  Trajectory trajectory(graph, engine);
  for (int k = 0; k < 200; ++k) {
    std::mt19937_64 shadow = engine;
    const Edge expected = kSquareEdges[static_cast<std::size_t>(lstest::IndexOfDraw(shadow(), 4))];
    const bool wasMatched = trajectory.IsEdgeInMatching(expected);
    const bool atMaximum = trajectory.MatchingSize() == trajectory.MaxMatchingSize();
    trajectory.MakeStep();
    EXPECT_EQ(engine, shadow) << "a step draws exactly one output";
    if (atMaximum) {
      // At maximum only the drawn edge can leave the matching.
      EXPECT_EQ(trajectory.MatchingSize(), wasMatched ? 1u : 2u);
      EXPECT_FALSE(wasMatched && trajectory.IsEdgeInMatching(expected));
    } else {
      trajectory.TransformMaxMatching();
    }
  }
}

// The move table, one row per case, each driven by an engine whose next
// draw selects the edge of interest.
TEST(TrajectoryStep, MoveTable) {
  BGraph graph;
  lstest::BuildGraphFromEdges(4, kSquareEdges, graph);
  struct Row {
    const char* name;
    Matching before;
    int drawnIndex;
    Matching after;
  };
  const std::vector<Row> rows{
      {"maximum, drawn edge matched: removed", {{0, 6}, {1, 7}}, 0, {{1, 7}}},
      {"maximum, drawn edge unmatched: nothing", {{0, 6}, {1, 7}}, 1, {{0, 6}, {1, 7}}},
      {"below, both ends free: added", {{0, 6}}, 3, {{0, 6}, {1, 7}}},
      {"below, left end matched: shifted", {{0, 6}}, 1, {{0, 7}}},
      {"below, right end matched: shifted", {{0, 6}}, 2, {{1, 6}}},
      {"below, both ends matched: nothing", {{0, 7}}, 1, {{0, 7}}},
  };
  for (const Row& row : rows) {
    std::mt19937_64 engine = lstest::EngineSelecting({row.drawnIndex}, 4);
    Trajectory trajectory(graph, engine);
    SetMatching(trajectory, row.before);
    trajectory.MakeStep();
    EXPECT_EQ(trajectory.ToMatching(), row.after) << row.name;
    ExpectConsistent(trajectory);
  }
  // Below maximum with both ends matched to other vertices: nothing.
  BGraph wide;
  lstest::BuildGraphFromEdges(3, {{0, 3}, {1, 4}, {0, 4}, {2, 5}}, wide);
  std::mt19937_64 engine = lstest::EngineSelecting({2}, 4);
  Trajectory trajectory(wide, engine);
  ASSERT_EQ(trajectory.MaxMatchingSize(), 3u);
  SetMatching(trajectory, {{0, 3}, {1, 4}});
  trajectory.MakeStep();
  EXPECT_EQ(trajectory.ToMatching(), (Matching{{0, 3}, {1, 4}}));
}

TEST(TrajectoryTransform, WorkedCallRemovesShiftsAndAdds) {
  BGraph graph;
  lstest::BuildGraphFromEdges(4, kSquareEdges, graph);
  std::mt19937_64 engine = lstest::EngineSelecting({0, 1, 2}, 4);
  std::mt19937_64 afterThreeDraws = engine;
  afterThreeDraws.discard(3);
  Trajectory trajectory(graph, engine);
  SetMatching(trajectory, {{0, 6}, {1, 7}});

  trajectory.TransformMaxMatching();

  EXPECT_EQ(trajectory.ToMatching(), (Matching{{0, 7}, {1, 6}}));
  EXPECT_EQ(trajectory.MatchingSize(), 2u);
  EXPECT_EQ(engine, afterThreeDraws) << "the call ends with the closing addition";
}

TEST(TrajectoryTransform, UnmatchedDrawAtMaximumEndsAfterOneStep) {
  BGraph graph;
  lstest::BuildGraphFromEdges(4, kSquareEdges, graph);
  std::mt19937_64 engine = lstest::EngineSelecting({3}, 4);
  std::mt19937_64 afterOneDraw = engine;
  afterOneDraw.discard(1);
  Trajectory trajectory(graph, engine);
  SetMatching(trajectory, {{0, 7}, {1, 6}});

  trajectory.TransformMaxMatching();

  EXPECT_EQ(trajectory.ToMatching(), (Matching{{0, 7}, {1, 6}}));
  EXPECT_EQ(engine, afterOneDraw);
}

TEST(TrajectoryTransform, MatchingOfDisjointEdgesNeverChanges) {
  BGraph graph;
  lstest::BuildGraphFromEdges(5, {{3, 9}, {0, 5}, {1, 7}, {4, 6}}, graph);
  std::mt19937_64 engine(77);
  Trajectory trajectory(graph, engine);
  const Matching start = trajectory.ToMatching();
  ASSERT_EQ(start.size(), 4u);
  const std::mt19937_64 before = engine;
  for (int k = 0; k < 300; ++k) trajectory.TransformMaxMatching();
  EXPECT_NE(engine, before) << "the walk did draw";
  EXPECT_EQ(trajectory.ToMatching(), start);
}

TEST(TrajectoryTransform, StaysMaximumSymmetricAndOnGraphEdges) {
  std::mt19937 random(11);
  for (int graphNumber = 0; graphNumber < 25; ++graphNumber) {
    const unsigned n = 3 + static_cast<unsigned>(random() % 30);
    const double density = 0.03 + 0.3 * (random() % 10) / 10.0;
    const std::vector<Edge> edges = lstest::RandomEdges(n, density, random);
    BGraph graph;
    lstest::BuildGraphFromEdges(n, edges, graph);
    const unsigned maximum = lstest::AugmentingPathMatchingSize(n, edges);
    std::mt19937_64 engine(static_cast<std::uint64_t>(graphNumber) + 1);
    Trajectory trajectory(graph, engine);
    ASSERT_EQ(trajectory.MaxMatchingSize(), maximum);
    for (int k = 0; k < 400; ++k) {
      trajectory.TransformMaxMatching();
      ASSERT_EQ(trajectory.MatchingSize(), maximum);
    }
    ExpectConsistent(trajectory);
    for (const Edge& pair : trajectory.ToMatching()) {
      EXPECT_LT(pair.first, static_cast<int>(n));
      EXPECT_GE(pair.second, static_cast<int>(n));
    }
  }
}

TEST(TrajectoryTransform, WalkReachesOtherMaximumMatchings) {
  // Complete 3 x 3: six perfect matchings.
  std::vector<Edge> edges;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) edges.emplace_back(i, 3 + j);
  BGraph graph;
  lstest::BuildGraphFromEdges(3, edges, graph);
  std::mt19937_64 engine(4);
  Trajectory trajectory(graph, engine);
  std::set<Matching> seen;
  for (int k = 0; k < 500; ++k) {
    trajectory.TransformMaxMatching();
    seen.insert(trajectory.ToMatching());
  }
  EXPECT_EQ(seen.size(), 6u);
}

TEST(TrajectoryCopy, AssignmentCopiesStateAndKeepsOwnBindings) {
  std::mt19937 random(8);
  BGraph graph;
  lstest::BuildGraphFromEdges(10, lstest::RandomEdges(10, 0.4, random), graph);
  BGraph other;
  lstest::BuildGraphFromEdges(2, {{0, 2}}, other);
  std::mt19937_64 engine(5);
  std::mt19937_64 otherEngine(6);
  Trajectory source(graph, engine);
  for (int k = 0; k < 20; ++k) source.TransformMaxMatching();
  Trajectory target(other, otherEngine);

  target = source;

  EXPECT_EQ(&target.BoundGraph(), &other);
  EXPECT_EQ(target.Mate(), source.Mate());
  EXPECT_EQ(target.Edges(), source.Edges());
  EXPECT_EQ(target.Vertices(), source.Vertices());
  EXPECT_EQ(target.MatchingSize(), source.MatchingSize());
  EXPECT_EQ(target.MaxMatchingSize(), source.MaxMatchingSize());
  EXPECT_EQ(target.VertexCount(), source.VertexCount());

  // Target draws from its own engine only.
  const std::mt19937_64 engineBefore = engine;
  const std::mt19937_64 otherBefore = otherEngine;
  target.TransformMaxMatching();
  EXPECT_EQ(engine, engineBefore);
  EXPECT_NE(otherEngine, otherBefore);
}

TEST(TrajectoryCopy, CopiesMoveIndependentlyOnTheSharedEngine) {
  std::mt19937 random(21);
  BGraph graph;
  lstest::BuildGraphFromEdges(15, lstest::RandomEdges(15, 0.3, random), graph);
  std::mt19937_64 engine(12);
  Trajectory original(graph, engine);
  Trajectory copy(original);
  EXPECT_EQ(&copy.BoundGraph(), &graph);
  const std::vector<int> originalMate = original.Mate();
  const std::mt19937_64 before = engine;
  std::set<std::vector<int>> states;
  for (int k = 0; k < 50; ++k) {
    copy.TransformMaxMatching();
    states.insert(copy.Mate());
  }
  EXPECT_NE(engine, before) << "the copy draws from the shared engine";
  EXPECT_EQ(original.Mate(), originalMate);
  EXPECT_GT(states.size(), 1u);

  original = copy;
  copy.TransformMaxMatching();
  original.TransformMaxMatching();
  ExpectConsistent(original);
  ExpectConsistent(copy);
}

TEST(TrajectoryCopy, SameSeedGivesTheSameWalk) {
  std::mt19937 random(3);
  BGraph graph;
  lstest::BuildGraphFromEdges(20, lstest::RandomEdges(20, 0.25, random), graph);
  std::mt19937_64 first(99);
  std::mt19937_64 second(99);
  Trajectory a(graph, first);
  Trajectory b(graph, second);
  for (int k = 0; k < 200; ++k) {
    a.TransformMaxMatching();
    b.TransformMaxMatching();
    ASSERT_EQ(a.Mate(), b.Mate()) << "iteration " << k;
  }
}
