#pragma once

// What Parvel's searches add to a run's memory plan (common/MemoryPlan.h).
//
// A search holds its trajectories, chains and scratch tables, some 40 words
// per passage, and its recorded course: two counts per entry, then their
// text in the report (the walk records every iteration, the exchange search
// at most ExchangeSearch::kMaxRecordedEntries entries). Every thread runs
// one search at a time, and a process keeps the best matching and course of
// each of its restarts until the best is known. O(1) to compute.

#include <cstddef>
#include <cstdint>

#include "common/MemoryPlan.h"
#include "localsearch/SearchKind.h"

// Adds the searches of a run to `plan`: a single search when
// `restartsHere` is 0, else that many restarts on `threads` threads.
void PlanSearches(memory::Plan& plan, std::size_t passages, unsigned int iterations,
                  bool recording, SearchKind kind, unsigned int threads, std::size_t restartsHere);
