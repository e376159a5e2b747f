// Fuzz target for the estimator's engines and both searches on small days.
//
// The first byte picks the settings (budget 1 to 3, vertex order, parts
// split, importance, search rounds), the following bytes the passages of a
// day of at most kMostPassages (four bytes each: terminals, then times on a
// half-hour grid, so that ties, round trips and overnight passages are
// common; a fifth-bit flag repeats the previous passage's number).
//
// Checked, by the independent verifier wherever there is a decomposition:
// - the fast and the literal engine make the same runs (estimates and last
//   levels) from the same draws, and every decomposition they end with is a
//   minimum one; the estimate is finite and positive when there are passages;
// - the run made of parts (split, importance) gives valid decompositions
//   and a finite positive mean;
// - the walk and the exchange search end with a valid decomposition that
//   has the counted number of chains, never more than the start's.
// A difference aborts, which the fuzzer reports as a crash.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "bipartite/BGraph.h"
#include "bipartite/DecompositionVerifier.h"
#include "common/Poset.h"
#include "common/TimeTable.h"
#include "localsearch/SearchKind.h"
#include "se/QuorlinExtensions.h"
#include "se/QuorlinParts.h"
#include "se/SE.h"

namespace {

constexpr std::size_t kMostPassages = 12;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "engines_fuzz: %s\n", what);
    std::abort();
  }
}

bool FinitePositive(const WideDouble& value) { return value.IsFinite() && value > 0.0; }

void RequireValid(const TimeTable& table, const BGraph::Decomposition& decomposition) {
  const std::string fault = VerifyDecomposition(table, decomposition, kAnyClosedRotations);
  if (!fault.empty()) std::fprintf(stderr, "engines_fuzz: %s\n", fault.c_str());
  Require(fault.empty(), "an invalid decomposition");
}

BGraph MakeGraph(TimeTable& table) {
  Poset poset;
  poset.CreatePoset(table);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  return graph;
}

struct Runs {
  std::vector<WideDouble> estimates;
  SE::DecompositionList last;
  bool exact = false;
};

Runs RunEngine(TimeTable& table, EngineKind kind, unsigned int budget, VertexOrder order,
               std::uint64_t seed) {
  std::mt19937_64 engine(seed);
  SE se(MakeGraph(table), budget, 2, engine);
  se.engineKind = kind;
  se.vertexOrder = order;
  Runs runs;
  runs.last = se.RunSE(runs.exact, runs.estimates);
  return runs;
}

void CheckEngines(TimeTable& table, unsigned int budget, VertexOrder order, std::uint64_t seed) {
  Runs fast;
  try {
    fast = RunEngine(table, EngineKind::Fast, budget, order, seed);
  } catch (const std::invalid_argument&) {
    return;  // a graph the fast engine declines, with its reason
  }
  const Runs literal = RunEngine(table, EngineKind::Literal, budget, order, seed);
  Require(fast.estimates.size() == literal.estimates.size(), "engines ran differently");
  for (std::size_t r = 0; r < fast.estimates.size(); ++r) {
    Require(fast.estimates[r] == literal.estimates[r], "engines estimate differently");
    Require(!table.passages.empty() ? FinitePositive(fast.estimates[r])
                                    : fast.estimates[r] == 1.0,
            "an estimate that is not a positive count");
  }
  Require(fast.exact == literal.exact, "engines disagree on full enumeration");
  Require(fast.last == literal.last, "engines end on different levels");
  Require(!fast.last.empty() && fast.last.size() <= budget, "a last level outside the budget");
  for (const BGraph::Decomposition& decomposition : fast.last) RequireValid(table, decomposition);
}

void CheckParts(TimeTable& table, unsigned int budget, const quorlin::ExtensionSettings& settings,
                std::uint32_t seed) {
  QuorlinParts parts(settings, budget, 2);
  if (!parts.Active()) return;
  const BGraph graph = MakeGraph(table);
  parts.Run(graph, table, seed, nullptr, 0, 1,
            [](const std::vector<std::uint64_t>& words) {
              return std::vector<std::vector<std::uint64_t>>{words};
            },
            frame::Clock::now(), false);
  WideDouble mean;
  WideDouble std;
  WideDouble relativeError;
  bool exact = false;
  parts.Statistics(mean, std, relativeError, exact);
  Require(table.passages.empty() || FinitePositive(mean), "a mean that is not a positive count");
  for (const BGraph::Decomposition& decomposition : parts.Decompositions(graph))
    RequireValid(table, decomposition);
}

void CheckSearch(TimeTable& table, SearchKind kind, unsigned int rounds, std::uint64_t seed) {
  BGraph graph = MakeGraph(table);
  std::mt19937_64 engine(seed);
  const std::unique_ptr<Search> search = MakeSearch(kind, graph, table, engine, 11.0, true);
  search->Run(rounds);
  BGraph::Matching best = search->BestMatching();
  const BGraph::Decomposition decomposition = graph.GetDillworthDecompositionFromMatching(best);
  RequireValid(table, decomposition);
  Require(static_cast<int>(decomposition.size()) == search->BestCounts().chains,
          "the best counts do not match the best matching");
  Require(search->BestCounts().chains <= search->Initial().chains, "a search made it worse");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t settingsByte = data[0];
  std::ostringstream csv;
  csv << "passage,origin,destination,departure,arrival\n";
  unsigned int id = 100;
  std::size_t passages = 0;
  for (std::size_t at = 1; at + 4 <= size && passages < kMostPassages; at += 4, ++passages) {
    if (!(passages > 0 && (data[at] & 0x10) != 0)) ++id;
    csv << id << ',' << 1 + data[at] % 4 << ',' << 1 + (data[at] >> 2) % 4 << ','
        << (data[at + 1] % 49) / 2.0 << ',' << (data[at + 2] % 49) / 2.0 << '\n';
  }
  std::istringstream in(csv.str());
  TimeTable table;
  std::string error;
  Require(table.LoadFromStream(in, "day.csv", error), "a generated day does not load");

  const unsigned int budget = 1 + settingsByte % 3;
  const std::uint64_t seed = size > 4 ? data[size - 1] + 256u * data[size - 2] : 1;
  quorlin::ExtensionSettings settings;
  settings.vertexOrder = (settingsByte & 0x04) != 0 ? VertexOrder::Degree : VertexOrder::Random;
  settings.split = (settingsByte & 0x08) != 0 ? parts::Split::Boards : parts::Split::None;
  settings.importance =
      (settingsByte & 0x10) != 0 ? parts::Importance::Sinkhorn : parts::Importance::Uniform;
  const unsigned int rounds = 1 + (settingsByte >> 5);

  CheckEngines(table, budget, settings.vertexOrder, seed);
  CheckParts(table, budget, settings, static_cast<std::uint32_t>(seed));
  CheckSearch(table, SearchKind::Walk, rounds, seed);
  CheckSearch(table, SearchKind::Exchange, rounds, seed);
  return 0;
}
