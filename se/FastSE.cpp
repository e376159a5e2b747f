#include "se/FastSE.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "se/FastSuccessors.h"

namespace {

// A successor before it is built: its parent's index and its candidate.
struct Handle {
  std::uint32_t parent;
  fastse::Candidate candidate;
};

using Level = std::vector<residual::State>;

// Builds the kept children in `kept` order. The last kept child of a parent
// takes the parent's state over; the others copy it.
Level BuildLevel(Level& parents, const std::vector<Handle>& kept, int vertex,
                 fastse::SuccessorFinder& finder) {
  std::vector<std::uint32_t> remaining(parents.size(), 0);
  for (const Handle& handle : kept) ++remaining[handle.parent];
  Level children;
  children.reserve(kept.size());
  for (const Handle& handle : kept) {
    residual::State& parent = parents[handle.parent];
    if (--remaining[handle.parent] == 0)
      children.push_back(std::move(parent));
    else
      children.push_back(parent);
    finder.BuildChild(children.back(), vertex, handle.candidate);
  }
  return children;
}

}  // namespace

FastSE::FastSE(const BGraph& graph) : graph_(graph), residual_(graph) {
  if (!residual_.IsBipartite()) return;
  root_ = residual::MakeRoot(residual_);
  maxCardinality_ = static_cast<unsigned int>(residual::ResidualMatchingSize(root_));
}

bool FastSE::Supports(unsigned int maxCardinality) const {
  return residual_.IsBipartite() && maxCardinality == maxCardinality_;
}

FastSE::DecompositionList FastSE::Run(const std::vector<unsigned int>& order, unsigned int budget,
                                      std::mt19937_64& engine, bool& isFullyEnumerated,
                                      std::vector<LevelSize>& levels) const {
  fastse::SuccessorFinder finder(residual_);
  // Decided vertices are cleared in every node of the levels below, so their
  // edges are dropped from the graph the searches walk, now and then.
  ResidualGraph walked;
  std::vector<std::uint8_t> decided(static_cast<std::size_t>(residual_.VertexCount()), 0);
  const std::size_t compactionStep = std::max<std::size_t>(16, decided.size() / 32);
  std::size_t decidedSinceCompaction = 0;

  Level level{root_};
  isFullyEnumerated = true;
  levels.clear();
  levels.reserve(order.size());
  std::vector<fastse::Candidate> candidates;
  std::vector<Handle> successors;
  for (unsigned int vertex : order) {
    const int v = static_cast<int>(vertex);
    successors.clear();
    for (std::uint32_t i = 0; i < level.size(); ++i) {
      candidates.clear();
      finder.FindCandidates(level[i], v, candidates);
      for (const fastse::Candidate& candidate : candidates) successors.push_back({i, candidate});
    }
    const std::size_t generated = successors.size();
    if (budget < generated) {
      std::shuffle(successors.begin(), successors.end(), engine);
      successors.resize(budget);
      isFullyEnumerated = false;
    }
    level = BuildLevel(level, successors, v, finder);
    levels.push_back({generated, level.size()});

    if (vertex < decided.size()) {
      decided[vertex] = 1;
      if (++decidedSinceCompaction == compactionStep) {
        walked = ResidualGraph();  // the old lists go before the new ones are made
        walked = residual_.Without(decided);
        finder.UseGraph(walked);
        decidedSinceCompaction = 0;
      }
    }
  }

  DecompositionList decompositions;
  decompositions.reserve(level.size());
  for (const residual::State& node : level) {
    BGraph::Matching pairs = residual::DecidedPairs(node, order);
    decompositions.push_back(graph_.GetDillworthDecompositionFromMatching(pairs));
  }
  return decompositions;
}
