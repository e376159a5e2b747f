// certify_bench [--full] [--seconds S] [--integer whole|short|none] [<day> ...]
//
// Parvel's certificate on generated days, as `Parvel --search exchange
// --certify --seed 1` runs it: the exchange search (1,000 rounds), then the
// certificate, each timed, with its console lines and the process's peak
// memory; --seconds sets the certificate's budget (default 60);
// --integer chooses the integer program that follows balanced LPs which
// do not prove the best: the whole model (the default, as Parvel runs it),
// the short homes' relaxation, or none. With
// --full, instead, the whole balanced model (every home a
// commodity) built and solved at once, with how much the peak memory grew,
// against the model's size estimate; run one day per process for that.
//
// A day is a timetable file (a name ending in .csv), or
// <shape>:<passages>[:<terminals>], shape one of
//   airline    the generator's airline day (hubs and spokes, overnight
//              passages), or with <terminals> a day of few terminals with
//              many passages each (rail-like);
//   nonight    the same without its overnight passages (arrival before
//              departure), so the follow relation has no cycle.
// Default: both shapes, airline-like and rail-like (one terminal per 80
// passages, at least 10), of 200, 1,000, 2,000 and 5,000 passages.
//
// After the certificate's lines it lists every linear program solved:
// what it was, its size, the CPU seconds of building and solving it, and
// its outcome.
//
// Times are CPU seconds of this process (std::clock): on a shared machine
// compare them, not wall times.

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "bench/ModelDay.h"
#include "bench/TimetableGenerator.h"
#include "bipartite/BGraph.h"
#include "bipartite/DecompositionVerifier.h"
#include "certify/Certificate.h"
#include "certify/LinearProgram.h"
#include "certify/TimeSpaceModel.h"
#include "localsearch/Decomposition.h"
#include "localsearch/SearchKind.h"

namespace {

constexpr double kThreshold = 11.0;

struct DayRequest {
  std::string file;  // a timetable file instead of a generated day
  std::string shape;
  std::size_t passages = 0;
  std::size_t terminals = 0;
  std::string Name() const {
    if (!file.empty()) return file;
    return shape + ":" + std::to_string(passages) +
           (terminals > 0 ? ":" + std::to_string(terminals) : "");
  }
};

bool ParseDayRequest(const std::string& text, DayRequest& request) {
  if (text.size() > 4 && text.compare(text.size() - 4, 4, ".csv") == 0) {
    request.file = text;
    return true;
  }
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ':');) parts.push_back(part);
  if (parts.size() < 2 || parts.size() > 3) return false;
  if (parts[0] != "airline" && parts[0] != "nonight") return false;
  request.shape = parts[0];
  try {
    request.passages = std::stoul(parts[1]);
    if (parts.size() == 3) request.terminals = std::stoul(parts[2]);
  } catch (const std::exception&) {
    return false;
  }
  return request.passages > 0;
}

TimeTable MakeDay(const DayRequest& request) {
  if (!request.file.empty()) {
    TimeTable table;
    std::string error;
    if (!table.Load(request.file, error)) {
      std::cout << error << std::endl;
      std::exit(1);
    }
    return table;
  }
  std::vector<Passage> passages = bench::GeneratePassages(request.passages, 1, request.terminals);
  if (request.shape == "nonight") {
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

// Peak resident memory of this process so far.
std::uint64_t PeakBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
}

void Measure(const DayRequest& request, bool full, double seconds,
             certify::IntegerProgram integerProgram) {
  ModelDay loaded;
  loaded.table = MakeDay(request);
  loaded.Lay();
  auto& [table, graph, maximum, day] = loaded;
  const certify::TimeSpaceModel model(day, certify::Aim::Balanced, kThreshold,
                                      certify::kBalancedColumnBudget);
  std::cout << request.Name() << ": " << table.passages.size() << " passages, "
            << graph.edgeList.size() << " pairs, " << day.openChains << " open chains\n"
            << "  whole balanced model: " << model.Size().commodities << " commodities, "
            << model.Size().columns << " columns, " << model.Size().rows << " rows, "
            << model.Size().entries << " entries, estimate " << model.Size().Bytes() / 1048576
            << " MB" << std::endl;
  if (full) {
    // The whole model at once, as a reference (and for the memory estimate:
    // run one day per process).
    const std::uint64_t before = PeakBytes();
    std::clock_t start = std::clock();
    const certify::LpSolution solution =
        certify::MakeLpSolver()->Solve(model.Build(), 600.0);
    BGraph::Matching decoded;
    const bool integral = model.Decode(solution.columns, decoded);
    std::cout << "  whole model solved: " << Seconds(CpuSince(start)) << " CPU s, bound "
              << model.IntegerBound(solution.objective)
              << (integral ? " (integral)" : " (fractional)") << ", peak grew by "
              << (PeakBytes() - before) / 1048576 << " MB" << std::endl;
    return;
  }

  // The run as Parvel --search exchange --certify does it (seed 1, N = 1000).
  std::mt19937_64 engine(1);
  std::clock_t start = std::clock();
  certify::Settings settings;
  settings.memoryLimit = ~std::uint64_t{0};
  settings.seconds = seconds;
  settings.integerProgram = integerProgram;
  certify::Certificate certificate(graph, table, settings);
  const std::unique_ptr<Search> search =
      MakeSearch(SearchKind::Exchange, graph, table, engine, kThreshold, false);
  search->Run(1000);
  const double searchSeconds = CpuSince(start);
  BGraph::Matching best = search->BestMatching();
  DecompositionCounts counts = search->BestCounts();
  const int searched = counts.balanced;
  start = std::clock();
  certificate.Run(graph, table, kThreshold, best, counts);
  const double certifySeconds = CpuSince(start);
  std::cout << "  search " << Seconds(searchSeconds) << " CPU s (best " << searched
            << " balanced), certificate " << Seconds(certifySeconds) << " CPU s (balanced LPs "
            << Seconds(certificate.BalancedSeconds()) << "), peak "
            << PeakBytes() / 1048576 << " MB:" << std::endl;
  certificate.Print();
  for (const certify::LpRecord& record : certificate.Records()) {
    const char* outcome = "failed";
    switch (record.status) {
      case certify::LpSolution::Status::Optimal: outcome = "optimal"; break;
      case certify::LpSolution::Status::Infeasible: outcome = "infeasible"; break;
      case certify::LpSolution::Status::OutOfTime: outcome = "out of time"; break;
      case certify::LpSolution::Status::Failed: break;
    }
    std::cout << "  LP " << record.what << ": " << record.size.commodities << " commodities, "
              << record.size.columns << " columns, " << record.size.rows << " rows, "
              << record.size.entries << " entries, " << Seconds(record.seconds) << " CPU s, "
              << outcome << std::endl;
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  bool full = false;
  double seconds = 60.0;
  certify::IntegerProgram integerProgram = certify::IntegerProgram::Whole;
  std::vector<DayRequest> days;
  for (int k = 1; k < argc; ++k) {
    const std::string argument = argv[k];
    if (argument == "--seconds" && k + 1 < argc) {
      seconds = std::atof(argv[++k]);
      continue;
    }
    if (argument == "--integer" && k + 1 < argc) {
      const std::string which = argv[++k];
      if (which != "whole" && which != "short" && which != "none") {
        std::cout << "--integer: expected whole, short or none, not " << which << std::endl;
        return 1;
      }
      integerProgram = which == "whole"   ? certify::IntegerProgram::Whole
                       : which == "short" ? certify::IntegerProgram::ShortHomes
                                          : certify::IntegerProgram::None;
      continue;
    }
    if (argument == "--full") {
      full = true;
      continue;
    }
    DayRequest request;
    if (!ParseDayRequest(argument, request)) {
      std::cout << "Usage: certify_bench [--full] [--seconds S] [--integer whole|short|none] [<file.csv> | <shape>:<passages>[:<terminals>] ...]"
                << std::endl;
      return 1;
    }
    days.push_back(request);
  }
  if (days.empty()) {
    for (const char* shape : {"airline", "nonight"})
      for (std::size_t n : {200, 1000, 2000, 5000}) {
        days.push_back({"", shape, n, 0});
        days.push_back({"", shape, n, std::max<std::size_t>(10, n / 80)});
      }
  }
  for (const DayRequest& request : days) Measure(request, full, seconds, integerProgram);
  return 0;
}
