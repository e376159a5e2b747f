#include "parallel/WorkerPool.h"

#include <algorithm>
#include <atomic>

namespace parallel {

namespace {

// Polls of a spinning wait before it sleeps (a few hundred microseconds:
// longer than the serial step between two loops of a search level).
constexpr int kSpins = 200000;

template <typename Done>
bool SpinUntil(Done done, bool spin) {
  for (int poll = 0; spin && poll < kSpins; ++poll) {
    if (done()) return true;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
  }
  return done();
}

}  // namespace

WorkerPool::WorkerPool(unsigned int workers)
    : workers_(std::max(1u, workers)),
      // Spinning pays only while every worker has a core of its own.
      spin_(workers_ <= std::max(1u, std::thread::hardware_concurrency())) {
  threads_.reserve(workers_ - 1);
  for (unsigned int worker = 1; worker < workers_; ++worker)
    threads_.emplace_back([this, worker] { Serve(worker); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_.store(true);
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

void WorkerPool::Serve(unsigned int worker) {
  unsigned long long seen = 0;
  const auto called = [&] { return stopping_.load() || loop_.load() != seen; };
  while (true) {
    if (!SpinUntil(called, spin_)) {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, called);
    }
    if (stopping_.load()) return;
    seen = loop_.load();
    Work(worker);
  }
}

void WorkerPool::Work(unsigned int worker) {
  std::exception_ptr failure;
  try {
    (*task_)(worker);
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failure_) failure_ = failure;
  }
  if (worker != 0 && running_.fetch_sub(1) == 1) {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_.notify_one();
  }
}

void WorkerPool::RunLoop(const std::function<void(unsigned int)>& task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    task_ = &task;
    running_.store(workers_ - 1);
    failure_ = nullptr;
    loop_.fetch_add(1);
  }
  wake_.notify_all();
  Work(0);
  const auto finished = [&] { return running_.load() == 0; };
  std::unique_lock<std::mutex> lock(mutex_, std::defer_lock);
  if (!SpinUntil(finished, spin_)) {
    lock.lock();
    finished_.wait(lock, finished);
  } else {
    lock.lock();
  }
  task_ = nullptr;
  if (failure_) {
    std::exception_ptr failure = failure_;
    failure_ = nullptr;
    std::rethrow_exception(failure);
  }
}

std::size_t WorkerPool::PieceCount(std::size_t count) const {
  constexpr std::size_t kPiecesPerWorker = 4;
  return std::min<std::size_t>(count, workers_ == 1 ? 1 : kPiecesPerWorker * workers_);
}

void WorkerPool::Pieces(std::size_t count,
                        const std::function<void(std::size_t piece, std::size_t begin,
                                                 std::size_t end, unsigned int worker)>& body) {
  const std::size_t pieces = PieceCount(count);
  if (pieces == 0) return;
  const std::size_t length = count / pieces;
  const std::size_t longer = count % pieces;
  Each(pieces, [&](std::size_t piece, unsigned int worker) {
    const std::size_t begin = piece * length + std::min(piece, longer);
    body(piece, begin, begin + length + (piece < longer ? 1 : 0), worker);
  });
}

void WorkerPool::Each(std::size_t count,
                      const std::function<void(std::size_t index, unsigned int worker)>& body) {
  if (workers_ == 1 || count <= 1) {
    for (std::size_t index = 0; index < count; ++index) body(index, 0);
    return;
  }
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  RunLoop([&](unsigned int worker) {
    try {
      for (std::size_t index = next++; index < count && !failed.load(); index = next++)
        body(index, worker);
    } catch (...) {
      failed.store(true);
      throw;
    }
  });
}

}  // namespace parallel
