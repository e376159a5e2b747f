#include "se/EstimatorMemory.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/MemoryPlan.h"

namespace se_memory {

namespace {

constexpr std::uint64_t kBytesPerStateWord = 4;
constexpr std::uint64_t kLevelsAlive = 2;
constexpr std::uint64_t kBytesPerHandle = 12;
constexpr std::uint64_t kScratchWordsPerVertex = 16;  // a worker's finder and lists
constexpr std::uint64_t kBytesPerPassageListed = 4 + 20;  // in a chain, then as text
constexpr std::uint64_t kBytesPerChainListed = 32 + 318;  // a chain, then its element

}  // namespace

std::uint64_t LevelNodesBound(const BGraph& graph, unsigned int budget) {
  const std::size_t vertices = graph.VertexCount();
  double log2Leaves = 0.0;
  std::size_t largest = 0;
  for (std::size_t v = 0; v < vertices / 2; ++v) {
    const std::size_t degree = graph.Degree(static_cast<unsigned int>(v));
    largest = std::max(largest, degree);
    log2Leaves += std::log2(1.0 + static_cast<double>(degree));
    if (log2Leaves >= 63.0) return budget;
  }
  const auto leaves = static_cast<std::uint64_t>(std::ceil(std::exp2(log2Leaves)));
  return std::min<std::uint64_t>(budget, std::max<std::uint64_t>(leaves, 1));
}

std::uint64_t EstimatorBytes(const BGraph& graph, unsigned int budget, unsigned int concurrentRuns,
                             unsigned int workers) {
  using memory::SaturatingProduct;
  using memory::SaturatingSum;
  const std::uint64_t vertices = graph.VertexCount();
  std::uint64_t largest = 0;
  for (std::uint64_t v = 0; v < vertices; ++v)
    largest = std::max<std::uint64_t>(largest, graph.Degree(static_cast<unsigned int>(v)));
  const std::uint64_t perNode =
      kLevelsAlive * kBytesPerStateWord * vertices + kBytesPerHandle * (1 + largest);
  const std::uint64_t perRun = SaturatingProduct(LevelNodesBound(graph, budget), perNode);
  const std::uint64_t scratch = SaturatingProduct(
      std::max(workers, concurrentRuns), kScratchWordsPerVertex * kBytesPerStateWord * vertices);
  return SaturatingSum(SaturatingProduct(perRun, std::max(concurrentRuns, 1u)), scratch);
}

std::uint64_t ReportBytes(std::uint64_t decompositions, std::size_t passages, std::size_t chains) {
  using memory::SaturatingProduct;
  const std::uint64_t perDecomposition =
      kBytesPerPassageListed * passages + kBytesPerChainListed * chains + 64;
  return SaturatingProduct(decompositions, perDecomposition);
}

void PlanEstimator(memory::Plan& plan, const BGraph& graph, unsigned int budget,
                   unsigned int repetitions, bool streams, unsigned int threads,
                   std::size_t chains) {
  if (repetitions == 0) return;
  const unsigned int concurrent = streams ? std::min(threads, repetitions) : 1;
  const std::size_t passages = graph.VertexCount() / 2;
  plan.Add("the estimator's nodes (B = " + std::to_string(budget) + ", " +
               std::to_string(graph.VertexCount()) + " vertices" +
               (concurrent > 1 ? ", " + std::to_string(concurrent) + " runs at once" : "") + ")",
           EstimatorBytes(graph, budget, concurrent, threads));
  const std::uint64_t kept = LevelNodesBound(graph, budget);
  plan.Add("the report (up to " + std::to_string(kept) + " decompositions of " +
               std::to_string(passages) + " passages)",
           ReportBytes(kept, passages, chains));
}

}  // namespace se_memory
