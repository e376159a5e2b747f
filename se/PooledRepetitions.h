#pragma once

// The repetitions of a run with a random stream per repetition, pooled in
// repetition order from wherever they ran (threads of this process, or
// other processes of an MPI run).
//
// Each process packs the repetitions it ran (and the decompositions of the
// run's last repetition, when it ran that one) into words; the leader pools
// every process's words. Estimates travel as the significand's bits and
// the exponent, so the pooled estimates are the same bits as in the process
// that made them, and mean, deviation and relative error computed from
// them in repetition order are the same for any split of the repetitions.

#include <cstdint>
#include <vector>

#include "numeric/WideDouble.h"
#include "se/SE.h"

struct PooledRepetitions {
  std::vector<WideDouble> estimates;   // by repetition
  std::vector<bool> fullyEnumerated;   // by repetition
  std::vector<double> seconds;         // by repetition
  SE::DecompositionList last;          // of the last repetition
};

// The words of one process: its repetitions, then the last repetition's
// decompositions when `last` is given.
std::vector<std::uint64_t> PackRepetitions(const std::vector<SE::Repetition>& ran,
                                           const SE::DecompositionList* last);

// Pools the words of every process of a run of `repetitions` repetitions.
// Throws std::runtime_error when a repetition is missing or sent twice, or a
// message is malformed.
PooledRepetitions PoolRepetitions(const std::vector<std::vector<std::uint64_t>>& messages,
                                  unsigned int repetitions);
