#include "common/ChainEnds.h"

bool IsBalancedChain(const Passage& first, const Passage& last) {
  return last.destination == first.origin;
}

double RestHours(const Passage& first, const Passage& last) {
  return (24.0 - last.arrival) + first.departure;
}

bool HasEnoughRest(const Passage& first, const Passage& last, double threshold) {
  return RestHours(first, last) >= threshold;
}
