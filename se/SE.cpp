#include "se/SE.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <utility>

#include "se/LiteralEngine.h"

SE::SE(BGraph graph, unsigned int budget, unsigned int repetitions, std::mt19937_64& engine)
    : budget(budget), repetitions(repetitions), graph(std::move(graph)), engine(engine) {}

SE::DecompositionList SE::RunSE(bool& isFullyEnumerated, std::vector<WideDouble>& estimates) {
  isFullyEnumerated = false;
  estimates.clear();
  // Without runs neither the engine nor the matching number is needed.
  if (repetitions == 0) return {};
  const std::unique_ptr<LevelEngine> levels = MakeLevelEngine(engineKind, graph, startMatching ? &*startMatching : nullptr);
  const unsigned int maxCardinality = levels->MaxCardinality();
  DecompositionList decompositions;
  WideDouble sum = 0.0;
  for (unsigned int run = 0; run < repetitions; ++run) {
    WideDouble estimate;
    decompositions = Descend(*levels, isFullyEnumerated, estimate, maxCardinality);
    estimates.push_back(estimate);
    if (onRepetition) onRepetition(estimate, isFullyEnumerated);
    if (progress != nullptr) {
      sum += estimate;
      progress->meanLog10.store((sum / static_cast<double>(run + 1)).Log10());
      progress->repetitions.store(run + 1);
    }
  }
  return decompositions;
}

SE::DecompositionList SE::RunSingleSE(bool& isFullyEnumerated, WideDouble& estimate,
                                      unsigned int maxCardinality) {
  const std::unique_ptr<LevelEngine> levels = MakeLevelEngine(engineKind, graph, startMatching ? &*startMatching : nullptr);
  return Descend(*levels, isFullyEnumerated, estimate, maxCardinality);
}

std::atomic<std::size_t>* SE::LevelCounter() {
  if (progress == nullptr) return nullptr;
  progress->levels.store(graph.GetVertexList().size());
  progress->level.store(0);
  return &progress->level;
}

SE::DecompositionList SE::Descend(LevelEngine& levels, bool& isFullyEnumerated,
                                  WideDouble& estimate, unsigned int maxCardinality) {
  const std::string refusal = levels.Refusal(maxCardinality);
  if (!refusal.empty())
    throw std::invalid_argument("the " + EngineKindName(engineKind) +
                                " engine cannot make this run: " + refusal);

  std::vector<unsigned int> order = graph.GetVertexList();
  std::shuffle(order.begin(), order.end(), engine);
  ApplyVertexOrder(vertexOrder, graph, order);

  levels.Start(maxCardinality);
  isFullyEnumerated = true;
  WideDouble product = 1.0;
  std::atomic<std::size_t>* done = LevelCounter();
  std::vector<Successor> successors;
  for (unsigned int vertex : order) {
    if (done != nullptr) done->fetch_add(1, std::memory_order_relaxed);
    successors.clear();
    for (std::size_t node = 0; node < levels.LevelSize(); ++node)
      levels.AppendSuccessors(node, vertex, successors);
    const std::size_t generated = successors.size();
    if (KeepRandomSubset(successors, budget, engine)) isFullyEnumerated = false;
    levels.BuildLevel(vertex, successors);
    product = ScaleRunningProduct(generated, successors.size(), product);
  }

  DecompositionList decompositions;
  decompositions.reserve(levels.LevelSize());
  for (std::size_t node = 0; node < levels.LevelSize(); ++node) {
    BGraph::Matching pairs = levels.DecidedPairs(node, order);
    decompositions.push_back(graph.GetDillworthDecompositionFromMatching(pairs));
  }
  estimate = RunEstimate(decompositions.size(), product);
  return decompositions;
}

std::vector<SeNode> SE::SelectRandomHyperchild(std::vector<SeNode> nodes) {
  KeepRandomSubset(nodes, budget, engine);
  return nodes;
}

std::vector<SeNode> SE::GetSuccessors(std::vector<SeNode> nodes, unsigned int maxCardinality,
                                      unsigned int vertex) {
  std::vector<SeNode> successors;
  for (const SeNode& node : nodes) {
    if (!node.graph.IsVertexInGraph(vertex)) {
      successors.push_back(node);
      continue;
    }
    LiteralEngine::ForEachCompletableChild(
        node, maxCardinality, vertex,
        [&successors](int, SeNode&& child) { successors.push_back(std::move(child)); });
  }
  return successors;
}

WideDouble ScaleRunningProduct(std::size_t successors, std::size_t kept,
                               const WideDouble& product) {
  return WideDouble(static_cast<double>(successors) / static_cast<double>(kept)) * product;
}

WideDouble RunEstimate(std::size_t finalLevelSize, const WideDouble& product) {
  return WideDouble(static_cast<double>(finalLevelSize)) * product;
}
