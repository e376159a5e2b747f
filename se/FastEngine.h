#pragma once

// The fast level engine of Stochastic Enumeration: compact nodes over one
// shared graph, with the same successors in the same order as the literal
// engine (LiteralEngine), hence the same runs at a fraction of the cost.
//
// A node is a ResidualState (O(V) words) over one shared ResidualGraph; its
// successors are found by alternating paths against the maximum matching it
// carries (FastSuccessors), and listed as small handles. Only the kept
// children are built; a parent's last kept child takes over its state, so
// with B = 1 no state is ever copied.
//
// It takes bipartite graphs only (the alternating-path arguments need two
// sides; a split graph built from a poset always has them) and runs whose
// leaves are maximum matchings (it carries a maximum matching down the
// tree); Refusal says so for anything else.
//
// With a worker pool, the successors of a level's nodes are listed and the
// kept children built by all workers at once, each with a finder of its
// own; searches and builds depend only on the node, so the level is the
// same as one thread would make.
//
// Memory: O(B * V) for the level plus O(B * (1 + degree)) handles, and
// O(V) per worker.
// Time per level: one alternating search per node for the decided vertex
// (more when it cannot be left unmatched), plus O(V) per kept child that is
// not its parent's last.

#include <cstdint>
#include <string>
#include <vector>

#include "bipartite/BGraph.h"
#include "parallel/Apart.h"
#include "parallel/LoopGauge.h"
#include "se/FastSuccessors.h"
#include "se/LevelEngine.h"
#include "se/ResidualGraph.h"
#include "se/ResidualState.h"

class FastEngine : public LevelEngine {
 public:
  // `graph` must outlive this object and stay unchanged. `maximum`, when
  // given, is a maximum matching of it to start from (pairs of vertices);
  // otherwise Hopcroft-Karp finds one.
  explicit FastEngine(const BGraph& graph, const BGraph::Matching* maximum = nullptr);

  // Found by Hopcroft-Karp; 0 when the graph is not bipartite.
  unsigned int MaxCardinality() const override { return maxCardinality_; }
  std::string Refusal(unsigned int maxCardinality) const override;
  unsigned int UseWorkers(parallel::WorkerPool& pool) override;
  void Start(unsigned int maxCardinality) override;
  std::size_t LevelSize() const override { return level_.size(); }
  void AppendSuccessors(std::size_t node, unsigned int vertex, unsigned int worker,
                        std::vector<Successor>& out) override;
  void BuildLevel(unsigned int vertex, const std::vector<Successor>& kept) override;
  BGraph::Matching DecidedPairs(std::size_t node,
                                const std::vector<unsigned int>& order) const override;

 private:
  // Decided vertices are cleared in every node of the levels below, so their
  // edges are dropped from the graph the searches walk, now and then.
  void DropDecided(unsigned int vertex);
  void MarkGone(int vertex);
  // The kept children built on the pool: first those that copy their
  // parent's state, then those that take it over (a parent's last child).
  void BuildOnPool(unsigned int vertex, const std::vector<Successor>& kept);

  ResidualGraph residual_;
  residual::State root_;
  std::vector<std::uint8_t> forced_;  // forced in the whole graph, so in every node
  unsigned int maxCardinality_ = 0;

  parallel::WorkerPool* pool_ = nullptr;
  // Whether building a level's kept children pays for a meeting of the
  // workers.
  parallel::LoopGauge building_;

  // The running descent; a finder and a candidate list per worker.
  std::vector<residual::State> level_;
  // Per worker, each apart from the others' (written on every search).
  std::vector<parallel::Apart<fastse::SuccessorFinder>> finders_;
  std::vector<parallel::Apart<std::vector<fastse::Candidate>>> candidates_;
  ResidualGraph walked_;
  std::vector<std::uint8_t> gone_;  // cleared in every node of the level
  std::size_t deadEntries_ = 0;     // entries of walked_ at gone vertices
};
