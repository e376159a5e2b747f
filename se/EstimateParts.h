#pragma once

// Quorlin's estimate made of parts: with --split boards, one estimate per
// connected component of the split graph, multiplied; with --importance
// sinkhorn alone, the whole day as one part with importance-guided choices
// (PartEstimator.h).
//
// The components of a split graph share no vertex, so its maximum
// matchings are the products of the components' ones, and its count the
// product of theirs. Each part gets N repetitions of its own; the means of
// independent parts multiply to an unbiased estimate of the day's count,
// far tighter than the mean of N whole-day products. A part one of whose
// repetitions enumerated it fully (no level had more candidates than B, as
// with a part that has a single maximum matching) is counted exactly: its
// repetitions stop there and that count stands for it. A part without
// edges counts 1 and is not run.
//
// Randomness: repetition r of part c draws from parallel::MakeStream(seed,
// c, r) and nothing else, so a part's results do not depend on where or
// when it ran: the parts are handed out largest first to the threads of a
// process and, under MPI, dealt round-robin to the ranks in that order,
// and the results are the same for any number of either.
//
// Memory: a worker builds one part at a time (its own neighbour lists and
// levels, PartEstimator::MemoryBytes) and frees it; the results keep N
// estimates per part and the last level's matchings.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bipartite/BGraph.h"
#include "bipartite/Components.h"
#include "common/Passage.h"
#include "numeric/WideDouble.h"
#include "parallel/WorkerPool.h"
#include "se/PartEstimator.h"
#include "se/VertexOrder.h"

namespace parts {

enum class Split { None, Boards };
enum class Importance { Uniform, Sinkhorn };

// "none" or "boards"; false for any other name.
bool ParseSplit(const std::string& name, Split& split);
std::string SplitName(Split split);
// "uniform" or "sinkhorn"; false for any other name.
bool ParseImportance(const std::string& name, Importance& importance);
std::string ImportanceName(Importance importance);

struct Settings {
  Split split = Split::None;
  Importance importance = Importance::Uniform;
  VertexOrder vertexOrder = VertexOrder::Random;
  unsigned int budget = 1;
  unsigned int repetitions = 0;

  // Whether a run is made of parts at all (either option given).
  bool Active() const { return split != Split::None || importance != Importance::Uniform; }
};

// What the repetitions of one part gave.
struct PartResult {
  std::uint32_t part = 0;
  // Counted exactly: `estimates` holds the count alone.
  bool exact = false;
  bool hasEdges = false;
  std::vector<WideDouble> estimates;  // by repetition
  std::vector<double> seconds;        // when each repetition ended
  // The last level of the last repetition run, as pairs (left, right).
  std::vector<BGraph::Matching> final;
};

// The parts of a graph: its connected components, or the whole graph as
// one part.
class PartPlan {
 public:
  PartPlan(const BGraph& graph, Split split);

  std::size_t Count() const { return split_ == Split::Boards ? components_.Count() : 1; }
  // The components making up part `part`, ascending.
  std::vector<std::uint32_t> ComponentsOf(std::size_t part) const;
  const GraphComponents& Components() const { return components_; }
  std::size_t Vertices(std::size_t part) const { return vertices_[part]; }
  // Neighbour-list entries (two per edge).
  std::size_t Entries(std::size_t part) const { return entries_[part]; }
  // The parts in the order they are handed out: most entries, then most
  // vertices first; ties by number.
  std::vector<std::uint32_t> LargestFirst() const;

 private:
  Split split_;
  GraphComponents components_;
  std::vector<std::size_t> vertices_;
  std::vector<std::size_t> entries_;
};

// The parts rank `rank` of `ranks` runs: LargestFirst, position p to rank
// p mod ranks.
std::vector<std::uint32_t> ShareOf(const PartPlan& plan, unsigned int rank, unsigned int ranks);

// Runs the parts `share` (in that order, over `workers` when given, each
// part on one worker), N = settings.repetitions repetitions each at most.
// `seconds` tells the time since the run started; `done`, when given,
// counts finished parts. Results in the order of `share`.
std::vector<PartResult> RunShare(const BGraph& graph, const std::vector<Passage>* passages,
                                 const PartPlan& plan, const Settings& settings,
                                 const std::vector<std::uint32_t>& share, std::uint32_t seed,
                                 parallel::WorkerPool* workers,
                                 const std::function<double()>& seconds,
                                 std::atomic<unsigned int>* done);

// The results of one process as words, and every process's words pooled
// by part number (throws std::runtime_error when a part is missing, sent
// twice or a message is malformed).
std::vector<std::uint64_t> PackParts(const std::vector<PartResult>& results);
std::vector<PartResult> PoolParts(const std::vector<std::vector<std::uint64_t>>& messages,
                                  std::size_t partCount);

// The size of a connected component: vertices, and neighbour-list entries
// (two per edge).
struct ComponentSize {
  std::size_t vertices = 0;
  std::size_t entries = 0;
};

// The components' sizes of the plan's graph.
std::vector<ComponentSize> ComponentSizes(const PartPlan& plan);
// The same before any graph is built, from the terminal boards of the
// timetable (bipartite/TerminalBoards.h): one per board with its rows,
// columns and cells, which bounds the components made of its vertices.
// Without a minimum turnaround the two agree in their totals.
std::vector<ComponentSize> BoardSizes(const std::vector<Passage>& passages);

// The most memory the estimator takes beyond the graph while it runs with
// these settings on `threads` threads: the plan (16 bytes per vertex), the
// largest parts one per thread, and the results of every part (N
// estimates, the last level's pairs). For a shared plan of the run's
// memory, before the work starts.
std::size_t EstimatorMemoryBytes(const std::vector<ComponentSize>& components,
                                 const Settings& settings, unsigned int threads);

}  // namespace parts
