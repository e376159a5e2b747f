#include "localsearch/ChainExchange.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "bipartite/TerminalBoards.h"
#include "common/Poset.h"
#include "localsearch/Decomposition.h"

ChainExchange::ChainExchange(const BGraph& graph, const TimeTable& table,
                             const BGraph::Matching& start, double threshold,
                             const FollowRule& rule)
    : n(static_cast<std::uint32_t>(graph.numberOfVertices / 2)),
      threshold(threshold),
      passageAt(CountedPassages(graph, table)),
      rule(rule) {
  BuildTerminals();
  BuildCells(graph);
  cellsFollowTimes = CellsFollowTimes(table);
  Reset(start);
}

void ChainExchange::Reset(const BGraph::Matching& matching) {
  succ.assign(n, kNone);
  pred.assign(n, kNone);
  for (const auto& pair : matching) {
    const auto row = static_cast<std::uint32_t>(std::min(pair.first, pair.second));
    const auto column = static_cast<std::uint32_t>(std::max(pair.first, pair.second)) - n;
    succ[row] = column;
    pred[column] = row;
  }
  first.clear();
  last.clear();
  kind.clear();
  for (std::vector<std::uint32_t>& bucket : endingAt) bucket.clear();
  for (std::vector<std::uint32_t>& bucket : startingAt) bucket.clear();
  unbalanced.clear();
  unrested.clear();
  counts = DecompositionCounts();
  BuildChains();
}

void ChainExchange::BuildTerminals() {
  std::vector<std::uint32_t> terminals;
  terminals.reserve(2 * n);
  for (const Passage& passage : passageAt) {
    terminals.push_back(passage.origin);
    terminals.push_back(passage.destination);
  }
  std::sort(terminals.begin(), terminals.end());
  terminals.erase(std::unique(terminals.begin(), terminals.end()), terminals.end());
  auto dense = [&terminals](std::uint32_t terminal) {
    return static_cast<std::uint32_t>(
        std::lower_bound(terminals.begin(), terminals.end(), terminal) - terminals.begin());
  };
  originAt.reserve(n);
  destinationAt.reserve(n);
  for (const Passage& passage : passageAt) {
    originAt.push_back(dense(passage.origin));
    destinationAt.push_back(dense(passage.destination));
  }
  endingAt.resize(terminals.size());
  startingAt.resize(terminals.size());
  arrivingAt.resize(terminals.size());
  for (std::uint32_t p = 0; p < n; ++p) arrivingAt[destinationAt[p]].push_back(p);
  // Unknown (NaN) arrivals last, equal ones by position: a strict order.
  auto earlier = [this](std::uint32_t p, std::uint32_t q) {
    const double a = passageAt[p].arrival;
    const double b = passageAt[q].arrival;
    if (std::isnan(a) || std::isnan(b)) {
      if (std::isnan(a) != std::isnan(b)) return std::isnan(b);
      return p < q;
    }
    return a < b || (a == b && p < q);
  };
  placeInArriving.assign(n, kNone);
  for (std::vector<std::uint32_t>& rows : arrivingAt) {
    std::sort(rows.begin(), rows.end(), earlier);
    for (std::uint32_t k = 0; k < rows.size(); ++k) placeInArriving[rows[k]] = k;
  }
}

void ChainExchange::BuildCells(const BGraph& graph) {
  rowStart.assign(n + 1, 0);
  for (const auto& edge : graph.edgeList) ++rowStart[static_cast<std::uint32_t>(edge.first) + 1];
  for (std::uint32_t row = 0; row < n; ++row) rowStart[row + 1] += rowStart[row];
  columns.resize(rowStart[n]);
  std::vector<std::uint32_t> fill(rowStart.begin(), rowStart.end() - 1);
  for (const auto& edge : graph.edgeList)
    columns[fill[static_cast<std::uint32_t>(edge.first)]++] =
        static_cast<std::uint32_t>(edge.second) - n;
  // Sorted rows answer HasCell by binary search; parallel cells add no move.
  std::uint32_t kept = 0;
  for (std::uint32_t row = 0; row < n; ++row) {
    const auto begin = columns.begin() + rowStart[row];
    const auto end = columns.begin() + rowStart[row + 1];
    std::sort(begin, end);
    const auto unique = std::unique(begin, end);
    rowStart[row] = kept;
    kept = static_cast<std::uint32_t>(
        std::copy(begin, unique, columns.begin() + kept) - columns.begin());
  }
  rowStart[n] = kept;
  columns.resize(kept);
  columns.shrink_to_fit();
  for (std::uint32_t row = 0; row < n; ++row)
    if (Degree(row) > 0) activeRows.push_back(row);
}

void ChainExchange::BuildChains() {
  chainOf.assign(n, kNone);
  // The scan of the decomposition route: from each unvisited position in
  // ascending order back to its chain's head, then forward to its tail.
  for (std::uint32_t i = 0; i < n; ++i) {
    if (chainOf[i] != kNone) continue;
    std::uint32_t head = i;
    bool isCycle = false;
    while (pred[head] != kNone) {
      head = pred[head];
      if (head == i) {
        isCycle = true;
        break;
      }
    }
    const auto id = static_cast<std::uint32_t>(first.size());
    std::uint32_t tail = head;
    chainOf[tail] = id;
    while (succ[tail] != kNone && chainOf[succ[tail]] == kNone) {
      tail = succ[tail];
      chainOf[tail] = id;
    }
    first.push_back(head);
    last.push_back(tail);
    kind.push_back(isCycle ? kCycle : kOpen);
    ++counts.chains;
    counts.balanced += Balanced(head, tail);
    counts.rest += Rested(head, tail);
  }
  placeInEnding.assign(first.size(), kNone);
  placeInStarting.assign(first.size(), kNone);
  placeInUnbalanced.assign(first.size(), kNone);
  placeInUnrested.assign(first.size(), kNone);
  for (std::uint32_t id = 0; id < first.size(); ++id) File(id);
}

void ChainExchange::File(std::uint32_t id) {
  if (kind[id] != kOpen) return;
  std::vector<std::uint32_t>& ending = endingAt[destinationAt[last[id]]];
  placeInEnding[id] = static_cast<std::uint32_t>(ending.size());
  ending.push_back(id);
  std::vector<std::uint32_t>& starting = startingAt[originAt[first[id]]];
  placeInStarting[id] = static_cast<std::uint32_t>(starting.size());
  starting.push_back(id);
  if (!BalancedOf(id)) {
    placeInUnbalanced[id] = static_cast<std::uint32_t>(unbalanced.size());
    unbalanced.push_back(id);
  }
  if (!RestedOf(id)) {
    placeInUnrested[id] = static_cast<std::uint32_t>(unrested.size());
    unrested.push_back(id);
  }
}

void ChainExchange::Unfile(std::uint32_t id) {
  auto remove = [](std::vector<std::uint32_t>& list, std::vector<std::uint32_t>& place,
                   std::uint32_t id) {
    const std::uint32_t at = place[id];
    if (at == kNone) return;
    place[list.back()] = at;
    list[at] = list.back();
    list.pop_back();
    place[id] = kNone;
  };
  if (placeInEnding[id] != kNone) remove(endingAt[destinationAt[last[id]]], placeInEnding, id);
  if (placeInStarting[id] != kNone)
    remove(startingAt[originAt[first[id]]], placeInStarting, id);
  remove(unbalanced, placeInUnbalanced, id);
  remove(unrested, placeInUnrested, id);
}

bool ChainExchange::TailMove(std::uint32_t a, std::uint32_t other, std::uint32_t headOfY,
                             std::uint32_t& column) const {
  if (other == kNone) {
    // X keeps its head up to `a` and takes all of Y; X's old tail starts anew.
    if (succ[a] == kNone || originAt[headOfY] != destinationAt[a] || !HasCell(a, headOfY))
      return false;
    column = headOfY;
    return true;
  }
  // Both pass one terminal: X goes on with Y's tail (Propose checks the
  // other cell of a swap).
  if (destinationAt[other] != destinationAt[a] || !HasCell(a, succ[other])) return false;
  column = succ[other];
  return true;
}

bool ChainExchange::ProposeAimed(std::uint64_t draw, Aim aim, Move& move) {
  constexpr int kBits = 20;
  constexpr std::uint64_t kMask = (std::uint64_t{1} << kBits) - 1;
  // Up to this many (row of X, row of Y) pairs every move is listed;
  // beyond, a few pairs are drawn.
  constexpr std::size_t kListAll = 256;
  constexpr int kSampledPairs = 8;
  auto pick = [](std::uint64_t bits, std::size_t size) {
    return static_cast<std::size_t>((bits * size) >> kBits);
  };
  const std::vector<std::uint32_t>& aims = aim == Aim::Balance ? unbalanced : unrested;
  if (aims.empty()) return false;
  const std::uint32_t x = aims[pick(draw & kMask, aims.size())];
  const std::vector<std::uint32_t>& partners =
      aim == Aim::Balance       ? endingAt[originAt[first[x]]]
      : aim == Aim::RestSameEnd ? endingAt[destinationAt[last[x]]]
                                : startingAt[originAt[first[x]]];
  if (partners.empty()) return false;
  const std::uint32_t y = partners[pick((draw >> kBits) & kMask, partners.size())];
  if (y == x) return false;

  rowsOfX.clear();
  for (std::uint32_t a = first[x];; a = succ[a]) {
    rowsOfX.push_back(a);
    if (succ[a] == kNone) break;
  }
  rowsOfY.clear();
  for (std::uint32_t p = first[y]; succ[p] != kNone; p = succ[p]) rowsOfY.push_back(p);
  const std::uint32_t headOfY = first[y];
  std::uint32_t column = kNone;
  const std::uint64_t choice = (draw >> (2 * kBits)) & kMask;
  if (rowsOfX.size() * (rowsOfY.size() + 1) <= kListAll) {
    // TailMove's tests, with Y's terminals and columns read once.
    candidates.clear();
    tailsOfY.clear();
    for (std::uint32_t other : rowsOfY) tailsOfY.push_back({destinationAt[other], succ[other]});
    const std::uint32_t startOfY = originAt[headOfY];
    for (std::uint32_t a : rowsOfX) {
      const std::uint32_t at = destinationAt[a];
      for (const auto& tail : tailsOfY) {
        if (tail.first != at || !HasCell(a, tail.second)) continue;
        candidates.push_back(a);
        candidates.push_back(tail.second);
      }
      if (succ[a] != kNone && startOfY == at && HasCell(a, headOfY)) {
        candidates.push_back(a);
        candidates.push_back(headOfY);
      }
    }
    if (candidates.empty()) return false;
    const std::size_t chosen = 2 * pick(choice, candidates.size() / 2);
    return Propose(candidates[chosen], candidates[chosen + 1], move);
  }
  // Long chains: draw pairs from bits of their own, mixed from the draw.
  std::uint64_t state = draw;
  auto next = [&state]() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  };
  for (int k = 0; k < kSampledPairs; ++k) {
    const std::uint32_t a = rowsOfX[next() % rowsOfX.size()];
    const std::size_t at = next() % (rowsOfY.size() + 1);
    const std::uint32_t other = at == rowsOfY.size() ? kNone : rowsOfY[at];
    if (TailMove(a, other, headOfY, column) && Propose(a, column, move)) return true;
  }
  return false;
}

bool ChainExchange::ProposeRepair(std::uint64_t draw, Aim aim, double restWeight,
                                  Repair& repair) {
  constexpr int kBits = 20;
  constexpr std::uint64_t kMask = (std::uint64_t{1} << kBits) - 1;
  auto pick = [](std::uint64_t bits, std::size_t size) {
    return static_cast<std::size_t>((bits * size) >> kBits);
  };
  const std::vector<std::uint32_t>& aims = aim == Aim::Balance ? unbalanced : unrested;
  if (aims.empty()) return false;
  const std::uint32_t x = aims[pick(draw & kMask, aims.size())];
  rowsOfX.clear();
  for (std::uint32_t a = first[x]; succ[a] != kNone; a = succ[a]) rowsOfX.push_back(a);
  if (rowsOfX.empty()) return false;
  const std::uint32_t a = rowsOfX[pick((draw >> kBits) & kMask, rowsOfX.size())];

  // The matched cells of other open chains whose rows arrive nearest to
  // a's, each able to swap with a's cell.
  repair.size = 1;
  repair.rows[0] = a;
  repair.columns[0] = succ[a];
  std::uint32_t chains[kMaxRepair] = {x};
  const std::vector<std::uint32_t>& arriving = arrivingAt[destinationAt[a]];
  const std::uint32_t at = placeInArriving[a];
  std::uint32_t below = at;
  std::uint32_t above = at + 1;
  for (std::uint32_t scanned = 0; scanned < kRepairScan && repair.size < kMaxRepair; ++scanned) {
    const bool downwards = below > 0 && (above >= arriving.size() || (scanned & 1) == 0);
    if (!downwards && above >= arriving.size()) break;
    const std::uint32_t r = downwards ? arriving[--below] : arriving[above++];
    const std::uint32_t chain = chainOf[r];
    if (succ[r] == kNone || kind[chain] != kOpen) continue;
    if (std::find(chains, chains + repair.size, chain) != chains + repair.size) continue;
    if (!HasCell(r, succ[a]) || !HasCell(a, succ[r])) continue;
    chains[repair.size] = chain;
    repair.rows[repair.size] = r;
    repair.columns[repair.size] = succ[r];
    ++repair.size;
  }
  const std::uint32_t k = repair.size;
  if (k < 2) return false;

  // Scores of head i with tail j, scaled to integers so that ties are exact.
  const int restScore = static_cast<int>(std::lround(restWeight * 1000.0));
  int score[kMaxRepair][kMaxRepair];
  int balanced[kMaxRepair][kMaxRepair];
  int rested[kMaxRepair][kMaxRepair];
  bool cell[kMaxRepair][kMaxRepair];
  for (std::uint32_t i = 0; i < k; ++i) {
    for (std::uint32_t j = 0; j < k; ++j) {
      balanced[i][j] = Balanced(first[chains[i]], last[chains[j]]);
      rested[i][j] = Rested(first[chains[i]], last[chains[j]]);
      score[i][j] = 1000 * balanced[i][j] + restScore * rested[i][j];
      cell[i][j] = i == j || HasCell(repair.rows[i], repair.columns[j]);
    }
  }
  // The best order other than the present one, by a dynamic program over
  // the columns given to rows 0 .. i-1 and whether any row has moved; ties
  // go either way by a random bit.
  constexpr int kUnset = -1;
  constexpr std::uint32_t kMasks = 1u << kMaxRepair;
  int total[kMasks][2];
  std::uint8_t took[kMasks][2];  // column of the last row, and (bit 7) the flag before
  for (std::uint32_t mask = 0; mask < (1u << k); ++mask) total[mask][0] = total[mask][1] = kUnset;
  total[0][0] = 0;
  std::uint64_t bits = draw >> (2 * kBits);
  for (std::uint32_t mask = 0; mask + 1 < (1u << k); ++mask) {
    std::uint32_t row = 0;  // rows given a column so far
    for (std::uint32_t m = mask; m != 0; m &= m - 1) ++row;
    for (int moved = 0; moved < 2; ++moved) {
      if (total[mask][moved] == kUnset) continue;
      for (std::uint32_t j = 0; j < k; ++j) {
        if ((mask >> j) & 1u || !cell[row][j]) continue;
        const std::uint32_t next = mask | (1u << j);
        const int nextMoved = moved | (j != row ? 1 : 0);
        const int value = total[mask][moved] + score[row][j];
        int& kept = total[next][nextMoved];
        if (value < kept) continue;
        if (value == kept) {
          bits = bits * 6364136223846793005ULL + 1442695040888963407ULL;
          if ((bits >> 63) == 0) continue;
        }
        kept = value;
        took[next][nextMoved] = static_cast<std::uint8_t>(j | (moved << 7));
      }
    }
  }
  std::uint32_t mask = (1u << k) - 1;
  if (total[mask][1] == kUnset) return false;
  for (int moved = 1, row = static_cast<int>(k) - 1; row >= 0; --row) {
    const std::uint8_t step = took[mask][moved];
    repair.to[row] = step & 0x7F;
    mask &= ~(1u << (step & 0x7F));
    moved = step >> 7;
  }
  repair.deltaBalanced = 0;
  repair.deltaRest = 0;
  for (std::uint32_t i = 0; i < k; ++i) {
    repair.deltaBalanced += balanced[i][repair.to[i]] - balanced[i][i];
    repair.deltaRest += rested[i][repair.to[i]] - rested[i][i];
  }
  return true;
}

void ChainExchange::ApplyRepair(const Repair& repair) {
  const std::uint32_t k = repair.size;
  std::uint32_t chains[kMaxRepair];
  std::uint32_t tails[kMaxRepair];
  for (std::uint32_t i = 0; i < k; ++i) {
    chains[i] = chainOf[repair.rows[i]];
    tails[i] = last[chains[i]];
    Unfile(chains[i]);
  }
  for (std::uint32_t i = 0; i < k; ++i) Match(repair.rows[i], repair.columns[repair.to[i]]);
  // Each chain keeps its head and takes the tail, and the last passage, of
  // the chain whose column its split row now has.
  for (std::uint32_t i = 0; i < k; ++i) {
    if (repair.to[i] == i) continue;
    Relabel(repair.columns[repair.to[i]], kNone, chains[i]);
    last[chains[i]] = tails[repair.to[i]];
  }
  counts.balanced += repair.deltaBalanced;
  counts.rest += repair.deltaRest;
  for (std::uint32_t i = 0; i < k; ++i) File(chains[i]);
}

void ChainExchange::Reassign(const std::vector<std::uint32_t>& heads,
                             const std::vector<std::uint32_t>& tails,
                             const std::vector<std::uint32_t>& to) {
  // Each new chain with a head keeps that head's chain id; the tails left
  // without a head start chains under the ids of the free columns' chains,
  // of which there are as many.
  std::size_t pairedBefore = 0;
  std::size_t pairedAfter = 0;
  for (std::size_t i = 0; i < heads.size(); ++i) {
    pairedBefore += succ[heads[i]] != kNone ? 1 : 0;
    pairedAfter += to[i] != kNone ? 1 : 0;
  }
  if (pairedBefore != pairedAfter)
    throw std::logic_error("a re-pairing would change the number of chains");
  std::vector<std::uint32_t> headChain(heads.size());
  std::vector<std::uint32_t> tailLast(tails.size());
  std::vector<std::uint32_t> spare;
  for (std::size_t i = 0; i < heads.size(); ++i) headChain[i] = chainOf[heads[i]];
  for (std::size_t j = 0; j < tails.size(); ++j) {
    const std::uint32_t chain = chainOf[tails[j]];
    tailLast[j] = last[chain];
    if (pred[tails[j]] == kNone) spare.push_back(chain);
  }
  auto unfile = [this](std::uint32_t id) {
    counts.balanced -= BalancedOf(id);
    counts.rest -= RestedOf(id);
    Unfile(id);
  };
  for (std::uint32_t id : headChain) unfile(id);
  for (std::uint32_t id : spare) unfile(id);
  for (std::uint32_t a : heads) {
    if (succ[a] == kNone) continue;
    pred[succ[a]] = kNone;
    succ[a] = kNone;
  }
  std::vector<char> taken(tails.size(), 0);
  for (std::size_t i = 0; i < heads.size(); ++i) {
    const std::uint32_t id = headChain[i];
    if (to[i] == kNone) {
      last[id] = heads[i];
      continue;
    }
    taken[to[i]] = 1;
    Match(heads[i], tails[to[i]]);
    Relabel(tails[to[i]], kNone, id);
    last[id] = tailLast[to[i]];
  }
  std::size_t next = 0;
  for (std::size_t j = 0; j < tails.size(); ++j) {
    if (taken[j]) continue;
    const std::uint32_t id = spare[next++];
    first[id] = tails[j];
    last[id] = tailLast[j];
    Relabel(tails[j], kNone, id);
  }
  auto file = [this](std::uint32_t id) {
    counts.balanced += BalancedOf(id);
    counts.rest += RestedOf(id);
    File(id);
  };
  for (std::uint32_t id : headChain) file(id);
  for (std::uint32_t id : spare) file(id);
}

bool ChainExchange::CellsFollowTimes(const TimeTable& table) const {
  if (table.positionById.size() != n || table.passages.size() != n) return false;
  for (std::uint32_t row = 0; row < n; ++row) {
    for (std::uint32_t k = rowStart[row]; k < rowStart[row + 1]; ++k)
      if (!rule.CanFollow(passageAt[row], passageAt[columns[k]])) return false;
  }
  // Every cell follows; the boards count the pairs that do.
  std::uint64_t following = 0;
  for (const TerminalBoard& board : BuildTerminalBoards(table.passages, rule))
    following += board.Cells();
  return following == columns.size();
}

bool ChainExchange::SearchCell(std::uint32_t row, std::uint32_t column) const {
  return std::binary_search(columns.begin() + rowStart[row], columns.begin() + rowStart[row + 1],
                            column);
}

bool ChainExchange::Propose(std::uint32_t row, std::uint32_t column, Move& move) const {
  move = Move();
  move.row = row;
  move.column = column;
  const std::uint32_t oldColumn = succ[row];
  const std::uint32_t otherRow = pred[column];
  if (oldColumn == column) return false;
  move.oldColumn = oldColumn;
  move.otherRow = otherRow;
  int before = 0;
  int beforeRest = 0;
  int after = 0;
  int afterRest = 0;
  auto old = [&](std::uint32_t chain) {
    before += BalancedOf(chain);
    beforeRest += RestedOf(chain);
  };
  auto made = [&](std::uint32_t head, std::uint32_t tail) {
    after += Balanced(head, tail);
    afterRest += Rested(head, tail);
  };

  if (oldColumn == kNone) {
    // `row` ends its chain W; `column`'s predecessor hands it over.
    if (otherRow == kNone) return false;  // two free ends of one cell: not maximum
    move.kind = MoveKind::HandOverPredecessor;
    const std::uint32_t w = chainOf[row];
    const std::uint32_t x = chainOf[column];
    if (w == x) return false;  // would close a loop
    old(w);
    old(x);
    if (kind[x] == kCycle) {
      made(first[w], otherRow);
      move.deltaChains = -1;
    } else {
      made(first[w], last[x]);
      made(first[x], otherRow);
    }
  } else if (otherRow == kNone) {
    // `column` starts chain Z; `row` takes it as its successor.
    move.kind = MoveKind::HandOverSuccessor;
    const std::uint32_t x = chainOf[row];
    const std::uint32_t z = chainOf[column];
    if (x == z) return false;  // would close a loop
    old(x);
    old(z);
    if (kind[x] == kCycle) {
      made(oldColumn, last[z]);
      move.deltaChains = -1;
    } else {
      made(first[x], last[z]);
      made(oldColumn, last[x]);
    }
  } else {
    move.kind = MoveKind::Swap;
    const std::uint32_t x = chainOf[row];
    const std::uint32_t y = chainOf[otherRow];
    if (x == y) return false;  // would close a loop, or split a cycle in two
    if (!HasCell(otherRow, oldColumn)) return false;
    old(x);
    old(y);
    if (kind[x] == kCycle && kind[y] == kCycle) {
      move.recount = true;
      move.deltaChains = -1;
    } else if (kind[x] == kCycle) {
      made(first[y], last[y]);
      move.deltaChains = -1;
    } else if (kind[y] == kCycle) {
      made(first[x], last[x]);
      move.deltaChains = -1;
    } else {
      made(first[x], last[y]);
      made(first[y], last[x]);
    }
  }
  if (!move.recount) {
    move.deltaBalanced = after - before;
    move.deltaRest = afterRest - beforeRest;
  } else {
    move.deltaBalanced = -before;
    move.deltaRest = -beforeRest;
  }
  return true;
}

void ChainExchange::Match(std::uint32_t row, std::uint32_t column) {
  succ[row] = column;
  pred[column] = row;
}

void ChainExchange::Relabel(std::uint32_t from, std::uint32_t to, std::uint32_t id) {
  std::uint32_t p = from;
  while (true) {
    chainOf[p] = id;
    if (p == to || succ[p] == kNone) return;
    p = succ[p];
  }
}

void ChainExchange::CutCycle(std::uint32_t id, std::uint32_t through) {
  std::uint32_t smallest = through;
  for (std::uint32_t p = succ[through]; p != through; p = succ[p]) smallest = std::min(smallest, p);
  first[id] = smallest;
  last[id] = pred[smallest];
}

void ChainExchange::Apply(const Move& move) {
  const std::uint32_t row = move.row;
  const std::uint32_t column = move.column;
  const std::uint32_t oldColumn = move.oldColumn;
  const std::uint32_t otherRow = move.otherRow;
  const std::uint32_t one = chainOf[row];
  const std::uint32_t two = chainOf[move.kind == MoveKind::Swap ? otherRow : column];
  Unfile(one);
  Unfile(two);
  switch (move.kind) {
    case MoveKind::HandOverPredecessor: {
      const std::uint32_t w = chainOf[row];
      const std::uint32_t x = chainOf[column];
      const std::uint32_t tailOfX = last[x];
      succ[otherRow] = kNone;
      Match(row, column);
      Relabel(column, kind[x] == kCycle ? otherRow : kNone, w);
      if (kind[x] == kCycle) {
        last[w] = otherRow;
        kind[x] = kGone;
      } else {
        last[w] = tailOfX;
        last[x] = otherRow;
      }
      break;
    }
    case MoveKind::HandOverSuccessor: {
      const std::uint32_t x = chainOf[row];
      const std::uint32_t z = chainOf[column];
      if (kind[x] == kCycle) {
        // The cycle opens at oldColumn and runs into z.
        Relabel(oldColumn, row, z);
        pred[oldColumn] = kNone;
        Match(row, column);
        first[z] = oldColumn;
        kind[x] = kGone;
      } else {
        const std::uint32_t tailOfX = last[x];
        pred[oldColumn] = kNone;
        Match(row, column);
        Relabel(column, kNone, x);
        Relabel(oldColumn, kNone, z);
        last[x] = last[z];
        first[z] = oldColumn;
        last[z] = tailOfX;
      }
      break;
    }
    case MoveKind::Swap: {
      const std::uint32_t x = chainOf[row];
      const std::uint32_t y = chainOf[otherRow];
      Match(row, column);
      Match(otherRow, oldColumn);
      if (kind[x] == kCycle && kind[y] == kCycle) {
        Relabel(column, otherRow, x);
        kind[y] = kGone;
        CutCycle(x, row);
      } else if (kind[x] == kCycle) {
        Relabel(oldColumn, row, y);
        kind[x] = kGone;
      } else if (kind[y] == kCycle) {
        Relabel(column, otherRow, x);
        kind[y] = kGone;
      } else {
        Relabel(column, kNone, x);
        Relabel(oldColumn, kNone, y);
        std::swap(last[x], last[y]);
      }
      break;
    }
  }
  counts.chains += move.deltaChains;
  counts.balanced += move.deltaBalanced;
  counts.rest += move.deltaRest;
  if (move.recount) {
    const std::uint32_t merged = chainOf[row];
    counts.balanced += BalancedOf(merged);
    counts.rest += RestedOf(merged);
  }
  File(one);
  File(two);
}

BGraph::Matching ChainExchange::ToMatching() const {
  BGraph::Matching matching;
  for (std::uint32_t row = 0; row < n; ++row)
    if (succ[row] != kNone)
      matching.emplace_back(static_cast<int>(row), static_cast<int>(n + succ[row]));
  return matching;
}
