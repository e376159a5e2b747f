#pragma once

// Parvel's certificate: an LP bound on the balanced chains of the best
// decomposition and, within a budget, on its rested chains; where the LP
// optimum is integral, its decomposition, kept when it ranks higher than
// the search's.
//
// What is bounded. The time-space model (TimeSpaceModel.h) ranges over all
// maximum matchings and counts open chains only. A maximum matching with c
// closed rotations has (passages - matching size) + c chains, and its
// balanced chains are its open balanced ones plus the c rotations. So the
// decomposition the search ranks best has at most floor(LP) + c balanced
// chains, c being the rotations of the best found (which the best has at
// least). The best found is proven optimal when it reaches that bound and
// keeps no more closed rotations than every maximum matching must
// (MatchingFacts): then no decomposition has fewer chains, and none with
// as few has more balanced chains. The rested bound is likewise, among the
// decompositions with the proven balanced count.
//
// Order of a run: the constructor, before the search, reads the maximum
// matchings' facts and plans the balanced model, whose size is then known
// (a run that cannot afford it stops there); `Run`, after the search,
// solves and decodes; `Print` and `AddToReport` give the console lines and
// the report elements.
//
// Where the balanced LPs end without proving the best, the rest of their
// budget goes to an integer program (IntegerProgram below): its optimum,
// or its best bound when out of time, tightens the bound, and its
// decomposition is kept when it ranks higher.
//
// Budgets: each LP gets `seconds` of CPU time; a balanced model beyond
// kBalancedColumnBudget columns, or an LP out of time, falls back to the
// combinatorial bound; a rested model beyond kRestedColumnBudget columns or
// the memory limit, or out of time, is skipped. Each case says so. With a
// time limit on the run, no program is solved past it either, by the wall
// clock.
//
// The model follows the connection rule with a minimum turn (0 today): it
// is used only when the graph's edges are exactly the pairs that rule
// gives, and otherwise the certificate falls back to the combinatorial
// bound (BalancedBound.h), saying why.
//
// Cost: O(V + E) for the facts and the check, the models' planning (see
// TimeSpaceModel.h), and the LP solves.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <boost/property_tree/ptree.hpp>

#include "bipartite/BGraph.h"
#include "certify/LinearProgram.h"
#include "certify/MatchingFacts.h"
#include "certify/TimeSpaceModel.h"
#include "common/TimeTable.h"
#include "localsearch/Search.h"

namespace certify {

// Which balanced program the integer stage solves: the whole model (every
// home a commodity), whose integer optimum is the true one and whose
// solutions are decompositions; or the homes where the best falls short
// only, smaller, whose integer optimum (plus the other homes' minima) is
// still an upper bound.
enum class IntegerProgram { Whole, ShortHomes, None };

struct Settings {
  double seconds = 60.0;  // CPU time budget of each LP
  double minTurn = 0.0;       // hours a passage needs before the next can leave
  std::uint64_t memoryLimit = 0;
  IntegerProgram integerProgram = IntegerProgram::Whole;
  // The run's time limit in wall seconds (0: none) and the moment it ends:
  // no program is solved past it.
  double timeLimit = 0.0;
  std::chrono::steady_clock::time_point deadline{};
};

// Beyond these many columns a model is not built: the balanced one falls
// back to the combinatorial bound (world-size days), the rested one is
// skipped.
constexpr std::uint64_t kBalancedColumnBudget = 4000000;
constexpr std::uint64_t kRestedColumnBudget = 1000000;
// The integer program's peak memory per byte of its model's estimate (its
// branch and cut keeps copies, cuts and a tree: about 4 measured on a rail
// day of 1,000 passages); beyond the memory limit it is skipped.
constexpr std::uint64_t kIntegerBytesPerModelByte = 6;
// After a round of balanced programs that leaves the best unproven, the
// integer program of the whole model comes next, without further rounds,
// when the whole model has at most this many times the round's columns.
constexpr std::uint64_t kIntegerSoonerRatio = 3;
// Start classes per home of the rested bound's first, relaxed program.
constexpr std::uint32_t kCoarseRestClasses = 8;

// The day of `graph` as the model needs it, `maximum` being a maximum
// matching of it (every home a commodity).
Day ReadDay(const BGraph& graph, const TimeTable& table, const BGraph::Matching& maximum,
            double minTurn = 0.0);

// One linear program the certificate solved, for benchmarks.
struct LpRecord {
  std::string what;  // "relaxed", "restricted", "integer" or "rested"
  ModelSize size;
  double seconds = 0.0;  // CPU seconds of building and solving it
  LpSolution::Status status = LpSolution::Status::Failed;
};

class Certificate {
 public:
  Certificate(const BGraph& graph, const TimeTable& table, const Settings& settings);
  Certificate(const Certificate&) = delete;
  Certificate& operator=(const Certificate&) = delete;

  // True when the run must stop: the model needs more memory than the limit.
  // The one line to print is `RefusalLine()`.
  bool Refused() const { return !refusal.empty(); }
  const std::string& RefusalLine() const { return refusal; }

  // Solves and decodes against the search's best `matching` with `best`
  // counts; replaces both (and returns true) when the LP's decomposition
  // ranks higher.
  bool Run(const BGraph& graph, TimeTable& table, double threshold, BGraph::Matching& matching,
           DecompositionCounts& best);

  void Print() const;
  // What Print and AddToReport tell.
  bool LpSolved() const { return lpSolved; }
  // CPU seconds the balanced programs took (0 when none was solved).
  double BalancedSeconds() const { return balancedSeconds; }
  // The tightest bound on balanced chains: the LP's, or the integer
  // program's when it is lower.
  int Bound() const { return bound; }
  // Whether the integer program ran (after LPs that did not prove the
  // best), its bound, whether it finished, and whether its decomposition
  // was kept.
  bool IntegerSolved() const { return integerSolved; }
  int IntegerBound() const { return integerBound; }
  bool IntegerFinished() const { return integerFinished; }
  bool KeptInteger() const { return keptInteger; }
  bool Certified() const { return certified; }
  bool KeptLp() const { return keptLp; }
  bool RestSolved() const { return restSolved; }
  int RestBound() const { return restBound; }
  bool RestOptimal() const { return restOptimal; }
  // Whether the run's time limit stopped a program or kept one from running.
  bool TimeLimitReached() const { return timeLimitReached; }
  void AddToReport(boost::property_tree::ptree& report) const;
  // The linear programs solved, in order.
  const std::vector<LpRecord>& Records() const { return records; }

 private:
  const Settings settings;
  std::string refusal;
  std::string fallback;  // why the LP is not used (empty when it is)
  MatchingFacts facts;
  Day day;
  BGraph::Matching maximum;  // the one the facts were read from
  std::unique_ptr<TimeSpaceModel> balanced;

  // Results of Run.
  int combinatorialBound = 0;
  bool lpSolved = false;
  double balancedSeconds = 0.0;
  int bound = 0;
  int lpBound = 0;
  int openBound = 0;  // the balanced bound without the closed rotations
  bool integerSolved = false;
  int integerBound = 0;
  bool integerFinished = false;
  bool keptInteger = false;
  int bestBalanced = 0;  // after the balanced programs
  std::string integerSkipped;  // why the integer program did not run, when it would have
  bool certified = false;
  bool keptLp = false;
  bool restSolved = false;
  int restBound = 0;
  bool restOptimal = false;
  std::string restSkipped;
  bool timeLimitReached = false;
  std::vector<LpRecord> records;

  // Wall seconds left before the run's time limit (infinite without one).
  double WallLeft() const;
  // Why a program did not finish: out of its CPU budget, or stopped by the
  // time limit.
  std::string OutOfTime(std::uint64_t columns) const;

  // Builds and solves `model`'s program within `seconds`, recording it.
  LpSolution Solve(const char* what, const TimeSpaceModel& model, double seconds,
                   int minOpenBalanced = 0);

  // Counts of a maximum matching's decomposition, when the verifier accepts
  // it; false otherwise.
  bool CheckedCounts(const BGraph& graph, TimeTable& table, double threshold,
                     BGraph::Matching matching, DecompositionCounts& counts) const;
  // Decodes `columns` of `model`'s program, merges its closed rotations and,
  // when the verifier accepts it and it ranks higher than `best`, makes it
  // the best; true then.
  bool KeepIfBetter(const TimeSpaceModel& model, const std::vector<double>& columns,
                    const BGraph& graph, TimeTable& table, double threshold,
                    BGraph::Matching& matching, DecompositionCounts& best) const;
  void SolveBalanced(const BGraph& graph, TimeTable& table, double threshold,
                     BGraph::Matching& matching, DecompositionCounts& best);
  // Peak bytes of the integer program of the whole balanced model, with
  // the graph.
  std::uint64_t IntegerBytes(const BGraph& graph) const;
  // The integer program within `seconds`, after the balanced LPs.
  void SolveInteger(const BGraph& graph, TimeTable& table, double threshold,
                    BGraph::Matching& matching, DecompositionCounts& best, double seconds);
  void BoundRest(const BGraph& graph, TimeTable& table, double threshold,
                 BGraph::Matching& matching, DecompositionCounts& best);
};

}  // namespace certify
