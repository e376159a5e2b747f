#pragma once

// Small random timetables for property tests, and a brute-force enumeration
// of the maximum matchings of their split graphs that shares no code with
// the programs' matchings.

#include <cstdint>
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "common/TimeTable.h"

// Random timetable of `n` passages over few terminals and few clock times:
// ties in times, overnight passages (arrival before departure), passages back
// to their own terminal, now and then a repeated passage number and a
// passage at a terminal of its own.
inline std::vector<Passage> RandomPassages(std::mt19937& rng, int n) {
  const double times[] = {0.5, 6.0, 8.0, 8.0, 10.0, 12.0, 23.0};
  std::uniform_int_distribution<int> time(0, 6);
  std::uniform_int_distribution<std::uint32_t> terminal(1, 3);
  std::uniform_int_distribution<int> percent(0, 99);
  std::vector<Passage> passages;
  for (int k = 0; k < n; ++k) {
    Passage passage;
    passage.id = static_cast<std::uint32_t>(100 + k);
    if (k > 0 && percent(rng) < 12) passage.id = passages[rng() % passages.size()].id;
    passage.origin = terminal(rng);
    passage.destination = terminal(rng);
    if (percent(rng) < 10) passage.origin = passage.destination = 50 + static_cast<std::uint32_t>(k);
    passage.departure = times[time(rng)];
    passage.arrival = times[time(rng)];
    passages.push_back(passage);
  }
  return passages;
}

using SplitEdge = std::pair<int, int>;  // (left vertex, right vertex)

// Distinct edges of the split graph: the poset pairs mapped through the
// table's number-to-position map.
inline std::set<SplitEdge> SplitEdges(const TimeTable& table, const Poset& poset) {
  const int n = static_cast<int>(table.passages.size());
  std::set<SplitEdge> edges;
  for (const auto& pair : poset.pairs)
    edges.emplace(static_cast<int>(table.positionById.at(pair.first)),
                  n + static_cast<int>(table.positionById.at(pair.second)));
  return edges;
}

// Every maximum matching, by exhaustive search over the left vertices.
class MaximumMatchingEnumerator {
 public:
  MaximumMatchingEnumerator(int n, const std::set<SplitEdge>& edges) : n_(n), neighbours_(n), usedRight_(n) {
    for (const SplitEdge& edge : edges) neighbours_[edge.first].push_back(edge.second);
  }

  std::vector<BGraph::Matching> MaximumMatchings() {
    Visit(0);
    return best_;
  }
  std::size_t MaximumSize() const { return bestSize_; }

 private:
  void Visit(int left) {
    if (left == n_) {
      if (current_.size() > bestSize_) {
        bestSize_ = current_.size();
        best_.clear();
      }
      if (current_.size() == bestSize_) best_.push_back(current_);
      return;
    }
    // Even matching every remaining left vertex cannot reach the best.
    if (current_.size() + static_cast<std::size_t>(n_ - left) < bestSize_) return;
    Visit(left + 1);
    for (int right : neighbours_[left]) {
      if (usedRight_[right - n_]) continue;
      usedRight_[right - n_] = true;
      current_.emplace_back(left, right);
      Visit(left + 1);
      current_.pop_back();
      usedRight_[right - n_] = false;
    }
  }

  int n_;
  std::vector<std::vector<int>> neighbours_;
  std::vector<bool> usedRight_;
  BGraph::Matching current_;
  std::vector<BGraph::Matching> best_;
  std::size_t bestSize_ = 0;
};

