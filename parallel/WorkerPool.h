#pragma once

// A fixed set of threads that share out loops, for the runs of both
// programs.
//
// The calling thread is worker 0 and takes part in every loop; the others
// wait between loops, so a pool can serve a loop per level of a search tree
// without starting threads each time. Two ways to share out a loop:
// - Pieces: [0, count) cut into contiguous pieces; the pieces, read in
//   piece order, are the loop in order, which is what keeps the results of
//   a parallel level identical to a serial one.
// - Each: the indices handed out one at a time to whichever worker is free,
//   for loops whose items take unequal time (repetitions, restarts).
// Items are claimed, never assigned: the caller does not wait for a worker
// to wake up, only for the items that workers already took. A loop whose
// workers never get a CPU is the caller's loop alone, at the caller's
// speed. An exception thrown by a body reaches the caller of the loop (the
// first one, when several workers throw); the loop's other items may or may
// not have run.
//
// Waiting: a worker spins briefly (tens of microseconds) for the next loop
// only while the pool's workers do not outnumber the usable CPUs and the
// worker has not been preempted since its last wait (preemption means
// something else wants its CPU); otherwise it sleeps. The caller waits for
// the workers still in a loop the same way.
//
// A pool of one worker runs every loop on the calling thread and starts no
// thread. A thread that cannot be started ends the construction with
// ThreadStartError, after the threads already started have stopped.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace parallel {

// "Cannot start worker thread <k> of <n>: <reason>", with n the pool's
// workers and thread 1 the caller's, which is already running.
class ThreadStartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class WorkerPool {
 public:
  // Starts a thread running `serve` or throws (as std::thread does).
  using ThreadStarter = std::function<std::thread(std::function<void()> serve)>;

  // `workers` workers, the caller included (1 when 0). `start` starts the
  // others' threads (tests inject failures through it).
  explicit WorkerPool(unsigned int workers, const ThreadStarter& start = ThreadStarter());
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  unsigned int Workers() const { return workers_; }

  // The number of pieces Pieces cuts a loop of `count` items into: about
  // four per worker (fewer workers' worth of imbalance than one piece
  // each), at most `count`.
  std::size_t PieceCount(std::size_t count) const;

  // body(piece, begin, end, worker) for every piece of [0, count): pieces
  // of equal length (the first count % PieceCount(count) one longer).
  void Pieces(std::size_t count, const std::function<void(std::size_t piece, std::size_t begin,
                                                          std::size_t end, unsigned int worker)>& body);

  // body(index, worker) for every index of [0, count), in any order.
  void Each(std::size_t count, const std::function<void(std::size_t index, unsigned int worker)>& body);

 private:
  void Stop();
  void Serve(unsigned int worker);
  void RunLoop(const std::function<void(unsigned int)>& task);
  void Work(unsigned int worker);
  void Leave();
  bool MaySpin() const;

  unsigned int workers_;
  bool spin_;  // the workers do not outnumber the usable CPUs
  std::vector<std::thread> threads_;

  // The current loop: its number in the high 32 bits, kOpen while workers
  // may still join it, and in the low bits the helpers inside it. Helpers
  // join by incrementing it while it is open, so the caller, once it has
  // closed it, waits for exactly those.
  std::atomic<std::uint64_t> gate_{0};
  const std::function<void(unsigned int)>* task_ = nullptr;
  std::atomic<bool> stopping_{false};

  std::mutex mutex_;
  std::condition_variable wake_;      // helpers sleeping until the next loop
  std::condition_variable finished_;  // the caller sleeping until helpers leave
  std::atomic<unsigned int> sleepers_{0};
  std::atomic<bool> callerSleeps_{false};
  std::exception_ptr failure_;
};

// The pool of a run asked to use `requested` threads, with
// WorkersToRun(requested) workers (UsableCpus.h). When a thread cannot be
// started, prints the ThreadStartError's line on standard output and
// returns null: the run ends with status 1.
std::unique_ptr<WorkerPool> StartRunWorkers(unsigned int requested);

}  // namespace parallel
