#pragma once

// Random walk over the maximum matchings of a split bipartite graph.
//
// The current matching is held as a partner table over the graph's vertices
// (`mate`[v] is v's partner, -1 when v is free). A trajectory starts at the
// maximum matching `BGraph::GetMaxMatching` finds. `TransformMaxMatching`
// moves it to a random neighbouring maximum matching: one random step either
// leaves a maximum matching alone (the drawn edge is unmatched) or drops the
// drawn matched edge; below maximum, drawn edges shift a free vertex along an
// alternating path until a drawn edge has two free ends and is added.
//
// Randomness: every step draws exactly one 64-bit output of the engine,
// turns it into u in [0, 1) as uniform_real_distribution<double>(0, 1) does
// and picks the edge floor(u * m) of the graph's edge list (m edges). A
// graph without edges has nothing to draw: a step then changes nothing and
// draws nothing.
//
// Invariants between public calls: `mate` is symmetric, every matched pair is
// an edge of the graph, and the matching is maximum after construction and
// after every `TransformMaxMatching`.
//
// Cost: a step is O(1) besides the draw and allocates nothing; `ToMatching`
// is O(V). The vertex and edge lists are the graph's, never change, and are
// shared (not copied) between a trajectory and its copies, so a copy or an
// assignment costs O(V) for the partner table only.

#include <cstdint>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "bipartite/BGraph.h"

class Trajectory {
 public:
  using Edge = std::pair<int, int>;

  Trajectory(BGraph& graph, std::mt19937_64& engine);
  Trajectory(const Trajectory& other) = default;
  // Takes the other trajectory's state; stays bound to its own graph and
  // engine.
  Trajectory& operator=(const Trajectory& other);
  ~Trajectory() = default;

  void MakeStep();
  void TransformMaxMatching();
  // Matched pairs (left, right) in increasing order of the left vertex.
  BGraph::Matching ToMatching() const;

  bool IsVertexMatched(unsigned int v) const;
  bool IsEdgeInMatching(const Edge& e) const;
  // No checks: both ends must be free.
  void AdddEdgeToMatching(const Edge& e);
  // No checks: `e` must be a matched pair.
  void RemoveEdgeFromMatching(const Edge& e);

  // One engine output as a double in [0, 1): its nearest double times
  // 2^-64, kept below 1.0. These are the steps of
  // uniform_real_distribution<double>(0, 1) on a 64-bit engine, written out
  // so that a seed gives the same walk whatever the standard library.
  static double UnitFromOutput(std::uint64_t output);
  // Index of the edge picked by a uniform value u in [0, 1) among m edges:
  // the largest integer not above u * m.
  static int ChosenEdgeIndex(double u, std::size_t edgeCount);

  const BGraph& BoundGraph() const { return graph; }
  unsigned int MaxMatchingSize() const { return maxMatchingSize; }
  unsigned int MatchingSize() const { return matchingSize; }
  unsigned int VertexCount() const { return vertexCount; }
  const std::vector<unsigned int>& Vertices() const { return *vertices; }
  const std::vector<Edge>& Edges() const { return *edges; }
  const std::vector<int>& Mate() const { return mate; }

 private:
  BGraph& graph;
  std::mt19937_64& engine;
  std::uniform_real_distribution<double> uniform;
  unsigned int maxMatchingSize = 0;
  unsigned int matchingSize = 0;
  unsigned int vertexCount = 0;
  std::shared_ptr<const std::vector<unsigned int>> vertices;
  std::shared_ptr<const std::vector<Edge>> edges;
  std::vector<int> mate;

  // The value of `uniform` for the next engine output.
  double DrawUniform();
  // Below maximum: shifts or adds the drawn edge (a, b).
  void StepBelowMaximum(const Edge& drawn);
};
