#pragma once

// Stochastic Enumeration over one part of the split graph: one connected
// component (--split boards) or all of them in turn (the whole day), with
// uniform or importance-guided selection (--importance sinkhorn).
//
// A part of some components gets its vertices renumbered 0..L-1 and
// neighbour lists of its own, so that a run costs what the part costs, not
// the whole graph; the whole graph as one part keeps its numbering and
// shares the graph's lists.
// Nodes are compact states over those lists (ResidualState.h) and their
// completable successors are found by alternating paths (FastSuccessors.h),
// as in the whole-day engine.
//
// A repetition descends level by level, one decided vertex per level:
// - uniform: every vertex of the part, in the run's vertex order (random,
//   or right side then left side by ascending degree); a level keeps a
//   uniformly random subset of at most B successors, each weighing
//   |successors| / |kept| times its parent (Selection.h);
// - importance: per component, only the side with fewer unmatched vertices
//   is decided (the other side's vertices are then determined), in the
//   run's order restricted to that side. Before each decision every node
//   rebalances its board (SinkhornBalance.h, warm-started, `sweeps`
//   sweeps); a node's choices are weighted by the balance, and candidates
//   are kept with probabilities proportional to
//       W_parent * completions(parent) * share of the choice in the parent,
//   (completions from the balance; needed only with several parents),
//   capped at 1, by systematic sampling; a kept child weighs
//   W_parent / probability (Horvitz-Thompson, Selection.h). With B = 1
//   that is Knuth's estimator with importance sampling: the weight is the
//   product of 1 / p over the choices.
// The estimate is the sum of the weights of the last level, unbiased in
// both modes. A run in which no level had more candidates than B is exact.
//
// Randomness: only through Draws (the vertex order, then one sample per
// level whose candidates outnumber B).
//
// Memory: O(L + part's edges) for the lists, O(L) for the search, and per
// kept node O(L) words plus, with importance, 9 bytes per row and column
// of the board being decided.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bipartite/BGraph.h"
#include "bipartite/Components.h"
#include "bipartite/FlatAdjacency.h"
#include "common/Passage.h"
#include "numeric/WideDouble.h"
#include "se/Draws.h"
#include "se/FastSuccessors.h"
#include "se/ResidualGraph.h"
#include "se/ResidualState.h"
#include "se/SinkhornBalance.h"
#include "se/Staircase.h"
#include "se/VertexOrder.h"

struct PartOptions {
  static constexpr int kDefaultSweeps = 2;
  unsigned int budget = 1;
  bool importance = false;
  VertexOrder vertexOrder = VertexOrder::Random;
  int sweeps = kDefaultSweeps;  // per decision, with importance
};

struct PartRepetition {
  WideDouble estimate;
  bool fullyEnumerated = false;
};

class PartEstimator {
 public:
  // The part made of `components` (indices into `all`, each once) of
  // `graph`, which must be bipartite (a split graph is). `passages` (the
  // timetable, position = left vertex) orders each board's rows by time;
  // without it rows go by descending degree. The part copies what it
  // needs; it keeps no reference to its arguments.
  PartEstimator(const BGraph& graph, const GraphComponents& all,
                const std::vector<std::uint32_t>& components,
                const std::vector<Passage>* passages, const PartOptions& options);
  // The search keeps a pointer to the residual graph, a member.
  PartEstimator(const PartEstimator&) = delete;
  PartEstimator& operator=(const PartEstimator&) = delete;

  // One repetition. With `final`, also the matchings of the last level, as
  // pairs (left vertex, right vertex) of the whole graph, one list per node.
  PartRepetition Run(Draws& draws, std::vector<BGraph::Matching>* final = nullptr);

  // Size of a maximum matching of the part.
  std::size_t MatchingSize() const { return matchingSize_; }
  std::size_t VertexCount() const { return globalOf_.size(); }

  // Bytes a part of `vertices` vertices and `entries` neighbour-list
  // entries (two per edge) takes at most while it runs with this budget,
  // besides what its caller keeps; `ownLists` false for the whole graph,
  // whose lists are shared.
  static std::size_t MemoryBytes(std::size_t vertices, std::size_t entries, unsigned int budget,
                                 bool importance, bool ownLists = true);

 private:
  // One component of the part.
  struct Board {
    std::vector<std::int32_t> vertices;  // local, ascending
    // With importance: the side decided, its staircase and root balance.
    std::vector<std::int32_t> deciding;
    Staircase staircase;
    SinkhornBalance root;
  };
  struct Node {
    residual::State state;
    SinkhornBalance balance;
    WideDouble weight;
  };
  struct Choice {
    std::uint32_t parent;
    fastse::Candidate candidate;
    double weight;  // the choice's share within its parent, unnormalised
  };

  void BuildLists(const BGraph& graph, const GraphComponents& all,
                  const std::vector<std::uint32_t>& components);
  void BuildBoards(const std::vector<Passage>* passages);
  // The levels of a repetition: (local vertex, board) in decision order.
  void MakeOrder(Draws& draws, std::vector<std::pair<std::int32_t, std::uint32_t>>& order) const;
  bool IsLeft(std::int32_t local) const { return globalOf_[local] < leftCount_; }
  std::size_t Degree(std::int32_t local) const {
    return lists_->Degree(static_cast<std::size_t>(local));
  }

  PartOptions options_;
  std::uint32_t leftCount_ = 0;  // n: vertices below it are left vertices
  std::vector<std::uint32_t> globalOf_;
  std::shared_ptr<const FlatAdjacency> lists_;
  ResidualGraph residual_;
  residual::State root_;
  std::vector<std::uint8_t> forced_;
  std::size_t matchingSize_ = 0;
  std::vector<Board> boards_;
  std::vector<std::int32_t> slot_;  // row position or column index in its board

  // Working space of the runs.
  std::unique_ptr<fastse::SuccessorFinder> finder_;
  std::vector<Node> level_;
  std::vector<Node> next_;
  std::vector<Choice> choices_;
  std::vector<fastse::Candidate> found_;
  SinkhornBalance::Scratch scratch_;
};
