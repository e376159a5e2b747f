#include "se/FastEngine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <utility>

FastEngine::FastEngine(const BGraph& graph, const BGraph::Matching* maximum)
    : residual_(graph) {
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

unsigned int FastEngine::UseWorkers(parallel::WorkerPool& pool) {
  pool_ = &pool;
  return pool.Workers();
}

void FastEngine::Start(unsigned int /*maxCardinality*/) {
  const unsigned int workers = pool_ != nullptr ? pool_->Workers() : 1;
  finders_.assign(workers, parallel::Apart<fastse::SuccessorFinder>(
                               fastse::SuccessorFinder(residual_)));
  for (auto& finder : finders_) finder.value.UseForced(forced_);
  candidates_.resize(workers);
  walked_ = residual_;
  gone_.assign(static_cast<std::size_t>(residual_.VertexCount()), 0);
  deadEntries_ = 0;
  level_.assign(1, root_);
}

void FastEngine::AppendSuccessors(std::size_t node, unsigned int vertex, unsigned int worker,
                                  std::vector<Successor>& out) {
  std::vector<fastse::Candidate>& candidates = candidates_[worker].value;
  candidates.clear();
  finders_[worker].value.FindCandidates(level_[node], static_cast<int>(vertex), candidates);
  for (const fastse::Candidate& candidate : candidates)
    out.push_back({static_cast<std::uint32_t>(node), candidate.partner,
                   static_cast<std::uint8_t>(candidate.reason)});
}

void FastEngine::BuildLevel(unsigned int vertex, const std::vector<Successor>& kept) {
  if (pool_ != nullptr && pool_->Workers() > 1 && kept.size() > 1 && building_.Pays(kept.size())) {
    BuildOnPool(vertex, kept);
    DropDecided(vertex);
    return;
  }
  const auto start = std::chrono::steady_clock::now();
  fastse::SuccessorFinder& finder = finders_.front().value;
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
    finder.BuildChild(children.back(), static_cast<int>(vertex),
                      fastse::Candidate{successor.partner,
                                        static_cast<fastse::Reason>(successor.proof)});
  }
  level_ = std::move(children);
  if (pool_ != nullptr) building_.Record(kept.size(), std::chrono::steady_clock::now() - start);
  DropDecided(vertex);
}

void FastEngine::BuildOnPool(unsigned int vertex, const std::vector<Successor>& kept) {
  std::vector<std::uint32_t> remaining(level_.size(), 0);
  for (const Successor& successor : kept) ++remaining[successor.parent];
  std::vector<std::uint8_t> childless(level_.size(), 0);
  for (std::size_t parent = 0; parent < level_.size(); ++parent)
    childless[parent] = remaining[parent] == 0 ? 1 : 0;
  std::vector<std::uint8_t> takesOver(kept.size(), 0);
  for (std::size_t k = 0; k < kept.size(); ++k)
    takesOver[k] = --remaining[kept[k].parent] == 0 ? 1 : 0;
  std::vector<residual::State> children(kept.size());
  const std::uint64_t parents = level_.size();
  std::atomic<std::int64_t> work{0};
  for (const std::uint8_t pass : {0, 1}) {
    pool_->Pieces(kept.size(), [&](std::size_t, std::size_t begin, std::size_t end,
                                   unsigned int worker) {
      parallel::AddTime(work, [&] {
        for (std::size_t k = begin; k < end; ++k) {
          if (takesOver[k] != pass) continue;
          residual::State& parent = level_[kept[k].parent];
          if (pass == 1)
            children[k] = std::move(parent);
          else
            children[k] = parent;
          finders_[worker].value.BuildChild(
              children[k], static_cast<int>(vertex),
              fastse::Candidate{kept[k].partner, static_cast<fastse::Reason>(kept[k].proof)});
        }
        if (pass == 1) return;
        // Parents without kept children, which neither pass reads, are
        // freed here: each piece the same share of the level as of the
        // children.
        const std::size_t first = static_cast<std::size_t>(begin * parents / kept.size());
        const std::size_t last = static_cast<std::size_t>(end * parents / kept.size());
        for (std::size_t parent = first; parent < last; ++parent)
          if (childless[parent]) residual::State().swap(level_[parent]);
      });
    });
  }
  building_.Record(kept.size(), std::chrono::nanoseconds(work.load()));
  level_ = std::move(children);
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
    for (auto& finder : finders_) finder.value.UseGraph(walked_);
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
