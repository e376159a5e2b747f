#pragma once

// An exact improvement step for a decomposition of the exchange search:
// the best re-pairing of the connections at one terminal around one time.
//
// The board of terminal X at time T (the ready time, arrival plus minimum
// turn, of an arrival at X) holds every matched cell (a, b) with a ready by
// T and b leaving X at T or later, every free row (chain end) ready at X by
// T and every free column (chain start) leaving X from T on. Each head of
// the set can take each tail of it; a new chain is a head's piece up to a
// and a tail's piece from b, so balance and rest of every outcome are known
// from the pieces' ends. Assignments that pair as many heads as the set has
// matched cells keep the number of chains; the best one, by balanced chains
// first and rested chains second, is found exactly (Hungarian method) and
// taken only when it is strictly better than the present one.
//
// A window from T1 to T2 widens the board: heads ready by T2, tails leaving
// from T1 on, the cells between them tested one by one (a head ready after a
// tail leaves cannot take it).
//
// Re-pairing two places of one chain could close a loop (a chain passing X
// twice in the window on an overnight day, or a free end whose own start is
// in the set), and cycles cannot be re-paired: cycles are left out, and a
// chain met twice is left out too, or (`once`) keeps only its first place
// (matched cells first, latest first; then free rows, latest first; then
// free columns, earliest first). With one place per chain every new chain
// runs from a chain start to a chain end: no loop can form. A side with
// more than kMaxSide members is cut in that order, free ends of one kind
// (far end and own score, and in a window own time) at most as many as
// there are matched cells.
//
// A sweep visits every terminal and there every time after which a
// departure follows before the next arrival is ready (a later time with no
// departure in between has a larger set). Run sweeps until one finds
// nothing, kMaxSweeps at most. Shuffle makes one sweep that also jumps
// along plateaus: ties between best assignments are broken by random bits,
// and a board takes a best assignment that scores as much as the present
// one. Both are deterministic for a given state (and seed).
//
// Cost: O(n) memory besides the state. A board is O(arrivals at X before T2
// + departures from X after T1) to gather and O(s^3) to solve (s <=
// kMaxSide); a sweep is at most O(sum over terminals of arrivals *
// (arrivals + departures) + boards * kMaxSide^3).

#include <cstdint>
#include <vector>

#include "localsearch/ChainExchange.h"

struct PolishOutcome {
  unsigned int sweeps = 0;
  unsigned int boards = 0;        // boards solved
  unsigned int improvements = 0;  // boards re-paired to a higher score
  unsigned int jumps = 0;         // boards re-paired to an equal score (Shuffle)
};

class BoardPolish {
 public:
  static constexpr std::uint32_t kMaxSide = 48;
  static constexpr unsigned int kMaxSweeps = 8;

  explicit BoardPolish(ChainExchange& state);

  // Sweeps until a sweep improves nothing (or kMaxSweeps).
  PolishOutcome Run();

  // One sweep that also jumps on plateaus: ties between best assignments
  // are broken by random bits from `seed`, and a board takes its best
  // whenever it scores no less than the present one.
  PolishOutcome Shuffle(std::uint64_t seed);

  // One board: terminal `terminal` (dense index), the window from ready
  // time `from` to `to` (equal: one time); true when it was re-paired. The
  // set it solved is kept (Heads, Tails).
  bool PolishBoard(std::uint32_t terminal, double from, double to);

  // Sweeps solve windows from a board time to the one `span` board times
  // later (0: the board at one time); with `once`, a chain met twice keeps
  // one place in the set instead of being left out.
  void SetWindow(std::size_t windowSpan, bool once) {
    span = windowSpan;
    keepOnce = once;
  }

  // The last board's set: its rows and columns.
  const std::vector<std::uint32_t>& Heads() const { return heads; }
  const std::vector<std::uint32_t>& Tails() const { return tails; }

  // Dense terminals of the state, and the ready times worth a board there.
  std::uint32_t Terminals() const { return static_cast<std::uint32_t>(leavingAt.size()); }
  std::vector<double> BoardTimes(std::uint32_t terminal) const;

 private:
  ChainExchange& state;
  // Columns by the terminal they leave from, in order of departure.
  std::vector<std::vector<std::uint32_t>> leavingAt;
  // Scratch.
  std::vector<std::uint32_t> heads;
  std::vector<std::uint32_t> tails;
  std::vector<std::uint32_t> freeRows;
  std::vector<std::uint32_t> freeColumns;
  std::vector<std::uint32_t> seen;  // per chain id: stamp of the board that met it
  std::vector<std::uint32_t> twice;  // per chain id: stamp when met twice
  std::uint32_t stamp = 0;
  std::vector<std::uint32_t> partnerOf;  // per head: its tail's index, or kNone
  unsigned int improved = 0;  // boards re-paired to a higher score so far
  std::uint64_t noise = 0;  // state of the tie-breaking bits; 0: none

  bool Solve(std::uint32_t terminal, double from, double to);
  std::size_t span = 0;
  bool keepOnce = false;

  bool Gather(std::uint32_t terminal, double from, double to);
  void Meet(std::uint32_t chain);
};
