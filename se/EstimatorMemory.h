#pragma once

// What the estimator of Quorlin adds to a run's memory plan
// (common/MemoryPlan.h): the nodes of its levels, and the decompositions of
// its last level with the report that lists them.
//
// A level holds at most min(B, L) nodes, where L bounds the leaves of the
// tree: nodes of one level have disjoint sets of leaves below them, and a
// leaf (a maximum matching) is fixed by each left vertex's choice of
// partner or none, so L <= prod over left vertices of (1 + degree). Each
// node is a state of one word per vertex, and while a level is built the
// one before it is alive too; its successors are 12-byte handles, at most
// 1 + the largest degree per node. Runs that go at once (repetition
// streams on several threads) each hold their own levels.
//
// The last run's decompositions list every passage once per node of its
// final level; the report then holds them again as text elements of the
// property tree (some 320 bytes per chain element, 20 per passage number;
// measured on a day of 20,000 passages, see bench/robustness.sh).
// O(V) to compute.

#include <cstddef>
#include <cstdint>

#include "bipartite/BGraph.h"
#include "common/MemoryPlan.h"

namespace se_memory {

// min(budget, the bound L on the leaves above).
std::uint64_t LevelNodesBound(const BGraph& graph, unsigned int budget);

// Peak bytes of the levels of `concurrentRuns` runs at once, with
// `workers` threads' scratch space.
std::uint64_t EstimatorBytes(const BGraph& graph, unsigned int budget, unsigned int concurrentRuns,
                             unsigned int workers);

// Peak bytes of `decompositions` decompositions of `passages` passages in
// `chains` chains, and of the report that lists them.
std::uint64_t ReportBytes(std::uint64_t decompositions, std::size_t passages, std::size_t chains);

// Adds the levels of `repetitions` runs and the report of the last to
// `plan` (nothing without runs): with `streams`, up to `threads` runs go at
// once.
void PlanEstimator(memory::Plan& plan, const BGraph& graph, unsigned int budget,
                   unsigned int repetitions, bool streams, unsigned int threads,
                   std::size_t chains);

}  // namespace se_memory
