#include "se/SeNode.h"

bool SeNode::CanReachMaximum(unsigned int maxCardinality) const {
  const std::size_t reachable = matching.size() + graph.GetCardinalityOfMaxMatching();
  return reachable == maxCardinality;
}
