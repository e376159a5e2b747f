#pragma once

// The level engines the estimator can run on, by name, and making one.
//
// - "fast" (FastEngine): compact nodes and alternating paths; what the
//   program runs.
// - "literal" (LiteralEngine): node copies and a fresh maximum matching
//   per candidate; the reference the fast one is tested and measured
//   against.
// A third engine joins by a name here and a class implementing LevelEngine.

#include <memory>
#include <string>

#include "bipartite/BGraph.h"
#include "se/LevelEngine.h"

enum class EngineKind { Fast, Literal };

std::string EngineKindName(EngineKind kind);

// An engine over `graph`, which must outlive it and stay unchanged. With
// `maximum` (a maximum matching of the graph), an engine that carries a
// matching may start from it instead of finding one.
std::unique_ptr<LevelEngine> MakeLevelEngine(EngineKind kind, const BGraph& graph,
                                             const BGraph::Matching* maximum = nullptr);
