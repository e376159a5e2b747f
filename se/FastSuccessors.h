#pragma once

// Successors of a node of the fast engine without any matching
// recomputation: the candidates are tested on the node's residual graph R
// against its maximum matching M by alternating paths (bipartite graphs).
//
// Deciding vertex v:
// - v cleared, or without residual edges: one successor, the node itself.
// - "v unmatched" is completable iff some maximum matching of R leaves v
//   free, i.e. v is free in M or an even alternating path from an M-free
//   vertex ends at v with the M-edge (mate(v), v). Searched from mate(v).
// - "v with w" is completable iff some maximum matching of R holds (v, w):
//   iff (v, w) is in M, or v or w can be left free (a maximum matching M1
//   with v free matches w, and M1 - (w, mate1(w)) + (v, w) is maximum), or
//   (v, w) closes an alternating cycle: the search from mate(v) reaches
//   mate(w). An even alternating path from a free vertex through (v, w)
//   always reduces to "v or w can be left free".
// - Child matching: flip M along the path or cycle that proved the
//   candidate and drop the pair's edges: a maximum matching of the child's
//   residual graph, carried down instead of recomputed.
//
// Candidates are listed in the order of the literal successor list: the
// unmatched one first, then one per distinct residual neighbour, in
// adjacency order (a parallel edge does not give a second, equal leaf).
//
// Cost per node and vertex: one alternating search from mate(v) (stopping
// at the first free vertex), plus searches from the neighbours' mates when v
// cannot be left free; failed searches share their dead ends. Each search is
// bounded by the edges of v's component of R. A vertex that no maximum
// matching of the whole graph leaves free cannot be left free below either:
// for it the search from mate(v) stops as soon as it has met the mates of
// v's neighbours, instead of exhausting v's component.

#include <cstdint>
#include <vector>

#include "se/DistinctPartners.h"
#include "se/ResidualGraph.h"
#include "se/ResidualState.h"

namespace fastse {

// Why a candidate is completable; it also says how to build the child.
enum class Reason : std::uint8_t {
  Unchanged,         // v cleared or without residual edges
  VertexFree,        // v free in M
  VertexFreeable,    // v matched in M, freed by an alternating path
  InMatching,        // (v, w) in M
  PartnerFree,       // w free in M
  PartnerFreeable,   // w matched in M, freed by an alternating path
  Cycle,             // (v, w) closes an alternating cycle
};

struct Candidate {
  std::int32_t partner;  // -1: v stays unmatched
  Reason reason;
};

class SuccessorFinder {
 public:
  explicit SuccessorFinder(const ResidualGraph& graph);

  // Continues on `graph`, which must have the same vertices and differ only
  // by edges of vertices cleared in every state passed from now on.
  void UseGraph(const ResidualGraph& graph) { graph_ = &graph; }

  // Flags of the vertices forced in the whole graph (residual::
  // ForcedVertices), forced in every state below the root too. Deciding
  // such a vertex needs no search for a free vertex: the search from its
  // mate only looks for its neighbours' mates (cycles) and stops when it has
  // met them all. `forced` must outlive this finder.
  void UseForced(const std::vector<std::uint8_t>& forced) { forced_ = &forced; }

  // Appends the completable candidates of `state` when `vertex` is decided,
  // in successor order. `coveredHere`: the caller knows that every maximum
  // matching of the state's residual graph covers `vertex` (as for a
  // forced vertex), which spares the search for a free vertex.
  void FindCandidates(const residual::State& state, int vertex, std::vector<Candidate>& out,
                      bool coveredHere = false);

  // Turns `state` (a copy of the parent's) into the child's state.
  void BuildChild(residual::State& state, int vertex, const Candidate& candidate);

 private:
  // Alternating search that frees `x`: from mate(x) along non-matching
  // edges to vertices of x's side other than x, then along their matching
  // edges. Stops at a free vertex or at `target`; returns it, or -1.
  // With `skipDead` (acceptance only: no path is kept), the searches of one
  // round share what they learnt: a failure marks its vertices dead, a
  // success marks the vertices of its path alive (they reach a free vertex),
  // and later searches stop at either.
  int Search(const residual::State& state, int x, int target, bool skipDead);
  // The search from mate(x) for x forced: it stops once it has reached the
  // mates of all of `neighbours` (x's distinct residual neighbours). Returns
  // a free vertex if it meets one (not for a forced x), or -1.
  int SearchMates(const residual::State& state, int x, const std::vector<std::int32_t>& neighbours);
  void MarkPathAlive(const residual::State& state, int x, int end);
  // Flips the matching along the path found by the last Search, ending at
  // `end`; x becomes free.
  void Flip(residual::State& state, int x, int end) const;
  bool ReachedByLastSearch(int y) const { return visited_[y] == stamp_; }
  void NextStamp();

  const ResidualGraph* graph_;
  const std::vector<std::uint8_t>* forced_ = nullptr;
  std::vector<std::uint32_t> visited_;
  std::vector<std::uint32_t> target_;
  std::vector<std::uint32_t> dead_;
  std::vector<std::uint32_t> alive_;
  std::vector<std::int32_t> parent_;
  std::vector<std::int32_t> queue_;
  std::vector<std::int32_t> reached_;
  DistinctPartners partners_;
  std::uint32_t stamp_ = 0;
  std::uint32_t round_ = 0;
};

}  // namespace fastse
