#pragma once

// Which candidates of a level the part-wise estimator keeps, and with what
// weight, so that the estimate stays unbiased (Horvitz-Thompson).
//
// Every node x of a level carries a weight W_x, and the level's candidates
// (parent, child) are kept at random, candidate c with probability pi_c.
// A kept child gets the weight W_parent / pi_c. Then for any function f of
// the nodes, E[sum over kept c of W_c f(c)] = sum over candidates of
// W_parent f(c), and by induction over the levels the sum of the weights of
// the last level is an unbiased estimate of the number of leaves, whatever
// the pi_c, as long as each is positive. The choice of pi_c only changes the
// variance:
// - uniform (plain Stochastic Enumeration): a uniformly random subset of
//   min(B, |S|) of the |S| candidates, so pi_c = B / |S|;
// - proportional: pi_c proportional to a score (an estimate of W_parent
//   times the leaves below c), capped at 1, summing to min(B, |S|), drawn
//   by systematic sampling, which keeps exactly those marginals. With
//   scores proportional to the true leaf counts the estimate has no
//   variance at all.
// With |S| <= B every candidate is kept with pi = 1.
//
// Cost: O(|S| log |S|) for the capped probabilities, O(|S|) for a sample.

#include <cstddef>
#include <vector>

#include "se/Draws.h"

struct Inclusion {
  std::vector<double> probability;  // pi_c
  // 1 / pi_c, computed as (sum of the uncapped scores) / (their share of
  // the budget * score), so that equal scores give exactly |S| / B.
  std::vector<double> inverse;
};

// Probabilities proportional to `scores` (positive), capped at 1, summing
// to min(budget, count).
Inclusion ProportionalInclusion(const std::vector<double>& scores, std::size_t budget);

// Scores exp(logScores[c]) relative to the largest; one more than about 690
// below it (natural logarithm) is raised to that distance, so that no
// candidate gets 0.
std::vector<double> ScoresFromLogs(const std::vector<double>& logScores);

// Systematic sampling: every candidate with probability 1 is kept; over the
// others, laid end to end as intervals of lengths pi_c, one point u of
// [0, 1) and its shifts u + 1, u + 2, ... keep the intervals they fall in.
// Returns the kept indices, ascending.
std::vector<std::size_t> SystematicSample(const std::vector<double>& probability, Draws& draws);

// A uniformly random subset of `budget` of `count` items (all when count <=
// budget), in the order drawn (a partial Fisher-Yates shuffle).
std::vector<std::size_t> UniformSample(std::size_t count, std::size_t budget, Draws& draws);
