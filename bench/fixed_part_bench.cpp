// fixed_part_bench [--reference] [--compare] [--literal] [<passages> ...]
// The fixed part of a run on generated days (seed 1; default sizes 1,000,
// 5,000, 10,000, 20,000, 30,000 and 100,000 passages), phase by phase as
// the programs do it: loading the file, the precedence pairs, the split
// graph, and the first maximum matching (Quorlin's reference decomposition,
// Parvel's starting matching). Each phase prints its wall time, the
// resident memory after it and the peak resident memory during it.
//
// --reference times the reference path instead: all n^2 position pairs
// tested, Boost's adjacency list built edge by edge, Boost's Edmonds
// matching on it (the build before the flat graph).
//
// --compare checks, after the timed phases, that the pairs equal those of
// the pair test and that the matching equals Boost's
// checked_edmonds_maximum_cardinality_matching on the flat graph's view;
// with --literal also on Boost's adjacency list (about 200 bytes per
// pair). Exits with 1 on any difference.

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <boost/graph/max_cardinality_matching.hpp>

#include "bench/TimetableGenerator.h"
#include "bipartite/BGraph.h"
#include "bipartite/FlatGraphView.h"
#include "common/Poset.h"
#include "common/TimeTable.h"

namespace {

constexpr std::uint64_t kTimetableSeed = 1;

// Resident and peak resident memory of this process, in MiB, from
// /proc/self/status.
double StatusMiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0)
      return std::strtod(line.c_str() + std::string(key).size(), nullptr) / 1024.0;
  }
  return 0.0;
}

// Starts a new peak: the kernel resets VmHWM to the current resident size.
void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

class Phases {
 public:
  void Start() {
    ResetPeak();
    start_ = std::chrono::steady_clock::now();
  }
  void Stop(const char* name) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::printf("  %-15s %9.3f s  resident %8.1f MiB  peak %8.1f MiB\n", name, seconds,
                StatusMiB("VmRSS:"), StatusMiB("VmHWM:"));
    std::fflush(stdout);
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

BGraph::Matching BoostOnView(const BGraph& graph) {
  const auto lists = graph.Adjacency();
  const flat::GraphView view(*lists, &graph.edgeList);
  std::vector<std::uint32_t> mate(view.Adjacency().VertexCount());
  boost::checked_edmonds_maximum_cardinality_matching(view, mate.data(), flat::IndexMap());
  BGraph::Matching pairs;
  for (std::size_t v = 0; v < mate.size(); ++v)
    if (mate[v] != flat::GraphView::null_vertex() && v < mate[v])
      pairs.emplace_back(static_cast<int>(v), static_cast<int>(mate[v]));
  return pairs;
}

bool Check(bool same, const char* what) {
  std::printf("  %-40s %s\n", what, same ? "identical" : "DIFFERENT");
  return same;
}

bool RunSize(std::size_t passages, bool reference, bool compare, bool literal) {
  const std::string path = "/tmp/fixed_part_bench_" + std::to_string(passages) + ".csv";
  if (!bench::WriteTimetableFile(bench::GeneratePassages(passages, kTimetableSeed), path)) {
    std::cout << "cannot write " << path << std::endl;
    return false;
  }
  std::printf("%zu passages (%s)\n", passages, reference ? "reference" : "flat graph");
  Phases phases;
  phases.Start();
  TimeTable table;
  table.LoadInstance(path);
  phases.Stop("load");

  phases.Start();
  Poset poset;
  if (reference) {
    poset.CreatePosetByPairTest(table);
  } else {
    const std::uint64_t counted = Poset::CountPairs(table.passages);
    poset.CreatePoset(table);
    if (counted != poset.pairs.size()) {
      std::cout << "pair count " << counted << " != " << poset.pairs.size() << std::endl;
      return false;
    }
  }
  const std::size_t pairCount = poset.pairs.size();
  phases.Stop("pairs");
  std::printf("  %zu pairs\n", pairCount);

  phases.Start();
  BGraph graph;
  if (reference) {
    graph.InitLiteralGraphFromPoset(table, poset);
  } else {
    graph.InitGraphFromPoset(table, poset);
    poset = Poset();
  }
  phases.Stop("graph");

  phases.Start();
  const BGraph::Matching matching = graph.GetMaxMatching();
  phases.Stop("first matching");
  std::remove(path.c_str());

  if (!compare) return true;
  bool same = true;
  Poset tested;
  tested.CreatePosetByPairTest(table);
  Poset fast;
  fast.CreatePoset(table);
  same &= Check(fast.pairs == tested.pairs, "pairs vs the pair test");
  fast = Poset();
  if (!reference) {
    same &= Check(matching == BoostOnView(graph), "matching vs Boost's run on the view");
    if (literal) {
      BGraph literalGraph;
      literalGraph.InitLiteralGraphFromPoset(table, tested);
      tested = Poset();
      same &= Check(matching == literalGraph.GetMaxMatching(),
                    "matching vs Boost's adjacency list");
    }
  }
  return same;
}

}  // namespace

int main(int argc, char* argv[]) {
  bool reference = false;
  bool compare = false;
  bool literal = false;
  std::vector<std::size_t> sizes;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--reference") {
      reference = true;
    } else if (arg == "--compare") {
      compare = true;
    } else if (arg == "--literal") {
      literal = true;
    } else {
      char* end = nullptr;
      const unsigned long long value = std::strtoull(arg.c_str(), &end, 10);
      if (arg.empty() || *end != '\0' || value == 0) {
        std::cout << "Usage: fixed_part_bench [--reference] [--compare] [--literal] "
                     "[<passages> ...]"
                  << std::endl;
        return 1;
      }
      sizes.push_back(static_cast<std::size_t>(value));
    }
  }
  if (sizes.empty()) sizes = {1000, 5000, 10000, 20000, 30000, 100000};
  bool ok = true;
  for (std::size_t passages : sizes) ok &= RunSize(passages, reference, compare, literal);
  return ok ? 0 : 1;
}
