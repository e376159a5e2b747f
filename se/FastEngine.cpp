#include "se/FastEngine.h"

#include <algorithm>
#include <utility>

FastEngine::FastEngine(const BGraph& graph, const BGraph::Matching* maximum)
    : residual_(graph), finder_(residual_) {
  if (!residual_.IsBipartite()) return;
  root_ = maximum ? residual::RootFromMatching(residual_, *maximum) : residual::MakeRoot(residual_);
  maxCardinality_ = static_cast<unsigned int>(residual::ResidualMatchingSize(root_));
  forced_ = residual::ForcedVertices(residual_, root_);
}

std::string FastEngine::Refusal(unsigned int maxCardinality) const {
  if (!residual_.IsBipartite())
    return "the graph is not bipartite (it has an odd cycle); alternating paths need two sides";
  if (maxCardinality != maxCardinality_)
    return "runs towards matchings of size " + std::to_string(maxCardinality) +
           ", but the graph's maximum matchings have size " + std::to_string(maxCardinality_) +
           " and the fast engine carries maximum matchings only";
  return "";
}

void FastEngine::Start(unsigned int /*maxCardinality*/) {
  finder_ = fastse::SuccessorFinder(residual_);
  finder_.UseForced(forced_);
  walked_ = residual_;
  gone_.assign(static_cast<std::size_t>(residual_.VertexCount()), 0);
  deadEntries_ = 0;
  level_.assign(1, root_);
}

void FastEngine::AppendSuccessors(std::size_t node, unsigned int vertex,
                                  std::vector<Successor>& out) {
  candidates_.clear();
  finder_.FindCandidates(level_[node], static_cast<int>(vertex), candidates_);
  for (const fastse::Candidate& candidate : candidates_)
    out.push_back({static_cast<std::uint32_t>(node), candidate.partner,
                   static_cast<std::uint8_t>(candidate.reason)});
}

void FastEngine::BuildLevel(unsigned int vertex, const std::vector<Successor>& kept) {
  std::vector<std::uint32_t> remaining(level_.size(), 0);
  for (const Successor& successor : kept) ++remaining[successor.parent];
  std::vector<residual::State> children;
  children.reserve(kept.size());
  for (const Successor& successor : kept) {
    residual::State& parent = level_[successor.parent];
    if (--remaining[successor.parent] == 0)
      children.push_back(std::move(parent));
    else
      children.push_back(parent);
    finder_.BuildChild(children.back(), static_cast<int>(vertex),
                       fastse::Candidate{successor.partner,
                                         static_cast<fastse::Reason>(successor.proof)});
  }
  level_ = std::move(children);
  DropDecided(vertex);
}

// A vertex cleared in every node of a level (a decided vertex; with few
// nodes also a partner they all took) stays cleared in every node below, so
// its edges are dropped from the graph the searches walk, in place, whenever
// such edges make up a quarter of its entries: the searches never scan many
// dead entries, and the drops cost a few passes over the graph.
void FastEngine::DropDecided(unsigned int vertex) {
  if (vertex >= gone_.size()) return;
  const int v = static_cast<int>(vertex);
  MarkGone(v);
  constexpr std::size_t kMostNodesForPartners = 8;
  if (level_.size() <= kMostNodesForPartners) {
    for (const residual::State& node : level_) {
      if (node[v] > residual::kPartnerBase) continue;
      const int partner = residual::PartnerOf(node[v]);
      const bool everywhere =
          std::all_of(level_.begin(), level_.end(), [partner](const residual::State& other) {
            return residual::IsCleared(other[partner]);
          });
      if (everywhere) MarkGone(partner);
    }
  }
  if (deadEntries_ > 0 && 4 * deadEntries_ >= walked_.EdgeEntryCount()) {
    walked_.Drop(gone_);
    finder_.UseGraph(walked_);
    deadEntries_ = 0;
  }
}

void FastEngine::MarkGone(int vertex) {
  if (gone_[vertex]) return;
  gone_[vertex] = 1;
  deadEntries_ += 2 * static_cast<std::size_t>(walked_.NeighboursEnd(vertex) -
                                               walked_.NeighboursBegin(vertex));
}

BGraph::Matching FastEngine::DecidedPairs(std::size_t node,
                                          const std::vector<unsigned int>& order) const {
  return residual::DecidedPairs(level_[node], order);
}
