#include "se/FastSuccessors.h"

#include <algorithm>

namespace fastse {

using residual::IsCleared;
using residual::kDecidedUnmatched;
using residual::kFree;
using residual::State;

namespace {

constexpr std::int32_t kNoPartner = -1;

void Pair(State& state, int vertex, int partner) {
  state[vertex] = residual::EncodePartner(partner);
  state[partner] = residual::EncodePartner(vertex);
}

// Drops x's residual matching edge, if any.
void Unmatch(State& state, int x) {
  if (state[x] >= 0) {
    state[state[x]] = kFree;
    state[x] = kFree;
  }
}

}  // namespace

SuccessorFinder::SuccessorFinder(const ResidualGraph& graph)
    : graph_(&graph),
      visited_(static_cast<std::size_t>(graph.VertexCount()), 0),
      target_(visited_.size(), 0),
      dead_(visited_.size(), 0),
      alive_(visited_.size(), 0),
      parent_(visited_.size(), -1),
      partners_(visited_.size()) {}

void SuccessorFinder::NextStamp() {
  if (++stamp_ == 0) {
    std::fill(visited_.begin(), visited_.end(), 0);
    stamp_ = 1;
  }
}

void SuccessorFinder::FindCandidates(const State& state, int vertex, std::vector<Candidate>& out,
                                     bool coveredHere) {
  if (vertex < 0 || vertex >= graph_->VertexCount() || IsCleared(state[vertex])) {
    out.push_back({kNoPartner, Reason::Unchanged});
    return;
  }
  // A new round: dead-end marks start afresh.
  if (++round_ == 0) {
    std::fill(dead_.begin(), dead_.end(), 0);
    std::fill(alive_.begin(), alive_.end(), 0);
    round_ = 1;
  }
  partners_.Clear();
  const std::int32_t* end = graph_->NeighboursEnd(vertex);
  for (const std::int32_t* w = graph_->NeighboursBegin(vertex); w != end; ++w)
    if (!IsCleared(state[*w])) partners_.Offer(*w);
  const std::vector<std::int32_t>& distinct = partners_.List();
  if (distinct.empty()) {
    out.push_back({kNoPartner, Reason::Unchanged});
    return;
  }

  const std::int32_t mate = state[vertex];
  const bool forced = coveredHere || (forced_ != nullptr && (*forced_)[vertex]);
  if (mate == kFree || (forced ? SearchMates(state, vertex, distinct)
                               : Search(state, vertex, -1, false)) >= 0) {
    const Reason reason = mate == kFree ? Reason::VertexFree : Reason::VertexFreeable;
    out.push_back({kNoPartner, reason});
    for (std::int32_t w : distinct) out.push_back({w, w == mate ? Reason::InMatching : reason});
    return;
  }

  // v cannot be left free; the failed search reached every vertex of v's
  // side that an alternating path from mate(v) reaches. Read those marks
  // before any other search runs.
  const std::size_t first = out.size();
  for (std::int32_t w : distinct) {
    if (w == mate)
      out.push_back({w, Reason::InMatching});
    else if (state[w] == kFree)
      out.push_back({w, Reason::PartnerFree});
    else if (ReachedByLastSearch(state[w]))
      out.push_back({w, Reason::Cycle});
    else
      out.push_back({w, Reason::PartnerFreeable});  // if a search frees w; checked below
  }
  std::size_t kept = first;
  for (std::size_t k = first; k < out.size(); ++k) {
    if (out[k].reason == Reason::PartnerFreeable && Search(state, out[k].partner, -1, true) < 0)
      continue;
    out[kept++] = out[k];
  }
  out.resize(kept);
}

void SuccessorFinder::BuildChild(State& state, int vertex, const Candidate& candidate) {
  const int w = candidate.partner;
  switch (candidate.reason) {
    case Reason::Unchanged:
      if (vertex >= 0 && vertex < graph_->VertexCount() && state[vertex] == kFree)
        state[vertex] = kDecidedUnmatched;
      return;
    case Reason::VertexFree:
      break;
    case Reason::VertexFreeable:
      Flip(state, vertex, Search(state, vertex, -1, false));
      break;
    case Reason::InMatching:
      break;
    case Reason::PartnerFree:
      break;
    case Reason::PartnerFreeable:
      Flip(state, w, Search(state, w, -1, false));
      break;
    case Reason::Cycle: {
      const int end = state[w];
      Flip(state, vertex, Search(state, vertex, end, false));
      state[w] = kFree;  // its old mate `end` is now matched along the cycle
      break;
    }
  }
  if (w == kNoPartner) {
    state[vertex] = kDecidedUnmatched;
    return;
  }
  if (state[vertex] != w) {
    Unmatch(state, vertex);
    Unmatch(state, w);
  }
  Pair(state, vertex, w);
}

int SuccessorFinder::Search(const State& state, int x, int target, bool skipDead) {
  NextStamp();
  const int start = state[x];
  if (skipDead && dead_[x] == round_) return -1;
  queue_.clear();
  queue_.push_back(start);
  std::vector<std::int32_t>& reached = reached_;
  reached.clear();
  for (std::size_t head = 0; head < queue_.size(); ++head) {
    const int c = queue_[head];
    for (const std::int32_t* y = graph_->NeighboursBegin(c); y != graph_->NeighboursEnd(c); ++y) {
      const std::int32_t entry = state[*y];
      if (*y == x || IsCleared(entry) || visited_[*y] == stamp_) continue;
      if (skipDead && dead_[*y] == round_) continue;
      visited_[*y] = stamp_;
      parent_[*y] = c;
      reached.push_back(*y);
      if (entry == kFree || *y == target || (skipDead && alive_[*y] == round_)) {
        if (skipDead) MarkPathAlive(state, x, *y);
        return *y;
      }
      queue_.push_back(entry);
    }
  }
  if (skipDead)
    for (std::int32_t y : reached) dead_[y] = round_;
  return -1;
}

int SuccessorFinder::SearchMates(const State& state, int x,
                                 const std::vector<std::int32_t>& neighbours) {
  NextStamp();
  std::size_t remaining = 0;
  for (std::int32_t w : neighbours) {
    const std::int32_t target = state[w];
    if (target < 0 || target == x || target_[target] == stamp_) continue;
    target_[target] = stamp_;
    ++remaining;
  }
  if (remaining == 0) return -1;
  queue_.clear();
  queue_.push_back(state[x]);
  for (std::size_t head = 0; head < queue_.size(); ++head) {
    const int c = queue_[head];
    for (const std::int32_t* y = graph_->NeighboursBegin(c); y != graph_->NeighboursEnd(c); ++y) {
      const std::int32_t entry = state[*y];
      if (*y == x || IsCleared(entry) || visited_[*y] == stamp_) continue;
      visited_[*y] = stamp_;
      parent_[*y] = c;
      if (entry == kFree) return *y;
      if (target_[*y] == stamp_ && --remaining == 0) return -1;
      queue_.push_back(entry);
    }
  }
  return -1;
}

void SuccessorFinder::MarkPathAlive(const State& state, int x, int end) {
  for (int y = end; y != x; y = state[parent_[y]]) alive_[y] = round_;
}

void SuccessorFinder::Flip(State& state, int x, int end) const {
  int y = end;
  while (true) {
    const int c = parent_[y];
    const int next = state[c];
    state[y] = c;
    state[c] = y;
    if (next == x) break;
    y = next;
  }
  state[x] = kFree;
}

}  // namespace fastse
