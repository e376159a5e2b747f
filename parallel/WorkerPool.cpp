#include "parallel/WorkerPool.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <system_error>

#include "parallel/UsableCpus.h"

namespace parallel {

namespace {

constexpr std::uint64_t kOpen = std::uint64_t{1} << 31;
constexpr std::uint64_t kInside = kOpen - 1;

std::uint32_t LoopOf(std::uint64_t gate) { return static_cast<std::uint32_t>(gate >> 32); }

// How long a wait spins before it sleeps: about the serial step between
// two loops of a search level, so that a worker is awake for the next one;
// a wait that would last longer pays for a sleep and a wake-up instead.
constexpr std::chrono::microseconds kSpin(50);

template <typename Done>
bool SpinFor(Done done) {
  const auto until = std::chrono::steady_clock::now() + kSpin;
  for (unsigned int poll = 1;; ++poll) {
    if (done()) return true;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
    if (poll % 64 == 0 && std::chrono::steady_clock::now() >= until) return done();
  }
}

// True when the calling thread has not been preempted since its previous
// call. Preemption means another thread wanted this CPU: spinning would take
// the CPU from it, perhaps from the very worker being waited for.
bool NotPreempted() {
  thread_local long seen = -1;
  rusage usage{};
  if (getrusage(RUSAGE_THREAD, &usage) != 0) return false;
  const bool calm = usage.ru_nivcsw == seen;
  seen = usage.ru_nivcsw;
  return calm;
}

std::string Reason(const std::exception& error) {
  if (const auto* system = dynamic_cast<const std::system_error*>(&error))
    return system->code().message();
  return error.what();
}

}  // namespace

WorkerPool::WorkerPool(unsigned int workers, const ThreadStarter& start)
    : workers_(std::max(1u, workers)), spin_(workers_ <= UsableCpus()) {
  threads_.reserve(workers_ - 1);
  for (unsigned int worker = 1; worker < workers_; ++worker) {
    std::function<void()> serve = [this, worker] { Serve(worker); };
    try {
      threads_.push_back(start ? start(std::move(serve)) : std::thread(std::move(serve)));
    } catch (const std::exception& error) {
      Stop();
      // Thread 1 is the caller's, already running.
      throw ThreadStartError("Cannot start worker thread " + std::to_string(worker + 1) + " of " +
                             std::to_string(workers_) + ": " + Reason(error));
    }
  }
}

WorkerPool::~WorkerPool() { Stop(); }

void WorkerPool::Stop() {
  stopping_.store(true);
  { std::lock_guard<std::mutex> lock(mutex_); }
  wake_.notify_all();
  for (std::thread& thread : threads_)
    if (thread.joinable()) thread.join();
  threads_.clear();
}

bool WorkerPool::MaySpin() const { return spin_ && NotPreempted(); }

void WorkerPool::Serve(unsigned int worker) {
  std::uint32_t seen = 0;
  const auto called = [&] { return stopping_.load() || LoopOf(gate_.load()) != seen; };
  while (true) {
    if (!(MaySpin() && SpinFor(called))) {
      std::unique_lock<std::mutex> lock(mutex_);
      sleepers_.fetch_add(1);
      wake_.wait(lock, called);
      sleepers_.fetch_sub(1);
    }
    if (stopping_.load()) return;
    std::uint64_t gate = gate_.load();
    seen = LoopOf(gate);
    // A loop already closed (the caller did it all) is skipped.
    while ((gate & kOpen) != 0 && LoopOf(gate) == seen) {
      if (gate_.compare_exchange_weak(gate, gate + 1)) {
        Work(worker);
        Leave();
        break;
      }
    }
  }
}

void WorkerPool::Work(unsigned int worker) {
  try {
    (*task_)(worker);
  } catch (...) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!failure_) failure_ = std::current_exception();
  }
}

void WorkerPool::Leave() {
  const std::uint64_t after = gate_.fetch_sub(1) - 1;
  if ((after & (kOpen | kInside)) == 0 && callerSleeps_.load()) {
    { std::lock_guard<std::mutex> lock(mutex_); }
    finished_.notify_one();
  }
}

void WorkerPool::RunLoop(const std::function<void(unsigned int)>& task) {
  task_ = &task;
  const std::uint32_t loop = LoopOf(gate_.load()) + 1;
  gate_.store((std::uint64_t{loop} << 32) | kOpen);
  if (sleepers_.load() > 0) {
    { std::lock_guard<std::mutex> lock(mutex_); }
    wake_.notify_all();
  }
  Work(0);
  gate_.fetch_and(~kOpen);
  const auto left = [&] { return (gate_.load() & kInside) == 0; };
  if (!left() && !(MaySpin() && SpinFor(left))) {
    std::unique_lock<std::mutex> lock(mutex_);
    callerSleeps_.store(true);
    finished_.wait(lock, left);
    callerSleeps_.store(false);
  }
  task_ = nullptr;
  std::exception_ptr failure;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(failure, failure_);
  }
  if (failure) std::rethrow_exception(failure);
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

std::unique_ptr<WorkerPool> StartRunWorkers(unsigned int requested) {
  try {
    return std::make_unique<WorkerPool>(WorkersToRun(requested));
  } catch (const ThreadStartError& error) {
    std::cout << error.what() << std::endl;
    return nullptr;
  }
}

}  // namespace parallel
