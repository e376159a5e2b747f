// The part-wise estimator against brute force: every outcome of a run's
// draws is followed with its probability, so the expected estimate is
// computed exactly and must equal the count of maximum matchings of the
// part (unbiasedness, with uniform and importance-guided choices, budgets
// 1 and 2); a Ferrers board decided in ascending degree is estimated
// without any variance; and the selection keeps each candidate with its
// stated probability.

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "bipartite/Components.h"
#include "exact/ExactCount.h"
#include "parallel/Streams.h"
#include "se/Draws.h"
#include "se/PartEstimator.h"
#include "se/Selection.h"
#include "se_test_support.h"

namespace {

// Draws that follow every outcome, one run per sequence of outcomes: a run
// replays the choices made so far and takes the first outcome of every new
// draw; Next() moves to the following sequence, like an odometer. A point
// draw has one outcome per piece between the caller's cuts, the piece's
// midpoint, weighed by the piece's length.
class EveryOutcome : public Draws {
 public:
  std::size_t Below(std::size_t n) override {
    const std::size_t k = Take(n);
    probability_ /= static_cast<double>(n);
    return k;
  }

  double Point(const std::vector<double>& cuts) override {
    std::vector<double> bounds = cuts;
    bounds.push_back(0.0);
    bounds.push_back(1.0);
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
    const std::size_t k = Take(bounds.size() - 1);
    probability_ *= bounds[k + 1] - bounds[k];
    return (bounds[k] + bounds[k + 1]) / 2;
  }

  double Probability() const { return probability_; }

  // The next sequence; false when every one was followed.
  bool Next() {
    path_.resize(depth_);
    while (!path_.empty() && path_.back().first + 1 == path_.back().second) path_.pop_back();
    depth_ = 0;
    probability_ = 1.0;
    if (path_.empty()) return false;
    ++path_.back().first;
    return true;
  }

 private:
  std::size_t Take(std::size_t outcomes) {
    if (depth_ == path_.size()) path_.emplace_back(0, outcomes);
    EXPECT_EQ(path_[depth_].second, outcomes) << "a replayed draw changed its outcomes";
    return path_[depth_++].first;
  }

  std::vector<std::pair<std::size_t, std::size_t>> path_;  // (outcome, outcomes)
  std::size_t depth_ = 0;
  double probability_ = 1.0;
};

using MatchingSet = std::set<BGraph::Matching>;

// The maximum matchings of the part made of `vertices`: the distinct
// restrictions of the whole graph's maximum matchings (by brute force).
MatchingSet PartMatchings(const std::vector<BGraph::Matching>& whole,
                          const std::set<unsigned int>& vertices) {
  MatchingSet part;
  for (const BGraph::Matching& matching : whole) {
    BGraph::Matching restricted;
    for (const auto& pair : matching)
      if (vertices.count(static_cast<unsigned int>(pair.first))) restricted.push_back(pair);
    std::sort(restricted.begin(), restricted.end());
    part.insert(restricted);
  }
  return part;
}

struct Expectation {
  double mean = 0.0;
  double probability = 0.0;
  std::size_t paths = 0;
  bool leavesAreMatchings = true;
};

// The exact expectation of one repetition's estimate, over every outcome.
// Stops (paths = 0) beyond `mostPaths`.
Expectation Expect(PartEstimator& estimator, const MatchingSet& truth, std::size_t mostPaths) {
  Expectation result;
  EveryOutcome draws;
  do {
    std::vector<BGraph::Matching> final;
    const PartRepetition repetition = estimator.Run(draws, &final);
    result.mean += draws.Probability() * repetition.estimate.ToDouble();
    result.probability += draws.Probability();
    for (BGraph::Matching& matching : final) {
      std::sort(matching.begin(), matching.end());
      if (!truth.count(matching)) result.leavesAreMatchings = false;
    }
    if (++result.paths > mostPaths) return Expectation();
  } while (draws.Next());
  return result;
}

}  // namespace

TEST(PartEstimator, ExpectedEstimateIsTheCountOfEveryPart) {
  std::mt19937 rng(7);
  std::size_t checked = 0;
  std::size_t bothSidesUnmatched = 0;
  for (int trial = 0; trial < 60; ++trial) {
    const setest::Instance instance = setest::BuildInstance(
        trial % 2 ? setest::RandomPassages(rng, 3 + trial % 4)
                  : setest::RandomBoard(rng, 3 + trial % 3, 3 + (trial / 2) % 3));
    const int n = static_cast<int>(instance.table.passages.size());
    setest::MatchingEnumerator enumerator(n, setest::SplitEdges(instance.table, instance.poset));
    const std::vector<BGraph::Matching> whole = enumerator.MaximumMatchings();
    const GraphComponents components(*instance.graph.Adjacency());

    // Each component alone (--split boards), then all of them in turn (the
    // whole day, which runs with importance only).
    std::vector<std::vector<std::uint32_t>> parts;
    for (std::uint32_t c = 0; c < components.Count(); ++c)
      if (components.Size(c) > 1) parts.push_back({c});
    parts.emplace_back(components.Count());
    std::iota(parts.back().begin(), parts.back().end(), std::uint32_t{0});

    for (std::size_t p = 0; p < parts.size(); ++p) {
      const bool wholeDay = p + 1 == parts.size();
      std::set<unsigned int> vertices;
      for (const std::uint32_t c : parts[p])
        vertices.insert(components.Begin(c), components.End(c));
      const MatchingSet truth = PartMatchings(whole, vertices);
      std::size_t left = 0;
      for (const unsigned int v : vertices) left += v < static_cast<unsigned int>(n) ? 1 : 0;
      const std::size_t matched = truth.begin()->size();
      const bool slackBoth = left > matched && vertices.size() - left > matched;
      for (const bool importance : {false, true}) {
        if (wholeDay && !importance) continue;
        for (const unsigned int budget : {1u, 2u}) {
          for (const VertexOrder order : {VertexOrder::Random, VertexOrder::Degree}) {
            // Uniform choices decide every vertex: a random order of more
            // than 7 has too many outcomes to follow.
            if (!importance && order == VertexOrder::Random && vertices.size() > 7) continue;
            PartOptions options;
            options.budget = budget;
            options.importance = importance;
            options.vertexOrder = order;
            PartEstimator estimator(instance.graph, components, parts[p],
                                    &instance.table.passages, options);
            const Expectation expected = Expect(estimator, truth, 10000);
            if (expected.paths == 0) continue;
            SCOPED_TRACE(testing::Message() << "trial " << trial << " part " << p << " importance "
                                            << importance << " B " << budget << " order "
                                            << VertexOrderName(order));
            EXPECT_NEAR(expected.probability, 1.0, 1e-9);
            EXPECT_NEAR(expected.mean, static_cast<double>(truth.size()), 1e-9 * truth.size());
            EXPECT_TRUE(expected.leavesAreMatchings);
            ++checked;
            if (importance && slackBoth) ++bothSidesUnmatched;
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 300u);
  EXPECT_GT(bothSidesUnmatched, 40u);
}

TEST(PartEstimator, FerrersBoardsInAscendingDegreeHaveNoVariance) {
  // Terminal 1: 40 arrivals, 30 departures, every departure matchable (the
  // columns are decided); terminal 5: 20 arrivals, 35 departures, every
  // arrival matchable (the rows are decided, their runs reach the last
  // column). No round trips: no exceptions.
  std::mt19937 rng(11);
  std::vector<Passage> passages;
  std::uint32_t id = 1;
  const auto add = [&](std::uint32_t from, std::uint32_t to, double departure, double arrival) {
    passages.push_back(Passage{id++, from, to, departure, arrival});
  };
  std::uniform_int_distribution<int> slack(0, 3);
  for (int i = 0; i < 40; ++i) add(2, 1, 0.0, 1.0 + 0.25 * i);
  for (int j = 0, row = 1; j < 30; ++j, row = std::min(40, row + slack(rng)))
    add(1, 3, 1.0 + 0.25 * std::max(row, j + 1) - 0.1, 23.5);
  for (int j = 0; j < 35; ++j) add(5, 6, 1.0 + 0.5 * j, 23.5);
  for (int i = 0, column = 34; i < 20; ++i, column = std::max(0, column - slack(rng)))
    add(7, 5, 0.0, 1.0 + 0.5 * std::min(column, 34 - i) - 0.1);
  const setest::Instance instance = setest::BuildInstance(passages);
  const exact::ExactCount truth = exact::CountMinimumDecompositions(instance.table);
  ASSERT_TRUE(truth.available);

  const GraphComponents components(*instance.graph.Adjacency());
  PartOptions options;
  options.importance = true;
  options.vertexOrder = VertexOrder::Degree;
  double log10 = 0.0;
  std::size_t boards = 0;
  for (std::uint32_t c = 0; c < components.Count(); ++c) {
    if (components.Size(c) == 1) continue;
    ++boards;
    PartEstimator estimator(instance.graph, components, {c}, &instance.table.passages, options);
    std::vector<WideDouble> estimates;
    for (std::uint32_t r = 0; r < 12; ++r) {
      StreamDraws draws(parallel::MakeStream(5, c, r));
      const PartRepetition repetition = estimator.Run(draws);
      EXPECT_FALSE(repetition.fullyEnumerated);
      estimates.push_back(repetition.estimate);
    }
    for (const WideDouble& estimate : estimates) EXPECT_EQ(estimate, estimates.front());
    log10 += estimates.front().Log10();
  }
  EXPECT_EQ(boards, 2u);
  EXPECT_NEAR(log10, truth.log10, 1e-10);
}

TEST(Selection, EveryCandidateIsKeptWithItsProbability) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> logScore(-6.0, 3.0);
  for (int trial = 0; trial < 300; ++trial) {
    const std::size_t count = 1 + static_cast<std::size_t>(trial % 9);
    const std::size_t budget = 1 + static_cast<std::size_t>(trial % 4);
    std::vector<double> logs(count);
    for (double& value : logs) value = trial % 5 == 0 ? 0.0 : logScore(rng);
    const std::vector<double> scores = ScoresFromLogs(logs);
    const Inclusion inclusion = ProportionalInclusion(scores, budget);
    const std::size_t kept = std::min(budget, count);
    EXPECT_NEAR(std::accumulate(inclusion.probability.begin(), inclusion.probability.end(), 0.0),
                static_cast<double>(kept), 1e-9);
    for (std::size_t c = 0; c < count; ++c) {
      EXPECT_LE(inclusion.probability[c], 1.0);
      EXPECT_NEAR(inclusion.probability[c] * inclusion.inverse[c], 1.0, 1e-12);
      // Uncapped candidates are kept in proportion to their scores.
      for (std::size_t d = 0; d < count; ++d) {
        if (inclusion.probability[c] < 1.0 && inclusion.probability[d] < 1.0) {
          EXPECT_NEAR(inclusion.probability[c] / inclusion.probability[d], scores[c] / scores[d],
                      1e-9 * scores[c] / scores[d]);
        }
      }
    }
    std::vector<double> systematic(count, 0.0);
    std::vector<double> uniform(count, 0.0);
    EveryOutcome draws;
    do {
      const std::vector<std::size_t> sample = SystematicSample(inclusion.probability, draws);
      EXPECT_EQ(sample.size(), kept);
      for (const std::size_t c : sample) systematic[c] += draws.Probability();
    } while (draws.Next());
    do {
      const std::vector<std::size_t> sample = UniformSample(count, budget, draws);
      EXPECT_EQ(std::set<std::size_t>(sample.begin(), sample.end()).size(), kept);
      for (const std::size_t c : sample) uniform[c] += draws.Probability();
    } while (draws.Next());
    for (std::size_t c = 0; c < count; ++c) {
      EXPECT_NEAR(systematic[c], inclusion.probability[c], 1e-12) << "trial " << trial;
      EXPECT_NEAR(uniform[c], static_cast<double>(kept) / count, 1e-12) << "trial " << trial;
    }
  }
}
