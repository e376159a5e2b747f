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
                                      std::vector<LevelSize>& levels,
                                      std::atomic<std::size_t>* levelsDone) const {
  fastse::SuccessorFinder finder(residual_);
  // A vertex cleared in every node of a level (a decided vertex; with few
  // nodes also a partner they all took) stays cleared in every node below,
  // so its edges are dropped from the graph the searches walk, in place,
  // whenever such edges make up a quarter of its entries: the searches never
  // scan many dead entries, and the drops cost a few passes over the graph.
  ResidualGraph walked = residual_;
  std::vector<std::uint8_t> gone(static_cast<std::size_t>(residual_.VertexCount()), 0);
  std::size_t deadEntries = 0;
  const auto markGone = [&](int x) {
    if (gone[x]) return;
    gone[x] = 1;
    deadEntries +=
        2 * static_cast<std::size_t>(walked.NeighboursEnd(x) - walked.NeighboursBegin(x));
  };
  constexpr std::size_t kMostNodesForPartners = 8;

  Level level{root_};
  isFullyEnumerated = true;
  levels.clear();
  levels.reserve(order.size());
  std::vector<fastse::Candidate> candidates;
  std::vector<Handle> successors;
  for (unsigned int vertex : order) {
    if (levelsDone != nullptr) levelsDone->fetch_add(1, std::memory_order_relaxed);
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

    if (vertex < gone.size()) {
      markGone(v);
      if (level.size() <= kMostNodesForPartners) {
        for (const residual::State& node : level) {
          if (node[v] > residual::kPartnerBase) continue;
          const int partner = residual::PartnerOf(node[v]);
          const bool everywhere =
              std::all_of(level.begin(), level.end(), [partner](const residual::State& other) {
                return residual::IsCleared(other[partner]);
              });
          if (everywhere) markGone(partner);
        }
      }
      if (4 * deadEntries >= walked.EdgeEntryCount() && deadEntries > 0) {
        walked.Drop(gone);
        finder.UseGraph(walked);
        deadEntries = 0;
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
