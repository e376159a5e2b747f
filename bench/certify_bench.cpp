// certify_bench [--rest] [<day> ...]
//
// The certificate's parts, timed on generated days: the maximum matchings'
// facts, planning the balanced model, building it, the LP solve, decoding
// the optimum and checking it with the decomposition verifier; then the
// whole certificate (Certificate::Run) against the first maximum matching
// as the "search's best", which shows whether the LP alone proves the day's
// optimum. With --rest, the rested model too (planned, and solved within
// its budget of 60 s).
//
// A day is <shape>:<passages>[:<terminals>], shape one of
//   airline    the generator's airline day (hubs and spokes, overnight
//              passages), or with <terminals> a day of few terminals with
//              many passages each (rail-like);
//   nonight    the same without its overnight passages (arrival before
//              departure), so the follow relation has no cycle.
// Default: airline and nonight days of 200, 1,000, 2,000 and 5,000
// passages, and rail-like ones of 1,000 passages on 20 terminals and 5,000
// on 60.
//
// Times are CPU seconds of this process (std::clock), one run each: on a
// shared machine compare them, not wall times.

#include <cmath>
#include <cstdint>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "bench/TimetableGenerator.h"
#include "bipartite/BGraph.h"
#include "bipartite/DecompositionVerifier.h"
#include "certify/Certificate.h"
#include "certify/LinearProgram.h"
#include "certify/MatchingFacts.h"
#include "certify/TimeSpaceModel.h"
#include "common/Poset.h"
#include "localsearch/Decomposition.h"

namespace {

constexpr double kThreshold = 11.0;

struct DaySpec {
  std::string shape;
  std::size_t passages = 0;
  std::size_t terminals = 0;
  std::string Name() const {
    return shape + ":" + std::to_string(passages) +
           (terminals > 0 ? ":" + std::to_string(terminals) : "");
  }
};

bool ParseSpec(const std::string& text, DaySpec& spec) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
  if (parts.size() < 2 || parts.size() > 3) return false;
  if (parts[0] != "airline" && parts[0] != "nonight") return false;
  spec.shape = parts[0];
  try {
    spec.passages = std::stoul(parts[1]);
    if (parts.size() == 3) spec.terminals = std::stoul(parts[2]);
  } catch (const std::exception&) {
    return false;
  }
  return spec.passages > 0;
}

TimeTable MakeDay(const DaySpec& spec) {
  std::vector<Passage> passages = bench::GeneratePassages(spec.passages, 1, spec.terminals);
  if (spec.shape == "nonight") {
    std::vector<Passage> kept;
    for (const Passage& passage : passages)
      if (passage.arrival >= passage.departure) kept.push_back(passage);
    passages = kept;
  }
  TimeTable table;
  for (std::uint32_t p = 0; p < passages.size(); ++p) {
    table.passages.push_back(passages[p]);
    table.positionById[passages[p].id] = p;
  }
  return table;
}

double CpuSince(std::clock_t start) {
  return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

std::string Seconds(double value) {
  std::ostringstream text;
  text << std::fixed << std::setprecision(2) << value;
  return text.str();
}

void Measure(const DaySpec& spec, bool rest) {
  TimeTable table = MakeDay(spec);
  Poset poset;
  poset.CreatePoset(table);
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  const BGraph::Matching maximum = graph.GetMaxMatching();

  std::clock_t start = std::clock();
  const certify::MatchingFacts facts = certify::ReadMatchingFacts(graph, maximum);
  const double factsSeconds = CpuSince(start);
  certify::Day day;
  day.passages = CountedPassages(graph, table);
  day.canStart = facts.canStart;
  day.canEnd = facts.canEnd;
  day.openChains = static_cast<int>(day.passages.size() - maximum.size());

  start = std::clock();
  const certify::TimeSpaceModel model(day, certify::Aim::Balanced, kThreshold,
                                      certify::kBalancedColumnBudget);
  const double planSeconds = CpuSince(start);
  start = std::clock();
  const certify::LinearProgram program = model.Build();
  const double buildSeconds = CpuSince(start);
  start = std::clock();
  const certify::LpSolution solution = certify::MakeLpSolver()->Solve(program, 120.0);
  const double solveSeconds = CpuSince(start);
  start = std::clock();
  BGraph::Matching decoded;
  const bool integral = model.Decode(solution.columns, decoded);
  const double decodeSeconds = CpuSince(start);
  std::string verdict = "-";
  double verifySeconds = 0.0;
  if (integral) {
    BGraph::Decomposition chains = graph.GetDillworthDecompositionFromMatching(decoded);
    start = std::clock();
    verdict = VerifyDecomposition(
        table, chains, static_cast<int>(chains.size()) - day.openChains);
    verifySeconds = CpuSince(start);
    if (verdict.empty()) verdict = "ok";
  }

  // The whole certificate with the first maximum matching as the best.
  certify::Settings settings;
  settings.memoryLimit = ~std::uint64_t{0};
  settings.seconds = 60.0;
  start = std::clock();
  certify::Certificate certificate(graph, table, settings);
  BGraph::Matching best = maximum;
  DecompositionCounts counts;
  {
    BGraph::Matching copy = maximum;
    BGraph::Decomposition chains = graph.GetDillworthDecompositionFromMatching(copy);
    counts.chains = static_cast<int>(chains.size());
    Decomposition::GetNumberOfBalancedAndRest(table, chains, counts.balanced, counts.rest,
                                              kThreshold);
  }
  std::cout << spec.Name() << ": " << table.passages.size() << " passages, "
            << graph.edgeList.size() << " pairs, " << day.openChains << " open chains, "
            << facts.fewestClosedRotations << " rotations at least\n"
            << "  balanced model: " << model.Size().commodities << " commodities, "
            << model.Size().columns << " columns, " << model.Size().rows << " rows, "
            << model.Size().entries << " entries, about " << model.Size().Bytes() / 1048576
            << " MB\n"
            << "  CPU s: facts " << Seconds(factsSeconds) << ", plan " << Seconds(planSeconds)
            << ", build " << Seconds(buildSeconds) << ", solve " << Seconds(solveSeconds)
            << ", decode " << Seconds(decodeSeconds) << ", verify " << Seconds(verifySeconds)
            << "\n  LP optimum " << solution.objective << ", bound " << model.IntegerBound(solution.objective) << (integral ? " (integral, " : " (fractional")
            << (integral ? "decoded: verifier " + verdict + ")" : ")") << std::endl;
  if (!rest) return;
  certificate.Run(graph, table, kThreshold, best, counts);
  std::cout << "  whole certificate from the first matching, rest included: "
            << Seconds(CpuSince(start)) << " CPU s; ";
  certificate.Print();
  const certify::TimeSpaceModel rested(day, certify::Aim::Rested, kThreshold,
                                       certify::kRestedColumnBudget);
  std::cout << "  rested model: " << rested.Size().commodities << " commodities, "
            << rested.Size().columns << (rested.Fits() ? "" : "+") << " columns" << std::endl;
}

}  // namespace

int main(int argc, char* argv[]) {
  bool rest = false;
  std::vector<DaySpec> days;
  for (int k = 1; k < argc; ++k) {
    const std::string argument = argv[k];
    if (argument == "--rest") {
      rest = true;
      continue;
    }
    DaySpec spec;
    if (!ParseSpec(argument, spec)) {
      std::cout << "Usage: certify_bench [--rest] [<shape>:<passages>[:<terminals>] ...]"
                << std::endl;
      return 1;
    }
    days.push_back(spec);
  }
  if (days.empty()) {
    for (const char* shape : {"airline", "nonight"})
      for (std::size_t n : {200, 1000, 2000, 5000}) days.push_back({shape, n, 0});
    days.push_back({"airline", 1000, 20});
    days.push_back({"airline", 5000, 60});
  }
  for (const DaySpec& spec : days) Measure(spec, rest);
  return 0;
}
