#pragma once

// Whether a loop is worth sharing among a pool's workers, judged from what
// its items cost the last time it ran.
//
// Sharing a loop costs a meeting of the workers: waking them or finding
// them awake, handing out the pieces, waiting for the last one, and the
// caches of the others warming to the loop's data. A loop is shared when
// its expected work (items times the last measured time per item) reaches
// kSharedFrom; a loop not measured yet runs on the caller alone, which
// measures it. Successive levels of a search cost about the same per node,
// so the last level predicts the next one. Where a loop runs never changes
// what it computes: the pieces read in order are the loop in order.
//
// A gauge belongs to one loop of one caller thread. Cost: two clock reads
// per piece.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "parallel/WorkerPool.h"

namespace parallel {

class LoopGauge {
 public:
  // The least expected work of a shared loop.
  static constexpr std::chrono::microseconds kSharedFrom{50};

  // Sets the least expected work of a shared loop for the whole process
  // (kSharedFrom until set); 0 shares every loop of more than one item, as
  // tests of the shared paths do.
  static void ShareFrom(std::chrono::nanoseconds work);

  bool Pays(std::size_t items) const;

  // The work of a loop of `items` items that just ran (the time its bodies
  // took, added over the workers).
  void Record(std::size_t items, std::chrono::nanoseconds work);

  // The most pieces Run cuts a loop of `count` items into on `pool`.
  static std::size_t MostPieces(const WorkerPool* pool, std::size_t count);

  // Runs body(piece, begin, end, worker) over [0, count) as
  // WorkerPool::Pieces does when `pool` is given and the loop pays, and as
  // the single piece [0, count) on the caller otherwise; records the work.
  // Returns the number of pieces.
  std::size_t Run(WorkerPool* pool, std::size_t count,
                  const std::function<void(std::size_t piece, std::size_t begin, std::size_t end,
                                           unsigned int worker)>& body);

 private:
  double nanosPerItem_ = 0.0;
};

// Adds the time `body` takes to `total`.
template <typename Body>
void AddTime(std::atomic<std::int64_t>& total, Body&& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  total.fetch_add((std::chrono::steady_clock::now() - start).count(), std::memory_order_relaxed);
}

}  // namespace parallel
