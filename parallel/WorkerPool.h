#pragma once

// A fixed set of threads that share out loops, for the runs of both
// programs.
//
// The calling thread is worker 0 and takes part in every loop; the others
// wait between loops, so a pool can serve a loop per level of a search tree
// without starting threads each time. Two ways to share out a loop:
// - Chunks: [0, count) cut into one contiguous piece per worker, piece k to
//   worker k; the pieces, read in worker order, are the loop in order, which
//   is what keeps the results of a parallel level identical to a serial one.
// - Each: the indices handed out one at a time to whichever worker is free,
//   for loops whose items take unequal time (repetitions, restarts).
// An exception thrown by a body reaches the caller of the loop (the first
// one, when several workers throw); the loop's other items may or may not
// have run.
//
// A pool of one worker runs every loop on the calling thread.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace parallel {

class WorkerPool {
 public:
  explicit WorkerPool(unsigned int workers);
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
  void Serve(unsigned int worker);
  void RunLoop(const std::function<void(unsigned int)>& task);
  void Work(unsigned int worker);

  unsigned int workers_;
  bool spin_;
  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  const std::function<void(unsigned int)>* task_ = nullptr;
  // Loops started; a waiting worker runs each once. Waiting spins a little
  // before it sleeps when the workers do not outnumber the cores: a search
  // level's loops follow each other closely.
  std::atomic<unsigned long long> loop_{0};
  std::atomic<unsigned int> running_{0};  // helpers still in the current loop
  std::atomic<bool> stopping_{false};
  std::exception_ptr failure_;
};

}  // namespace parallel
