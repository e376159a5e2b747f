// se_engine_bench <passages> <B> <N> [--seed S] [--engine both|fast|literal]
//
// Runs the Stochastic Enumeration estimator on a generated day timetable
// with the fast engine and with the node-copying reference engine, on the
// same instance and seed, and prints both run times, their ratio, the peak
// resident memory after each engine, and whether the two gave the same
// estimates (bit for bit), flag and decompositions.
//
// Times are wall clock and CPU time of the estimator alone (RunSE), not of
// building the instance. The fast engine runs first, so the peak memory printed after it is its
// own; the one printed after the reference engine is the larger of the two.

#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "bench/TimetableGenerator.h"
#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "numeric/Statistics.h"
#include "se/SE.h"

namespace {

struct Options {
  unsigned long passages = 0;
  unsigned int budget = 1;
  unsigned int repetitions = 1;
  std::uint64_t seed = 1;
  bool fast = true;
  bool literal = true;
};

struct Outcome {
  double seconds = 0.0;
  double cpuSeconds = 0.0;
  double peakMegabytes = 0.0;
  bool exact = false;
  std::vector<WideDouble> estimates;
  SE::DecompositionList decompositions;
};

const char* const kUsage =
    "Usage: se_engine_bench <passages> <B> <N> [--seed S] [--engine both|fast|literal]";

bool ParseUnsigned(const char* text, unsigned long long maximum, unsigned long long& value) {
  if (*text == '\0' || std::strspn(text, "0123456789") != std::strlen(text)) return false;
  value = std::strtoull(text, nullptr, 10);
  return value <= maximum;
}

bool ParseOptions(int argc, char* argv[], Options& options) {
  if (argc < 4) return false;
  unsigned long long value = 0;
  if (!ParseUnsigned(argv[1], 1000000, value) || value == 0) return false;
  options.passages = static_cast<unsigned long>(value);
  if (!ParseUnsigned(argv[2], 0xffffffffULL, value)) return false;
  options.budget = static_cast<unsigned int>(value);
  if (!ParseUnsigned(argv[3], 0xffffffffULL, value)) return false;
  options.repetitions = static_cast<unsigned int>(value);
  for (int k = 4; k + 1 < argc + 1; k += 2) {
    if (k + 1 >= argc) return false;
    const std::string name = argv[k];
    const std::string text = argv[k + 1];
    if (name == "--seed") {
      if (!ParseUnsigned(text.c_str(), ~0ULL, value)) return false;
      options.seed = value;
    } else if (name == "--engine" && (text == "both" || text == "fast" || text == "literal")) {
      options.fast = text != "literal";
      options.literal = text != "fast";
    } else {
      return false;
    }
  }
  return true;
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

Outcome RunEngine(const BGraph& graph, const Options& options, bool fastEngine) {
  std::mt19937_64 engine(options.seed);
  SE se(graph, options.budget, options.repetitions, engine);
  se.engineKind = fastEngine ? EngineKind::Fast : EngineKind::Literal;
  Outcome outcome;
  const double cpuStart = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  outcome.decompositions = se.RunSE(outcome.exact, outcome.estimates);
  const auto stop = std::chrono::steady_clock::now();
  outcome.cpuSeconds = CpuSeconds() - cpuStart;
  outcome.seconds = std::chrono::duration<double>(stop - start).count();
  outcome.peakMegabytes = PeakMegabytes();
  return outcome;
}

void Print(const char* name, const Outcome& outcome) {
  std::cout << name << ": " << outcome.seconds << " s (CPU " << outcome.cpuSeconds
            << " s), peak RSS " << outcome.peakMegabytes
            << " MB, mean estimate " << Mean(outcome.estimates) << ", fully enumerated "
            << outcome.exact << ", decompositions " << outcome.decompositions.size() << std::endl;
}

bool SameResults(const Outcome& a, const Outcome& b) {
  if (a.exact != b.exact || a.decompositions != b.decompositions) return false;
  if (a.estimates.size() != b.estimates.size()) return false;
  for (std::size_t k = 0; k < a.estimates.size(); ++k) {
    const double x = a.estimates[k].Significand();
    const double y = b.estimates[k].Significand();
    if (a.estimates[k].Exponent() != b.estimates[k].Exponent() ||
        std::memcmp(&x, &y, sizeof x) != 0)
      return false;
  }
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cout << kUsage << std::endl;
    return 1;
  }
  TimeTable table = bench::GenerateTimetable(options.passages, options.seed);
  Poset poset;
  poset.CreatePoset(table);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  std::cout << "passages " << table.passages.size() << ", precedence pairs " << poset.pairs.size()
            << ", B " << options.budget << ", N " << options.repetitions << ", seed "
            << options.seed << std::endl;

  Outcome fast;
  Outcome literal;
  if (options.fast) Print("fast engine", fast = RunEngine(graph, options, true));
  if (options.literal) Print("literal engine", literal = RunEngine(graph, options, false));
  if (options.fast && options.literal) {
    std::cout << "speed-up (literal time / fast time): " << literal.seconds / fast.seconds
              << " (CPU time: " << literal.cpuSeconds / fast.cpuSeconds << ")" << std::endl;
    std::cout << "identical results: " << (SameResults(fast, literal) ? "yes" : "NO") << std::endl;
    return SameResults(fast, literal) ? 0 : 2;
  }
  return 0;
}
