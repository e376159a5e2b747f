#pragma once

#include <string>
#include <vector>

#include "bipartite/BGraph.h"

// The order in which a Stochastic Enumeration run decides the vertices of
// the split graph. Every run first shuffles the vertex list; an order then
// rearranges that shuffled list.
enum class VertexOrder {
  Random,  // the shuffled list as it is
  Degree,  // right vertices by ascending degree, then left vertices by ascending degree
};

// "random" or "degree"; false for any other name.
bool ParseVertexOrder(const std::string& name, VertexOrder& order);
std::string VertexOrderName(VertexOrder order);

// Rearranges `shuffled` (a permutation of the graph's vertices) by `order`;
// ties keep their shuffled order.
void ApplyVertexOrder(VertexOrder order, const BGraph& graph, std::vector<unsigned int>& shuffled);
