#include "se/EstimateParts.h"

#include <algorithm>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <utility>

#include "bipartite/TerminalBoards.h"
#include "parallel/Streams.h"
#include "parallel/Words.h"
#include "se/Draws.h"
#include "se/PartEstimator.h"

namespace parts {

bool ParseSplit(const std::string& name, Split& split) {
  if (name == "none") {
    split = Split::None;
    return true;
  }
  if (name == "boards") {
    split = Split::Boards;
    return true;
  }
  return false;
}

std::string SplitName(Split split) { return split == Split::Boards ? "boards" : "none"; }

bool ParseImportance(const std::string& name, Importance& importance) {
  if (name == "uniform") {
    importance = Importance::Uniform;
    return true;
  }
  if (name == "sinkhorn") {
    importance = Importance::Sinkhorn;
    return true;
  }
  return false;
}

std::string ImportanceName(Importance importance) {
  return importance == Importance::Sinkhorn ? "sinkhorn" : "uniform";
}

PartPlan::PartPlan(const BGraph& graph, Split split)
    : split_(split), components_(*graph.Adjacency()) {
  const std::shared_ptr<const FlatAdjacency> lists = graph.Adjacency();
  const std::size_t count = Count();
  vertices_.assign(count, 0);
  entries_.assign(count, 0);
  for (std::size_t c = 0; c < components_.Count(); ++c) {
    const std::size_t part = split == Split::Boards ? c : 0;
    vertices_[part] += components_.Size(c);
    for (const std::uint32_t* v = components_.Begin(c); v != components_.End(c); ++v)
      entries_[part] += lists->Degree(*v);
  }
}

std::vector<std::uint32_t> PartPlan::ComponentsOf(std::size_t part) const {
  if (split_ == Split::Boards) return {static_cast<std::uint32_t>(part)};
  std::vector<std::uint32_t> all(components_.Count());
  std::iota(all.begin(), all.end(), std::uint32_t{0});
  return all;
}

std::vector<std::uint32_t> PartPlan::LargestFirst() const {
  std::vector<std::uint32_t> order(Count());
  std::iota(order.begin(), order.end(), std::uint32_t{0});
  std::stable_sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
    if (entries_[a] != entries_[b]) return entries_[a] > entries_[b];
    return vertices_[a] > vertices_[b];
  });
  return order;
}

std::vector<std::uint32_t> ShareOf(const PartPlan& plan, unsigned int rank, unsigned int ranks) {
  const std::vector<std::uint32_t> order = plan.LargestFirst();
  std::vector<std::uint32_t> share;
  for (std::size_t p = rank; p < order.size(); p += ranks) share.push_back(order[p]);
  return share;
}

std::vector<PartResult> RunShare(const BGraph& graph, const std::vector<Passage>* passages,
                                 const PartPlan& plan, const Settings& settings,
                                 const std::vector<std::uint32_t>& share, std::uint32_t seed,
                                 parallel::WorkerPool* workers,
                                 const std::function<double()>& seconds,
                                 std::atomic<unsigned int>* done) {
  PartOptions options;
  options.budget = settings.budget;
  options.importance = settings.importance == Importance::Sinkhorn;
  options.vertexOrder = settings.vertexOrder;
  std::vector<PartResult> results(share.size());
  std::mutex clock;  // `seconds` may not be safe to call at once
  const auto now = [&] {
    std::lock_guard<std::mutex> lock(clock);
    return seconds();
  };
  const auto run = [&](std::size_t item, unsigned int) {
    PartResult& result = results[item];
    result.part = share[item];
    result.hasEdges = plan.Entries(result.part) > 0;
    if (!result.hasEdges) {
      // Nothing to decide: one maximum matching, the empty one.
      result.exact = true;
      result.estimates.assign(1, WideDouble(1.0));
      result.seconds.assign(1, now());
      result.final.assign(1, BGraph::Matching());
    } else if (settings.repetitions > 0) {
      PartEstimator estimator(graph, plan.Components(), plan.ComponentsOf(result.part), passages,
                              options);
      for (unsigned int r = 0; r < settings.repetitions; ++r) {
        StreamDraws draws(parallel::MakeStream(seed, result.part, r));
        const PartRepetition repetition = estimator.Run(draws, &result.final);
        if (repetition.fullyEnumerated) {
          result.exact = true;
          result.estimates.assign(1, repetition.estimate);
          result.seconds.assign(1, now());
          break;
        }
        result.estimates.push_back(repetition.estimate);
        result.seconds.push_back(now());
      }
    }
    if (done != nullptr) done->fetch_add(1, std::memory_order_relaxed);
  };
  if (workers != nullptr && workers->Workers() > 1)
    workers->Each(share.size(), run);
  else
    for (std::size_t item = 0; item < share.size(); ++item) run(item, 0);
  return results;
}

std::vector<std::uint64_t> PackParts(const std::vector<PartResult>& results) {
  parallel::WordWriter out;
  out.Put(results.size());
  for (const PartResult& result : results) {
    out.Put(result.part);
    out.Put((result.exact ? 1 : 0) | (result.hasEdges ? 2 : 0));
    out.Put(result.estimates.size());
    for (std::size_t r = 0; r < result.estimates.size(); ++r) {
      out.PutDouble(result.estimates[r].Significand());
      out.PutSigned(result.estimates[r].Exponent());
      out.PutDouble(result.seconds[r]);
    }
    out.Put(result.final.size());
    for (const BGraph::Matching& matching : result.final) {
      out.Put(matching.size());
      for (const auto& pair : matching) {
        out.PutSigned(pair.first);
        out.PutSigned(pair.second);
      }
    }
  }
  return out.Words();
}

std::vector<PartResult> PoolParts(const std::vector<std::vector<std::uint64_t>>& messages,
                                  std::size_t partCount) {
  std::vector<PartResult> pooled(partCount);
  std::vector<bool> seen(partCount, false);
  for (const std::vector<std::uint64_t>& message : messages) {
    parallel::WordReader in(message);
    const std::uint64_t count = in.Get();
    for (std::uint64_t k = 0; k < count; ++k) {
      const std::uint64_t part = in.Get();
      if (part >= partCount || seen[part])
        throw std::runtime_error("part " + std::to_string(part) + " pooled twice or unknown");
      seen[part] = true;
      PartResult& result = pooled[part];
      result.part = static_cast<std::uint32_t>(part);
      const std::uint64_t flags = in.Get();
      result.exact = (flags & 1) != 0;
      result.hasEdges = (flags & 2) != 0;
      const std::uint64_t repetitions = in.Get();
      for (std::uint64_t r = 0; r < repetitions; ++r) {
        const double significand = in.GetDouble();
        const std::int64_t exponent = in.GetSigned();
        result.estimates.push_back(WideDouble::FromParts(significand, exponent));
        result.seconds.push_back(in.GetDouble());
      }
      const std::uint64_t matchings = in.Get();
      for (std::uint64_t m = 0; m < matchings; ++m) {
        BGraph::Matching matching(in.Get());
        for (auto& pair : matching) {
          pair.first = static_cast<int>(in.GetSigned());
          pair.second = static_cast<int>(in.GetSigned());
        }
        result.final.push_back(std::move(matching));
      }
    }
    if (!in.AtEnd()) throw std::runtime_error("a parts message has trailing words");
  }
  for (std::size_t part = 0; part < partCount; ++part)
    if (!seen[part]) throw std::runtime_error("part " + std::to_string(part) + " is missing");
  return pooled;
}

std::vector<ComponentSize> ComponentSizes(const PartPlan& plan) {
  const GraphComponents& components = plan.Components();
  std::vector<ComponentSize> sizes(components.Count());
  if (plan.Count() == components.Count()) {
    for (std::size_t c = 0; c < sizes.size(); ++c)
      sizes[c] = ComponentSize{plan.Vertices(c), plan.Entries(c)};
    return sizes;
  }
  // One part: the components' vertices are known, their entries only in
  // total; the whole part is what the estimator builds anyway.
  return {ComponentSize{plan.Vertices(0), plan.Entries(0)}};
}

std::vector<ComponentSize> BoardSizes(const std::vector<Passage>& passages) {
  std::vector<ComponentSize> sizes;
  for (const TerminalBoard& board : BuildTerminalBoards(passages))
    sizes.push_back(ComponentSize{board.rows + board.Columns(), 2 * board.Cells()});
  return sizes;
}

std::size_t EstimatorMemoryBytes(const std::vector<ComponentSize>& components,
                                 const Settings& settings, unsigned int threads) {
  const bool importance = settings.importance == Importance::Sinkhorn;
  std::vector<ComponentSize> parts = components;
  if (settings.split == Split::None) {
    ComponentSize whole;
    for (const ComponentSize& size : components) {
      whole.vertices += size.vertices;
      whole.entries += size.entries;
    }
    parts.assign(1, whole);
  }
  std::sort(parts.begin(), parts.end(), [](const ComponentSize& a, const ComponentSize& b) {
    return a.entries != b.entries ? a.entries > b.entries : a.vertices > b.vertices;
  });
  std::size_t bytes = 0;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    const ComponentSize& part = parts[k];
    bytes += 16 * part.vertices;  // the plan's arrays
    if (k < std::max(1u, threads))
      bytes += PartEstimator::MemoryBytes(part.vertices, part.entries, settings.budget, importance,
                                          settings.split == Split::Boards);
    if (part.entries == 0) continue;
    // Estimates with their times, and the last level's pairs.
    bytes += 24 * static_cast<std::size_t>(settings.repetitions) + 64;
    bytes += static_cast<std::size_t>(settings.budget) * (4 * part.vertices + 24);
  }
  return bytes;
}

}  // namespace parts
