#include "se/EngineKind.h"

#include "se/FastEngine.h"
#include "se/LiteralEngine.h"

std::string EngineKindName(EngineKind kind) {
  return kind == EngineKind::Literal ? "literal" : "fast";
}

std::unique_ptr<LevelEngine> MakeLevelEngine(EngineKind kind, const BGraph& graph,
                                             const BGraph::Matching* maximum) {
  if (kind == EngineKind::Literal) return std::make_unique<LiteralEngine>(graph);
  return std::make_unique<FastEngine>(graph, maximum);
}
