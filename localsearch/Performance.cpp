#include "localsearch/Performance.h"

#include "localsearch/Decomposition.h"

void GetPerformance(BGraph& graph, TimeTable& table, Trajectory& trajectory, double threshold,
                    int& balanced, int& rest) {
  BGraph::Matching matching = trajectory.ToMatching();
  BGraph::Decomposition decomposition = graph.GetDillworthDecompositionFromMatching(matching);
  Decomposition::GetNumberOfBalancedAndRest(table, decomposition, balanced, rest, threshold);
}
