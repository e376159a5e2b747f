#pragma once

// The literal level engine of Stochastic Enumeration, the reference the
// fast engine is tested against.
//
// Every node (SeNode) carries its own deep copy of the residual graph. A
// successor is tried by building it (the pair recorded, the decided
// vertices' edges cleared in its copy) and kept when a fresh maximum
// matching of its residual graph still reaches the target size. It takes
// any graph and any target size.
//
// Cost: each candidate successor costs a graph copy and a maximum matching,
// so one level costs (kept nodes) * (1 + degree) matchings; a kept child is
// built once more from its parent. Memory: one graph copy per kept node.

#include <string>
#include <utility>
#include <vector>

#include "bipartite/BGraph.h"
#include "se/DistinctPartners.h"
#include "se/LevelEngine.h"
#include "se/SeNode.h"

class LiteralEngine : public LevelEngine {
 public:
  // `graph` must outlive this object and stay unchanged.
  explicit LiteralEngine(const BGraph& graph) : graph_(graph) {}

  // Boost's Edmonds matching.
  unsigned int MaxCardinality() const override { return graph_.GetCardinalityOfMaxMatching(); }
  std::string Refusal(unsigned int) const override { return ""; }
  void Start(unsigned int maxCardinality) override;
  std::size_t LevelSize() const override { return level_.size(); }
  void AppendSuccessors(std::size_t node, unsigned int vertex, unsigned int worker,
                        std::vector<Successor>& out) override;
  void BuildLevel(unsigned int vertex, const std::vector<Successor>& kept) override;
  BGraph::Matching DecidedPairs(std::size_t node,
                                const std::vector<unsigned int>& order) const override;

  // The completable successors of `node` when `vertex` is decided, in
  // successor order, each handed to `keep(partner, child)`; nothing when
  // `vertex` is outside the node's graph.
  template <typename Keep>
  static void ForEachCompletableChild(const SeNode& node, unsigned int maxCardinality,
                                      unsigned int vertex, Keep keep);

  // `node` with `vertex` decided: matched to `partner`, or left unmatched
  // when `partner` is -1.
  static SeNode Child(const SeNode& node, unsigned int vertex, int partner);

 private:
  const BGraph& graph_;
  unsigned int maxCardinality_ = 0;
  std::vector<SeNode> level_;
};

template <typename Keep>
void LiteralEngine::ForEachCompletableChild(const SeNode& node, unsigned int maxCardinality,
                                            unsigned int vertex, Keep keep) {
  if (!node.graph.IsVertexInGraph(vertex)) return;
  SeNode unmatched = Child(node, vertex, -1);
  if (unmatched.CanReachMaximum(maxCardinality)) keep(-1, std::move(unmatched));
  const std::vector<unsigned int> neighbours = node.graph.GetAdjacentVertices(vertex);
  DistinctPartners partners(node.graph.GetVertexList().size());
  partners.Clear();
  for (unsigned int w : neighbours) partners.Offer(static_cast<int>(w));
  for (int partner : partners.List()) {
    SeNode matched = Child(node, vertex, partner);
    if (matched.CanReachMaximum(maxCardinality)) keep(partner, std::move(matched));
  }
}
