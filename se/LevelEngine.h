#pragma once

// What the Stochastic Enumeration driver (SE) asks of an engine that holds
// the nodes of one level of the search tree of partial matchings.
//
// The driver owns a run: the vertex order, the selection of the kept
// successors, the running product of the estimate and the decoding of the
// final level into decompositions. An engine owns the nodes: it lists the
// completable successors of each node when a vertex is decided, and builds
// the children the driver kept. The two steps are separate calls, the first
// one per node, so that the nodes of a level can be spread over threads:
// an engine that takes a worker pool (UseWorkers) lets its workers list the
// successors of different nodes at once, each with its own scratch space,
// and builds the kept children on the pool too.
//
// Successor order is fixed for every engine: for each node in level order,
// first the successor that leaves the vertex unmatched, then one per
// distinct neighbour in adjacency order (a parallel edge gives no second,
// equal leaf); a node whose vertex is cleared passes on unchanged as its
// only successor. Engines that keep this order give the same runs (draws,
// estimates, decompositions) for the same seed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bipartite/BGraph.h"
#include "parallel/WorkerPool.h"

// A successor before it is built.
struct Successor {
  std::uint32_t parent;  // index of its node in the level
  std::int32_t partner;  // the decided vertex's partner; -1 when it stays unmatched
  std::uint8_t proof;    // the engine's own note on how to build it
};

class LevelEngine {
 public:
  virtual ~LevelEngine() = default;

  // Size of a maximum matching of the graph, as this engine finds it.
  virtual unsigned int MaxCardinality() const = 0;

  // Why this engine cannot make runs whose leaves are matchings of size
  // `maxCardinality`; empty when it can.
  virtual std::string Refusal(unsigned int maxCardinality) const = 0;

  // Starts a run: the level is the root alone. Requires an empty Refusal.
  virtual void Start(unsigned int maxCardinality) = 0;

  virtual std::size_t LevelSize() const = 0;

  // Lets the engine use `pool` (which must outlive the runs) and returns
  // how many of its workers may call AppendSuccessors at once: 1 when the
  // engine works alone.
  virtual unsigned int UseWorkers(parallel::WorkerPool& /*pool*/) { return 1; }

  // Appends the completable successors of node `node` when `vertex` is
  // decided, in successor order. Workers below UseWorkers' count may call
  // it at once for different nodes, each passing its own number.
  virtual void AppendSuccessors(std::size_t node, unsigned int vertex, unsigned int worker,
                                std::vector<Successor>& out) = 0;

  // Replaces the level by the children `kept`, in that order; they were
  // listed by AppendSuccessors for the same `vertex` on this level.
  virtual void BuildLevel(unsigned int vertex, const std::vector<Successor>& kept) = 0;

  // The pairs node `node` has decided, as (decided vertex, partner) in the
  // order of decision; `order` is the run's vertex order.
  virtual BGraph::Matching DecidedPairs(std::size_t node,
                                        const std::vector<unsigned int>& order) const = 0;
};
