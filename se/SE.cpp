#include "se/SE.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "se/FastSE.h"

SE::SE(BGraph graph, unsigned int budget, unsigned int repetitions, std::mt19937_64& engine)
    : budget(budget), repetitions(repetitions), graph(std::move(graph)), engine(engine) {}

SE::DecompositionList SE::RunSE(bool& isFullyEnumerated, std::vector<WideDouble>& estimates) {
  isFullyEnumerated = false;
  estimates.clear();
  // Without runs neither the engine nor the matching number is needed.
  if (repetitions == 0) return {};
  std::unique_ptr<FastSE> fast;
  if (useFastEngine) fast = std::make_unique<FastSE>(graph);
  const unsigned int maxCardinality = fast && fast->IsBipartite()
                                          ? fast->MaxCardinality()
                                          : graph.GetCardinalityOfMaxMatching();
  isFullyEnumerated = false;
  estimates.clear();
  DecompositionList decompositions;
  WideDouble sum = 0.0;
  for (unsigned int run = 0; run < repetitions; ++run) {
    WideDouble estimate;
    decompositions = RunDescent(isFullyEnumerated, estimate, maxCardinality, fast.get());
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

std::atomic<std::size_t>* SE::LevelCounter() {
  if (progress == nullptr) return nullptr;
  progress->levels.store(graph.GetVertexList().size());
  progress->level.store(0);
  return &progress->level;
}

SE::DecompositionList SE::RunSingleSE(bool& isFullyEnumerated, WideDouble& estimate,
                                      unsigned int maxCardinality) {
  if (!useFastEngine) return RunDescent(isFullyEnumerated, estimate, maxCardinality, nullptr);
  const FastSE fast(graph);
  return RunDescent(isFullyEnumerated, estimate, maxCardinality, &fast);
}

SE::DecompositionList SE::RunDescent(bool& isFullyEnumerated, WideDouble& estimate,
                                     unsigned int maxCardinality, const FastSE* fast) {
  std::vector<unsigned int> order = graph.GetVertexList();
  std::shuffle(order.begin(), order.end(), engine);
  ApplyVertexOrder(vertexOrder, graph, order);

  std::vector<FastSE::LevelSize> levels;
  DecompositionList decompositions =
      fast != nullptr && fast->Supports(maxCardinality)
          ? fast->Run(order, budget, engine, isFullyEnumerated, levels, LevelCounter())
          : DescendOnNodes(order, maxCardinality, isFullyEnumerated, levels);

  // Both engines give one decomposition per node of the final level.
  WideDouble product = 1.0;
  for (const FastSE::LevelSize& level : levels)
    product = ScaleRunningProduct(level.generated, level.kept, product);
  estimate = RunEstimate(decompositions.size(), product);
  return decompositions;
}

SE::DecompositionList SE::DescendOnNodes(const std::vector<unsigned int>& order,
                                         unsigned int maxCardinality, bool& isFullyEnumerated,
                                         std::vector<FastSE::LevelSize>& levels) {
  SeNode root;
  root.graph = graph;

  std::vector<SeNode> level{root};
  isFullyEnumerated = true;
  std::atomic<std::size_t>* done = LevelCounter();
  for (unsigned int vertex : order) {
    if (done != nullptr) done->fetch_add(1, std::memory_order_relaxed);
    std::vector<SeNode> successors = GetSuccessors(level, maxCardinality, vertex);
    level = SelectRandomHyperchild(successors);
    if (budget < successors.size()) isFullyEnumerated = false;
    levels.push_back({successors.size(), level.size()});
  }

  DecompositionList decompositions;
  decompositions.reserve(level.size());
  for (SeNode& node : level)
    decompositions.push_back(node.graph.GetDillworthDecompositionFromMatching(node.matching));
  return decompositions;
}

std::vector<SeNode> SE::SelectRandomHyperchild(std::vector<SeNode> nodes) {
  if (budget < nodes.size()) {
    std::shuffle(nodes.begin(), nodes.end(), engine);
    nodes.resize(budget);
  }
  return nodes;
}

std::vector<SeNode> SE::GetSuccessors(std::vector<SeNode> nodes, unsigned int maxCardinality,
                                      unsigned int vertex) {
  std::vector<SeNode> successors;
  for (const SeNode& node : nodes) {
    if (node.graph.IsVertexInGraph(vertex))
      AppendSuccessorsOfNode(node, maxCardinality, vertex, successors);
    else
      successors.push_back(node);
  }
  return successors;
}

void SE::AppendSuccessorsOfNode(const SeNode& node, unsigned int maxCardinality,
                                unsigned int vertex, std::vector<SeNode>& successors) {
  SeNode unmatched = node;
  unmatched.graph.ClearVertexEdges(vertex);
  AppendIfCompletable(std::move(unmatched), maxCardinality, successors);

  // Parallel edges (two passages sharing a number make the poset repeat a
  // pair) join the same two vertices and give the same matching: try each
  // partner once, or the leaf would be counted and reported twice.
  std::vector<unsigned int> tried;
  for (unsigned int partner : node.graph.GetAdjacentVertices(vertex)) {
    if (std::find(tried.begin(), tried.end(), partner) != tried.end()) continue;
    tried.push_back(partner);
    SeNode matched = node;
    matched.matching.emplace_back(static_cast<int>(vertex), static_cast<int>(partner));
    matched.graph.ClearVertexEdges(vertex);
    matched.graph.ClearVertexEdges(partner);
    AppendIfCompletable(std::move(matched), maxCardinality, successors);
  }
}

void SE::AppendIfCompletable(SeNode candidate, unsigned int maxCardinality,
                             std::vector<SeNode>& successors) {
  if (candidate.CanReachMaximum(maxCardinality)) successors.push_back(std::move(candidate));
}

WideDouble ScaleRunningProduct(std::size_t successors, std::size_t kept,
                               const WideDouble& product) {
  return WideDouble(static_cast<double>(successors) / static_cast<double>(kept)) * product;
}

WideDouble RunEstimate(std::size_t finalLevelSize, const WideDouble& product) {
  return WideDouble(static_cast<double>(finalLevelSize)) * product;
}
