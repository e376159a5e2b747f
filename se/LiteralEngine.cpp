#include "se/LiteralEngine.h"

void LiteralEngine::Start(unsigned int maxCardinality) {
  maxCardinality_ = maxCardinality;
  SeNode root;
  root.graph = graph_;
  level_.assign(1, std::move(root));
}

void LiteralEngine::AppendSuccessors(std::size_t node, unsigned int vertex,
                                     unsigned int /*worker*/,
                                     std::vector<Successor>& out) {
  const std::uint32_t parent = static_cast<std::uint32_t>(node);
  if (!level_[node].graph.IsVertexInGraph(vertex)) {
    out.push_back({parent, -1, 0});
    return;
  }
  ForEachCompletableChild(level_[node], maxCardinality_, vertex,
                          [&out, parent](int partner, SeNode&&) {
                            out.push_back({parent, partner, 0});
                          });
}

void LiteralEngine::BuildLevel(unsigned int vertex, const std::vector<Successor>& kept) {
  std::vector<SeNode> children;
  children.reserve(kept.size());
  for (const Successor& successor : kept) {
    const SeNode& parent = level_[successor.parent];
    if (parent.graph.IsVertexInGraph(vertex))
      children.push_back(Child(parent, vertex, successor.partner));
    else
      children.push_back(parent);
  }
  level_ = std::move(children);
}

BGraph::Matching LiteralEngine::DecidedPairs(std::size_t node,
                                             const std::vector<unsigned int>&) const {
  return level_[node].matching;
}

SeNode LiteralEngine::Child(const SeNode& node, unsigned int vertex, int partner) {
  SeNode child = node;
  if (partner >= 0) child.matching.emplace_back(static_cast<int>(vertex), partner);
  child.graph.ClearVertexEdges(vertex);
  if (partner >= 0) child.graph.ClearVertexEdges(static_cast<unsigned int>(partner));
  return child;
}
