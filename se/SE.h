#pragma once

// Stochastic Enumeration estimate of the number of maximum matchings of the
// split bipartite graph, i.e. of the minimum chain decompositions.
//
// The search tree has one level per vertex: a run shuffles the vertex list
// and, level by level, decides the next vertex in every node it holds, left
// unmatched or matched to one of its remaining neighbours. Only successors
// that can still be completed to a maximum matching are generated, so every
// leaf is a maximum matching and every maximum matching is exactly one leaf.
// Each level keeps a uniformly random subset of at most `budget` successors
// (the hyperchild); the run's estimate is
//   |last level| * prod over levels (|successors| / |kept|),
// an unbiased estimate of the number of leaves. A run in which no level has
// more successors than the budget visits every leaf: its estimate is exact.
//
// SE is the driver: it owns the vertex order, the selection of the kept
// successors, the estimate and the decoding of the final level. The nodes
// live in a level engine (LevelEngine.h) chosen by `engineKind`; an engine
// that cannot take the graph or the target size says why, and the run stops
// with that reason (std::invalid_argument) instead of switching engines.
//
// Cost: that of the engine (FastEngine.h, LiteralEngine.h) plus one
// shuffle of the handles of every level whose successors outnumber the
// budget.
//
// Randomness: only std::shuffle on the caller's engine, once over the vertex
// list per run and once per level whose successors outnumber the budget.
// RunStreams gives each repetition an engine of its own instead
// (parallel/Streams.h), so that repetitions can run at once.
//
// Threads: with `workers`, an engine that takes the pool lists the
// successors of a level's nodes on all workers, in contiguous pieces of the
// level; the pieces are joined in level order before the selection draws,
// so the draws and the runs are those of one thread.
// RunStreams spreads whole repetitions over the workers instead, an engine
// per worker.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "bipartite/BGraph.h"
#include "numeric/WideDouble.h"
#include "parallel/Apart.h"
#include "parallel/LoopGauge.h"
#include "parallel/WorkerPool.h"
#include "se/EngineKind.h"
#include "se/LevelEngine.h"
#include "se/SeNode.h"
#include "se/VertexOrder.h"

class SE {
 public:
  using DecompositionList = std::vector<BGraph::Decomposition>;

  unsigned int budget;
  unsigned int repetitions;
  BGraph graph;
  std::mt19937_64& engine;
  // The level engine of the runs: the fast one, or the literal reference
  // (both give the same runs where the fast one takes the graph).
  EngineKind engineKind = EngineKind::Fast;
  // How each run rearranges its shuffled vertex list before descending.
  VertexOrder vertexOrder = VertexOrder::Random;
  // A maximum matching of `graph` the fast engine may start from instead of
  // finding one of its own; the runs are the same with any (successors are
  // properties of the graph, not of the matching carried down).
  std::optional<BGraph::Matching> startMatching;

  // Where the runs are, for a progress line that reads it from another
  // thread: repetitions finished, levels done of the running one, and the
  // decimal logarithm of the mean of the estimates so far (NaN before the
  // first).
  struct Progress {
    std::atomic<unsigned int> repetitions{0};
    std::atomic<std::size_t> level{0};
    std::atomic<std::size_t> levels{0};
    // Set while repetitions run at once (RunStreams): no one level to show.
    std::atomic<bool> concurrent{false};
    std::atomic<double> meanLog10{std::numeric_limits<double>::quiet_NaN()};
  };
  // When set, RunSE keeps it up to date.
  Progress* progress = nullptr;
  // When set, RunSE calls it after each repetition with its estimate and
  // whether it enumerated the tree fully.
  std::function<void(const WideDouble& estimate, bool fullyEnumerated)> onRepetition;
  // When set, the runs use its threads (see above); it must outlive them.
  parallel::WorkerPool* workers = nullptr;

  // One repetition of RunStreams: its number, estimate, whether it
  // enumerated the tree fully, and when it ended (seconds after the time
  // point RunStreams was given).
  struct Repetition {
    unsigned int index = 0;
    WideDouble estimate;
    bool fullyEnumerated = false;
    double seconds = 0.0;
  };

  SE(BGraph graph, unsigned int budget, unsigned int repetitions, std::mt19937_64& engine);

  // Runs `repetitions` times. `estimates` gets one estimate per run, in run
  // order, as wide doubles: counts of real timetables exceed the double
  // range, and the values equal the double computation wherever it does not
  // overflow; `isFullyEnumerated` tells whether the last run was exact (false
  // when no run was made). Returns the decompositions of the last run's
  // final level (empty when no run was made).
  DecompositionList RunSE(bool& isFullyEnumerated, std::vector<WideDouble>& estimates);

  // Runs the repetitions numbered `indices` (each below `repetitions`),
  // repetition r drawing from parallel::MakeStream(seed, r), spread over the
  // workers. Returns their results in the order of `indices`. `last` gets
  // the decompositions of repetition `repetitions - 1` when it is among
  // them (and is left alone otherwise).
  template <typename TimePoint>
  std::vector<Repetition> RunStreams(const std::vector<unsigned int>& indices, std::uint32_t seed,
                                     TimePoint start, DecompositionList& last) {
    return RunStreamsSince(indices, seed, [start] {
      return std::chrono::duration<double>(TimePoint::clock::now() - start).count();
    }, last);
  }

  // One descent from a fresh root towards matchings of size
  // `maxCardinality`. Returns the decompositions of the final level's
  // matchings, pairwise different.
  DecompositionList RunSingleSE(bool& isFullyEnumerated, WideDouble& estimate,
                                unsigned int maxCardinality);

  // A uniformly random subset of `budget` nodes in shuffled order when the
  // nodes outnumber the budget; otherwise the nodes unchanged, with no draw.
  std::vector<SeNode> SelectRandomHyperchild(std::vector<SeNode> nodes);

  // The next level before selection, on literal nodes: for every node in
  // order, its completable successors when `vertex` is decided (see
  // LevelEngine.h for their order). A vertex outside the graph leaves each
  // node as it is. Reads no member and draws nothing.
  std::vector<SeNode> GetSuccessors(std::vector<SeNode> nodes, unsigned int maxCardinality,
                                    unsigned int vertex);

 private:
  DecompositionList Descend(LevelEngine& levels, std::mt19937_64& random, bool& isFullyEnumerated,
                            WideDouble& estimate, unsigned int maxCardinality,
                            std::atomic<std::size_t>* done, bool onPool);
  // Whether engines made with workers list successors on the pool.
  bool OnPool() const { return workers != nullptr && onPool_; }
  bool onPool_ = false;
  std::unique_ptr<LevelEngine> MakeEngine(bool withWorkers);
  std::vector<Repetition> RunStreamsSince(const std::vector<unsigned int>& indices,
                                          std::uint32_t seed,
                                          const std::function<double()>& seconds,
                                          DecompositionList& last);
  std::atomic<std::size_t>* LevelCounter();

  // Successor lists of the pieces of a level listed on the pool.
  std::vector<parallel::Apart<std::vector<Successor>>> pieces_;  // each written by one worker
  // Whether listing a level's successors pays for a meeting of the workers.
  parallel::LoopGauge listing_;
};

// The selection of a level: when the items outnumber `budget`, shuffles
// them with `random` and keeps the first `budget`, and returns true;
// otherwise leaves them as they are and draws nothing. std::shuffle's draws
// depend only on the length, so shuffling handles draws as shuffling nodes.
template <typename T>
bool KeepRandomSubset(std::vector<T>& items, unsigned int budget, std::mt19937_64& random) {
  if (budget >= items.size()) return false;
  std::shuffle(items.begin(), items.end(), random);
  items.resize(budget);
  return true;
}

// Estimator arithmetic, kept apart so that the number type can be widened.

// The running product after a level with `successors` generated and `kept`
// kept: (successors / kept) * product, the division first (in double).
WideDouble ScaleRunningProduct(std::size_t successors, std::size_t kept,
                               const WideDouble& product);

// The estimate of a run: |final level| * product.
WideDouble RunEstimate(std::size_t finalLevelSize, const WideDouble& product);
