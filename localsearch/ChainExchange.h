#pragma once

// A minimum chain decomposition held as a maximum matching of the split
// graph, with the moves that exchange pieces of two chains at one terminal.
//
// The split graph falls apart into one board per terminal t (rows: the
// passages arriving at t, columns: those leaving t), and every maximum
// matching is maximum on every board. A move that replaces matched cells of
// one board by others of the same board keeps the matching maximum:
//
// - swap: matched (a1, b1), (a2, b2) become (a1, b2), (a2, b1); the two
//   chains exchange their tails;
// - hand over a successor: (a, b) becomes (a, b') for a free column b' (a
//   chain start): the chain of b' joins a's chain, b starts a chain;
// - hand over a predecessor: (a, b) becomes (a', b) for a free row a' (a
//   chain end): b's tail joins the chain that ends at a'.
// Every move is named by one row and one of its neighbour columns, which the
// move puts together (Propose).
//
// Whether a chain is balanced or rested depends on its first and last
// passage only, so the effect of a move on both counts is known in constant
// time from the ends of the two chains it touches. Each position carries
// the id of its chain, and each chain its first and last position; applying
// a move relabels the pieces that change chains.
//
// Random moves rarely balance a chain on a day with many terminals: the
// tail it needs ends at one terminal among hundreds. `ProposeAimed`
// therefore takes an unbalanced chain X and a chain Y that ends where X
// starts, and picks one of the moves between them that hands X a tail of Y
// (chains are kept in buckets by the terminal they end at and the one they
// start from); or, for rest, a chain X without enough rest and a chain Y
// that ends where X ends or starts where X starts: exchanging tails between
// them keeps the number of balanced chains, so only the rest changes.
//
// A re-pairing (`ProposeRepair`) goes beyond one exchange: it takes up to
// kMaxRepair matched cells of one board, each of another open chain, whose
// arrivals lie close together, and gives their rows the columns in the
// order that scores best (balanced + weight * rested), other than the one
// they have. A rotation of three to five tails is one step here, where
// swaps would need two to four, and their middle steps can lack a cell or
// lose score.
//
// Overnight passages let a matching close a chain on itself (a cycle): its
// decomposition lists the cycle as one chain cut at its smallest position,
// which counts as one chain more. A move that would close a loop is never
// proposed; moves that merge a cycle into another chain (or two cycles into
// one) are, and they lower the number of chains by one.
//
// Passages are counted as the decomposition route counts them: position p
// stands for the passage its number resolves to in the timetable (the later
// one when two passages share a number). Moves use the graph's own cells,
// so they stay valid on any split graph, parallel edges included.
//
// Cells are those of the graph; on a timetable's own graph (built with the
// same follow rule) a cell is tested by the rule instead of a search.
//
// Cost: O(n + E) memory (the rows' sorted neighbour lists and each
// terminal's arrivals in time order). Propose is O(1)
// on a timetable's own graph (O(log degree) on others); ProposeAimed is
// O(|X| + |Y|) (it lists every move between X and Y when there are few,
// and samples some otherwise); ProposeRepair is O(|X|) plus a scan of
// kRepairScan arrivals and kMaxRepair! orders; Apply and ApplyRepair are
// linear in the pieces relabelled.

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "bipartite/BGraph.h"
#include "common/FollowRule.h"
#include "common/Passage.h"
#include "common/TimeTable.h"
#include "localsearch/Search.h"

class ChainExchange {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

  enum class MoveKind : std::uint8_t { Swap, HandOverSuccessor, HandOverPredecessor };
  // What an aimed move is for: balancing an unbalanced chain X with a tail
  // of a partner that ends where X starts; or more rest for a chain X
  // without enough, with a partner that ends where X ends or starts where X
  // starts.
  enum class Aim : std::uint8_t { Balance, RestSameEnd, RestSameStart };

  // A move worked out against the current state; valid until the next Apply.
  struct Move {
    MoveKind kind = MoveKind::Swap;
    std::uint32_t row = kNone;        // the row the move was proposed at
    std::uint32_t column = kNone;     // the neighbour column it was proposed with
    std::uint32_t oldColumn = kNone;  // row's partner before (Swap, HandOverSuccessor)
    std::uint32_t otherRow = kNone;   // column's partner before (Swap, HandOverPredecessor)
    int deltaChains = 0;
    int deltaBalanced = 0;
    int deltaRest = 0;
    // When two cycles merge, the counts of the merged cycle are known only
    // once it is built: Apply works them out.
    bool recount = false;
  };

  static constexpr std::uint32_t kMaxRepair = 5;
  static constexpr std::uint32_t kRepairScan = 32;

  // A re-pairing worked out against the current state; valid until the
  // next change. Row rows[i] takes column columns[to[i]].
  struct Repair {
    std::uint32_t size = 0;
    std::array<std::uint32_t, kMaxRepair> rows{};
    std::array<std::uint32_t, kMaxRepair> columns{};
    std::array<std::uint8_t, kMaxRepair> to{};
    int deltaBalanced = 0;
    int deltaRest = 0;
  };

  // `start` must be a maximum matching of `graph`, pairs (left, right);
  // `rule` the one the graph was built with.
  ChainExchange(const BGraph& graph, const TimeTable& table, const BGraph::Matching& start,
                double threshold, const FollowRule& rule = {});

  // Rows (left positions) that have at least one cell.
  const std::vector<std::uint32_t>& ActiveRows() const { return activeRows; }
  std::uint32_t Degree(std::uint32_t row) const { return rowStart[row + 1] - rowStart[row]; }
  std::uint32_t Neighbour(std::uint32_t row, std::uint32_t k) const {
    return columns[rowStart[row] + k];
  }

  // The move that puts `row` and its neighbour `column` together. False when
  // there is none: they are matched already, the move would close a loop,
  // or the swap's second cell is missing.
  bool Propose(std::uint32_t row, std::uint32_t column, Move& move) const;

  // An aimed move; `draw` (60 random bits) picks the chains and the move.
  // Aimed at balance: it hands an unbalanced chain X a tail of a chain Y
  // that ends where X starts. Aimed at rest: it exchanges tails of a chain X without
  // enough rest and a chain Y that ends where X ends or starts where X
  // starts (which keeps the number of balanced chains). False when the
  // chains drawn have no move between them.
  bool ProposeAimed(std::uint64_t draw, Aim aim, Move& move);

  void Apply(const Move& move);

  // A re-pairing at the terminal where a chain X ends one of its passages:
  // X is drawn among the unbalanced chains (Aim::Balance) or those without
  // enough rest (otherwise), its matched cell and the others by `draw` (60
  // random bits). The order chosen is the best by balanced + restWeight *
  // rested other than the present one (ties drawn). False when X has no
  // matched cell or no other cell is near.
  bool ProposeRepair(std::uint64_t draw, Aim aim, double restWeight, Repair& repair);
  void ApplyRepair(const Repair& repair);

  // Re-pairs heads and tails at one terminal (BoardPolish): `heads` are
  // rows, `tails` columns, every matched cell among them pairs a head with
  // a tail, and each open chain they touch is touched once (as one matched
  // cell, one free row or one free column). Head i takes tail to[i] (kNone:
  // it ends its chain); as many heads must be paired as before, and every
  // new pair must be a cell. Linear in the tails' pieces relabelled.
  void Reassign(const std::vector<std::uint32_t>& heads, const std::vector<std::uint32_t>& tails,
                const std::vector<std::uint32_t>& to);

  // Starts again from `matching`, a maximum matching of the graph.
  void Reset(const BGraph::Matching& matching);

  const DecompositionCounts& Counts() const { return counts; }
  // Matched pairs (left, right vertex) in increasing order of the left vertex.
  BGraph::Matching ToMatching() const;
  // Partner column of every row (kNone when free): the state to keep.
  const std::vector<std::uint32_t>& Successors() const { return succ; }

 private:
  friend class BoardPolish;

  enum ChainKind : std::uint8_t { kOpen, kCycle, kGone };

  std::uint32_t n = 0;
  double threshold = 0.0;
  std::vector<Passage> passageAt;  // counted passage per position
  std::vector<std::uint32_t> originAt;       // dense terminal index per position
  std::vector<std::uint32_t> destinationAt;  // dense terminal index per position
  std::vector<std::uint32_t> rowStart;  // CSR over rows, columns sorted
  std::vector<std::uint32_t> columns;
  std::vector<std::uint32_t> activeRows;
  // Rows by the terminal they arrive at, in order of arrival, and the place
  // of every row in its list.
  std::vector<std::vector<std::uint32_t>> arrivingAt;
  std::vector<std::uint32_t> placeInArriving;
  // True when the cells are exactly the pairs that can follow each other by
  // the rule (distinct passage numbers): a cell is then tested by comparing
  // two times instead of searching a row.
  bool cellsFollowTimes = false;
  FollowRule rule;

  std::vector<std::uint32_t> succ;  // row -> matched column
  std::vector<std::uint32_t> pred;  // column -> matched row
  std::vector<std::uint32_t> chainOf;
  std::vector<std::uint32_t> first;  // per chain id; for a cycle, its smallest position
  std::vector<std::uint32_t> last;   // per chain id; for a cycle, the predecessor of first
  std::vector<std::uint8_t> kind;    // ChainKind per chain id
  DecompositionCounts counts;

  // Open chains by the terminal they end at and by the one they start
  // from, the unbalanced and the unrested open chains, each with the place
  // of every chain in it (kNone when not in it).
  std::vector<std::vector<std::uint32_t>> endingAt;
  std::vector<std::uint32_t> placeInEnding;
  std::vector<std::vector<std::uint32_t>> startingAt;
  std::vector<std::uint32_t> placeInStarting;
  std::vector<std::uint32_t> unbalanced;
  std::vector<std::uint32_t> placeInUnbalanced;
  std::vector<std::uint32_t> unrested;
  std::vector<std::uint32_t> placeInUnrested;
  // Scratch of ProposeAimed.
  std::vector<std::uint32_t> rowsOfX;
  std::vector<std::uint32_t> rowsOfY;
  std::vector<std::uint32_t> candidates;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> tailsOfY;  // (terminal, column)

  // Inline: every proposal asks these several times. Balanced and Rested
  // are IsBalancedChain and HasEnoughRest (common/ChainEnds.h) on the
  // counted passages, the terminals as their dense indices.
  bool HasCell(std::uint32_t row, std::uint32_t column) const {
    if (cellsFollowTimes) return row != column && rule.CanFollow(passageAt[row], passageAt[column]);
    return SearchCell(row, column);
  }
  bool SearchCell(std::uint32_t row, std::uint32_t column) const;
  int Balanced(std::uint32_t head, std::uint32_t tail) const {
    return originAt[head] == destinationAt[tail] ? 1 : 0;
  }
  int Rested(std::uint32_t head, std::uint32_t tail) const {
    return (24.0 - passageAt[tail].arrival) + passageAt[head].departure >= threshold ? 1 : 0;
  }
  int BalancedOf(std::uint32_t chain) const { return Balanced(first[chain], last[chain]); }
  int RestedOf(std::uint32_t chain) const { return Rested(first[chain], last[chain]); }

  void BuildTerminals();
  void BuildCells(const BGraph& graph);
  bool CellsFollowTimes(const TimeTable& table) const;
  // The cell (row, column) of a move that gives X (whose rows are
  // `rowsOfX`) a tail of Y, or false: a swap of `a` with `other`, or `a`
  // taking Y's head (other == kNone).
  bool TailMove(std::uint32_t a, std::uint32_t other, std::uint32_t headOfY,
                std::uint32_t& column) const;
  void BuildChains();
  // Gives the positions from `from` along successors, up to and including
  // `to` (or to the chain's end when `to` is kNone), the chain id `id`.
  void Relabel(std::uint32_t from, std::uint32_t to, std::uint32_t id);
  // Sets first/last of the cycle `id` that runs through `through`.
  void CutCycle(std::uint32_t id, std::uint32_t through);
  void Match(std::uint32_t row, std::uint32_t column);
  // Puts chain `id` into the buckets its kind and ends call for.
  void File(std::uint32_t id);
  void Unfile(std::uint32_t id);
};
