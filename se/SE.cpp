#include "se/SE.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "parallel/Streams.h"
#include "se/LiteralEngine.h"

SE::SE(BGraph graph, unsigned int budget, unsigned int repetitions, std::mt19937_64& engine)
    : budget(budget), repetitions(repetitions), graph(std::move(graph)), engine(engine) {}

SE::DecompositionList SE::RunSE(bool& isFullyEnumerated, std::vector<WideDouble>& estimates) {
  isFullyEnumerated = false;
  estimates.clear();
  // Without runs neither the engine nor the matching number is needed.
  if (repetitions == 0) return {};
  const std::unique_ptr<LevelEngine> levels = MakeEngine(true);
  const unsigned int maxCardinality = levels->MaxCardinality();
  DecompositionList decompositions;
  WideDouble sum = 0.0;
  for (unsigned int run = 0; run < repetitions; ++run) {
    WideDouble estimate;
    decompositions =
        Descend(*levels, engine, isFullyEnumerated, estimate, maxCardinality, LevelCounter(),
                OnPool());
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
  const std::unique_ptr<LevelEngine> levels = MakeEngine(true);
  return Descend(*levels, engine, isFullyEnumerated, estimate, maxCardinality, LevelCounter(),
                OnPool());
}

std::unique_ptr<LevelEngine> SE::MakeEngine(bool withWorkers) {
  std::unique_ptr<LevelEngine> levels =
      MakeLevelEngine(engineKind, graph, startMatching ? &*startMatching : nullptr);
  if (withWorkers && workers != nullptr) {
    onPool_ = levels->UseWorkers(*workers) > 1;
  }
  return levels;
}

std::vector<SE::Repetition> SE::RunStreamsSince(const std::vector<unsigned int>& indices,
                                                std::uint32_t seed,
                                                const std::function<double()>& seconds,
                                                DecompositionList& last) {
  std::vector<Repetition> results(indices.size());
  if (indices.empty()) return results;
  const unsigned int workerCount = workers != nullptr ? workers->Workers() : 1;
  // An engine per worker, made by the worker on its first repetition; the
  // first here, so that the graph's shared adjacency is built before any
  // worker reads it.
  std::vector<std::unique_ptr<LevelEngine>> engines(workerCount);
  engines.front() = MakeEngine(false);
  if (progress != nullptr) progress->concurrent.store(true);
  std::mutex mutex;
  WideDouble sum = 0.0;
  unsigned int finished = 0;
  const auto run = [&](std::size_t item, unsigned int worker) {
    std::unique_ptr<LevelEngine>& levels = engines[worker];
    if (!levels) levels = MakeEngine(false);
    Repetition& result = results[item];
    result.index = indices[item];
    std::mt19937_64 random = parallel::MakeStream(seed, result.index);
    DecompositionList decompositions = Descend(*levels, random, result.fullyEnumerated,
                                               result.estimate, levels->MaxCardinality(), nullptr,
                                               false);
    result.seconds = seconds();
    std::lock_guard<std::mutex> lock(mutex);
    if (result.index + 1 == repetitions) last = std::move(decompositions);
    if (progress != nullptr) {
      sum += result.estimate;
      ++finished;
      progress->meanLog10.store((sum / static_cast<double>(finished)).Log10());
      progress->repetitions.store(finished);
    }
  };
  if (workers != nullptr)
    workers->Each(indices.size(), run);
  else
    for (std::size_t item = 0; item < indices.size(); ++item) run(item, 0);
  return results;
}

std::atomic<std::size_t>* SE::LevelCounter() {
  if (progress == nullptr) return nullptr;
  progress->levels.store(graph.GetVertexList().size());
  progress->level.store(0);
  return &progress->level;
}

SE::DecompositionList SE::Descend(LevelEngine& levels, std::mt19937_64& random,
                                  bool& isFullyEnumerated, WideDouble& estimate,
                                  unsigned int maxCardinality, std::atomic<std::size_t>* done,
                                  bool onPool) {
  const std::string refusal = levels.Refusal(maxCardinality);
  if (!refusal.empty())
    throw std::invalid_argument("the " + EngineKindName(engineKind) +
                                " engine cannot make this run: " + refusal);

  std::vector<unsigned int> order = graph.GetVertexList();
  std::shuffle(order.begin(), order.end(), random);
  ApplyVertexOrder(vertexOrder, graph, order);

  levels.Start(maxCardinality);
  isFullyEnumerated = true;
  WideDouble product = 1.0;
  std::vector<Successor> successors;
  for (unsigned int vertex : order) {
    if (done != nullptr) done->fetch_add(1, std::memory_order_relaxed);
    successors.clear();
    if (onPool) {
      const std::size_t most = parallel::LoopGauge::MostPieces(workers, levels.LevelSize());
      if (pieces_.size() < most) pieces_.resize(most);
      const std::size_t pieceCount = listing_.Run(
          workers, levels.LevelSize(),
          [&](std::size_t piece, std::size_t begin, std::size_t end, unsigned int worker) {
            pieces_[piece].value.clear();
            for (std::size_t node = begin; node < end; ++node)
              levels.AppendSuccessors(node, vertex, worker, pieces_[piece].value);
          });
      for (std::size_t piece = 0; piece < pieceCount; ++piece)
        successors.insert(successors.end(), pieces_[piece].value.begin(),
                          pieces_[piece].value.end());
    } else {
      for (std::size_t node = 0; node < levels.LevelSize(); ++node)
        levels.AppendSuccessors(node, vertex, 0, successors);
    }
    const std::size_t generated = successors.size();
    if (KeepRandomSubset(successors, budget, random)) isFullyEnumerated = false;
    levels.BuildLevel(vertex, successors);
    product = ScaleRunningProduct(generated, successors.size(), product);
  }

  DecompositionList decompositions(levels.LevelSize());
  const auto decode = [&](std::size_t, std::size_t begin, std::size_t end, unsigned int) {
    for (std::size_t node = begin; node < end; ++node) {
      BGraph::Matching pairs = levels.DecidedPairs(node, order);
      decompositions[node] = graph.GetDillworthDecompositionFromMatching(pairs);
    }
  };
  // Once a repetition: a meeting of the workers is nothing beside it.
  if (onPool)
    workers->Pieces(levels.LevelSize(), decode);
  else
    decode(0, 0, levels.LevelSize(), 0);
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
