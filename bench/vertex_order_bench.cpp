// vertex_order_bench [<passages> ...] [--seed S] [--N N] [--budgets B1,B2,...]
//
// For generated days (by default of 200, 1,000 and 5,000 passages), runs the
// Stochastic Enumeration estimator with each vertex order and each budget
// (by default 1, 10, 100; N = 10 runs) and prints, as a Markdown table,
// log10 of the mean estimate beside log10 of the exact count, and the
// estimator's run time (RunSE alone).

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/TimetableGenerator.h"
#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "exact/ExactCount.h"
#include "numeric/Statistics.h"
#include "numeric/WideDouble.h"
#include "se/SE.h"
#include "se/VertexOrder.h"

namespace {

struct Options {
  std::vector<unsigned long> sizes;
  std::vector<unsigned int> budgets{1, 10, 100};
  unsigned int repetitions = 10;
  std::uint64_t seed = 1;
};

bool ParseNumber(const std::string& text, unsigned long long& value) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::strtoull(text.c_str(), nullptr, 10);
  return value <= 0xffffffffULL;
}

bool ParseBudgets(const std::string& text, std::vector<unsigned int>& budgets) {
  budgets.clear();
  std::istringstream in(text);
  std::string item;
  unsigned long long value = 0;
  while (std::getline(in, item, ',')) {
    if (!ParseNumber(item, value)) return false;
    budgets.push_back(static_cast<unsigned int>(value));
  }
  return !budgets.empty();
}

bool ParseOptions(int argc, char* argv[], Options& options) {
  unsigned long long value = 0;
  for (int k = 1; k < argc; ++k) {
    const std::string arg = argv[k];
    if (arg == "--seed" || arg == "--N" || arg == "--budgets") {
      if (++k >= argc) return false;
      const std::string text = argv[k];
      if (arg == "--budgets") {
        if (!ParseBudgets(text, options.budgets)) return false;
      } else if (!ParseNumber(text, value)) {
        return false;
      } else if (arg == "--seed") {
        options.seed = value;
      } else {
        options.repetitions = static_cast<unsigned int>(value);
      }
    } else if (ParseNumber(arg, value) && value > 0) {
      options.sizes.push_back(static_cast<unsigned long>(value));
    } else {
      return false;
    }
  }
  if (options.sizes.empty()) options.sizes = {200, 1000, 5000};
  return true;
}

std::string Fixed(double value, int digits) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(digits) << value;
  return out.str();
}

void RunSize(unsigned long passages, const Options& options) {
  TimeTable table = bench::GenerateTimetable(passages, options.seed);
  Poset poset;
  poset.CreatePoset(table);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  const exact::ExactCount count = exact::CountMinimumDecompositions(table);
  const std::string exactText = count.available ? Fixed(count.log10, 1) : "unavailable";

  for (VertexOrder order : {VertexOrder::Random, VertexOrder::Degree}) {
    for (unsigned int budget : options.budgets) {
      std::mt19937_64 engine(options.seed);
      SE se(graph, budget, options.repetitions, engine);
      se.vertexOrder = order;
      bool fully = false;
      std::vector<WideDouble> estimates;
      const auto start = std::chrono::steady_clock::now();
      se.RunSE(fully, estimates);
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      const WideDouble mean = Mean(estimates);
      std::cout << "| " << passages << " | " << poset.pairs.size() << " | "
                << VertexOrderName(order) << " | " << budget << " | " << Fixed(mean.Log10(), 1)
                << " | " << exactText << " | " << Fixed(seconds, 2) << " |" << std::endl;
    }
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::cout << "Usage: vertex_order_bench [<passages> ...] [--seed S] [--N N] "
                 "[--budgets B1,B2,...]"
              << std::endl;
    return 1;
  }
  std::cout << "seed " << options.seed << ", N = " << options.repetitions << std::endl
            << std::endl
            << "| passages | pairs | order | B | log10 mean | log10 exact | seconds |" << std::endl
            << "|---:|---:|---|---:|---:|---:|---:|" << std::endl;
  for (unsigned long passages : options.sizes) RunSize(passages, options);
  return 0;
}
