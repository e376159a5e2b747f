#include "parallel/LoopGauge.h"

#include <algorithm>

namespace parallel {

namespace {

std::atomic<std::int64_t> sharedFrom{std::chrono::nanoseconds(LoopGauge::kSharedFrom).count()};

}  // namespace

void LoopGauge::ShareFrom(std::chrono::nanoseconds work) { sharedFrom.store(work.count()); }

bool LoopGauge::Pays(std::size_t items) const {
  return nanosPerItem_ * static_cast<double>(items) >=
         static_cast<double>(sharedFrom.load(std::memory_order_relaxed));
}

void LoopGauge::Record(std::size_t items, std::chrono::nanoseconds work) {
  if (items > 0) nanosPerItem_ = static_cast<double>(work.count()) / static_cast<double>(items);
}

std::size_t LoopGauge::MostPieces(const WorkerPool* pool, std::size_t count) {
  return pool != nullptr && pool->Workers() > 1 ? pool->PieceCount(count) : std::min<std::size_t>(count, 1);
}

std::size_t LoopGauge::Run(WorkerPool* pool, std::size_t count,
                           const std::function<void(std::size_t piece, std::size_t begin,
                                                    std::size_t end, unsigned int worker)>& body) {
  if (count == 0) return 0;
  std::atomic<std::int64_t> work{0};
  std::size_t pieces = 1;
  if (pool != nullptr && pool->Workers() > 1 && count > 1 && Pays(count)) {
    pieces = pool->PieceCount(count);
    pool->Pieces(count, [&](std::size_t piece, std::size_t begin, std::size_t end,
                            unsigned int worker) {
      AddTime(work, [&] { body(piece, begin, end, worker); });
    });
  } else {
    AddTime(work, [&] { body(0, 0, count, 0); });
  }
  Record(count, std::chrono::nanoseconds(work.load()));
  return pieces;
}

}  // namespace parallel
