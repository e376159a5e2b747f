#pragma once

// When an exchange search may end before its rounds are done.
//
// - Proven: its best decomposition meets both bounds (SearchBounds::Proves),
//   so nothing ranks higher; deterministic, like the search.
// - Time limit: the steady clock passed the deadline (checked every few
//   rounds); the result then depends on the machine's speed.
// - Overtaken: among restarts, one with a lower number has proven its best
//   optimal, so this one could at most tie, and ties go to the lower
//   number; stopping it changes no result.

#include <atomic>
#include <chrono>
#include <limits>

#include "localsearch/Search.h"
#include "localsearch/SearchBounds.h"

struct SearchStop {
  using SteadyClock = std::chrono::steady_clock;
  static constexpr unsigned int kNoRestart = std::numeric_limits<unsigned int>::max();

  const SearchBounds* bounds = nullptr;  // none: never proven
  bool hasDeadline = false;
  SteadyClock::time_point deadline;
  // The lowest restart number that has proven its best, shared by the
  // restarts of a run (kNoRestart while none has), and this search's number.
  std::atomic<unsigned int>* provenBy = nullptr;
  unsigned int restart = 0;

  bool PastDeadline() const { return hasDeadline && SteadyClock::now() >= deadline; }
  bool Overtaken() const {
    return provenBy != nullptr && provenBy->load(std::memory_order_relaxed) < restart;
  }
};
