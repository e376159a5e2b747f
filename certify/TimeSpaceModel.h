#pragma once

// The time-space multicommodity model of a day's minimum chain
// decompositions, as a linear program, and the decoding of its integral
// solutions into maximum matchings.
//
// Each terminal has a line of time nodes for each commodity, one node per
// run of departures there with no arrival between them (what reaches the
// first of them reaches the others); an arrival joins the line at the first
// node at least the minimum turn after it, and waiting arcs carry flow
// forward along the line. A chain is a unit of flow from the departure of its first
// passage to the arrival of its last. Passage b can follow a exactly when
// a flow path leads from a's arrival to b's departure, so on every terminal
// the pairs that the flow makes are cells of the split graph (the one
// exception, a passage that returns to its own terminal no later than it
// leaves, is refused by the decoding).
//
// Every passage flies in exactly one commodity, in one of up to four ways:
// it starts its chain or continues one, and it ends its chain or hands over
// to the next passage. Starting and ending are open only to the passages
// that do so in some maximum matching (MatchingFacts), and the number of
// chains that start is the minimum number of open chains: the flow is a
// maximum matching, whose open chains all start somewhere. A closed
// rotation is a circulation: it starts nowhere and the model does not see
// it, so the model ranges over all maximum matchings whatever closed
// rotations they keep, and its chains are their open chains.
//
// Aims:
//   - balanced: a commodity per home terminal k whose chains start and end
//     at k, and one for all other chains; the objective counts the chains
//     of home commodities: the open balanced chains.
//   - rested: commodities by home (or none) and by the first departure
//     time, in classes of times that make the same arrivals rested; the
//     objective counts the rested chain ends, with at least a given number
//     of open balanced chains.
// Commodities carry only the passages that a chain of theirs can reach
// from a start and leave towards an end (earliest-arrival sweeps per
// terminal), which keeps the model small.
//
// Homes may be chosen (Day::homes): each home commodity left out shrinks
// the program by up to four columns per passage it could carry, and the
// home's chains fly in the commodity of all others; the objective then
// counts the open balanced chains of the chosen homes only.
//
// Cost: planning is O(commodities * n log n); the program has one column
// per (passage, commodity, way) and per waiting arc, one row per passage and
// per time node.

#include <cstdint>
#include <vector>

#include "bipartite/BGraph.h"
#include "certify/LinearProgram.h"
#include "common/Passage.h"

namespace certify {

// The day as the model needs it.
struct Day {
  std::vector<Passage> passages;       // the passage counted at each graph position
  std::vector<std::uint8_t> canStart;  // per position (MatchingFacts)
  std::vector<std::uint8_t> canEnd;
  int openChains = 0;  // passages less the size of a maximum matching
  double minTurn = 0.0;
  // Home commodities that may carry every passage (terminal numbers,
  // ascending); every home when empty.
  std::vector<std::uint32_t> homes;
  // Empty, or per position the terminal of a home outside `homes` whose
  // commodity may carry that passage too (kNoHome: none). Such homes carry
  // no other passage: the program is then a restriction, whose integral
  // optima are decompositions, not a relaxation.
  std::vector<std::uint32_t> keptHome;
  // Rested aim: at most this many start classes per home and for any home
  // (0: all). Classes merged take the most rested ends of any of them, so
  // the program is a relaxation, smaller by the classes merged.
  std::uint32_t restClasses = 0;
  // Departures with no arrival between them share a node; off, each
  // departure time has its own (the same optima, more rows and columns).
  bool mergeNodes = true;
  bool IsHome(std::uint32_t terminal) const;
};

constexpr std::uint32_t kNoHome = 0xFFFFFFFFu;

enum class Aim { Balanced, Rested };

struct ModelSize {
  std::uint64_t columns = 0;
  std::uint64_t rows = 0;
  std::uint64_t entries = 0;
  std::uint64_t commodities = 0;
  // Peak memory of building and solving it (the program, the solver's
  // copies and factors).
  std::uint64_t Bytes() const;
};

class TimeSpaceModel {
 public:
  // Plans the commodities and the columns. Planning stops once more than
  // `columnCap` columns are planned: `Fits()` is then false and `Size()` a
  // lower bound.
  TimeSpaceModel(const Day& day, Aim aim, double threshold, std::uint64_t columnCap);

  bool Fits() const { return fits; }
  const ModelSize& Size() const { return size; }

  // The program; `minOpenBalanced` bounds the open balanced chains from
  // below (rested aim only). Each passage flown in a home commodity costs
  // a penalty below 1 / (2n): left alone, the home commodities' zero-cost
  // freedom (circulations, splits of a chain among commodities) makes
  // fractional optima and slows the simplex. All penalties together stay
  // below 1/2, so the optimum is within 1/2 of the unpenalised one, and an
  // integral optimum has the most of the aim's count among all integral
  // solutions.
  LinearProgram Build(int minOpenBalanced = 0) const;

  // The bound an optimum of the program gives on the count the aim
  // maximises: the optimum less the penalties (see Build), rounded down.
  int IntegerBound(double optimum) const;

  // The maximum matching of an integral solution of `Build`'s program,
  // pairs (left, right) in increasing order of the left vertex; false when
  // the solution is fractional or its flow cannot be paired.
  bool Decode(const std::vector<double>& solution, BGraph::Matching& matching) const;

  // Per position: whether a home commodity flies it in `solution`, in part.
  std::vector<std::uint8_t> FlownHome(const std::vector<double>& solution) const;

 private:
  static constexpr std::uint32_t kAnyHome = 0xFFFFFFFFu;
  enum Way : std::uint8_t { kStarts = 1, kEnds = 2, kWait = 4 };

  struct Commodity {
    std::uint32_t home = kAnyHome;  // dense terminal index
    std::uint32_t restClass = 0;    // rested aim: arrivals rested for its first departures
  };
  // A column of the program.
  struct Variable {
    std::uint32_t passage = 0;  // for a waiting arc: its first node
    std::uint32_t commodity = 0;
    std::uint8_t ways = 0;
    bool continuesIn = false;   // departs from the line (does not start)
    bool continuesOut = false;  // arrives into the line (does not end)
  };

  const Day& day;
  Aim aim;
  double threshold;
  bool fits = true;
  ModelSize size;
  std::vector<std::uint32_t> originAt;  // dense terminal index per position
  std::vector<std::uint32_t> destinationAt;
  std::uint32_t terminals = 0;
  std::vector<std::uint32_t> terminalIds;  // per dense index
  std::vector<Commodity> commodities;
  std::vector<std::vector<std::uint32_t>> members;  // passages per commodity, ascending
  // Rested aim: the rest class of each passage's departure as a start, per
  // home and for any home, and the rank of its arrival among chain ends.
  std::vector<std::uint32_t> startClassHome;
  std::vector<std::uint32_t> startClassAny;
  std::vector<std::uint32_t> endRankHome;
  std::vector<std::uint32_t> endRankAny;

  std::vector<Variable> variables;
  std::vector<std::uint32_t> nodeBase;  // first node row per commodity
  // Per commodity, its nodes as (terminal, time of their first departure),
  // sorted.
  std::vector<std::vector<std::pair<std::uint32_t, double>>> nodes;

  double Penalty() const { return 0.5 / (static_cast<double>(day.passages.size()) + 1.0); }
  double EntryTime(std::uint32_t p) const { return day.passages[p].arrival + day.minTurn; }
  bool MayStart(std::uint32_t p, const Commodity& c) const;
  bool MayEnd(std::uint32_t p, const Commodity& c) const;
  bool EndIsRested(std::uint32_t p, const Commodity& c) const;
  void PlanCommodities();
  void PlanRestClasses();
  // Passages per commodity, until more than `cap` in all; returns how many.
  std::uint64_t PlanMembers(std::uint64_t cap);
  void PlanVariables();
  // Node rows: the node a departure leaves from, the node an arrival
  // (at its entry time) joins; kNone when there is none.
  std::uint32_t DepartureNode(std::uint32_t commodity, std::uint32_t terminal,
                              double departure) const;
  std::uint32_t ArrivalNode(std::uint32_t commodity, std::uint32_t terminal, double entry) const;
};

}  // namespace certify
