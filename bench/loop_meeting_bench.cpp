// The cost of sharing short loops among two threads, as a search level
// does, with the project's worker pool and with OpenMP (GCC's libgomp):
// LOOPS loops of PIECES pieces, each piece about WORK nanoseconds of
// arithmetic. Prints wall and CPU seconds per way, and the ratio of wall to
// the loops run on one thread. Run it idle, under `taskset -c 0`, and with
// the CPUs busy with other processes.
//
//   loop_meeting_bench [loops] [pieces] [work ns] [threads]

#include <sys/resource.h>
#include <time.h>

#include <omp.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "parallel/UsableCpus.h"
#include "parallel/WorkerPool.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<std::uint64_t> sink{0};
std::uint64_t stepsPerMicrosecond = 1;

void Work(std::uint64_t nanoseconds) {
  std::uint64_t x = nanoseconds | 1;
  const std::uint64_t steps = nanoseconds * stepsPerMicrosecond / 1000;
  for (std::uint64_t k = 0; k < steps; ++k) x = x * 6364136223846793005ULL + 1442695040888963407ULL;
  sink.fetch_add(x & 1, std::memory_order_relaxed);
}

// On this thread's CPU time, which a busy machine does not stretch.
double ThreadMicroseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

void Calibrate() {
  stepsPerMicrosecond = 1000;
  const double start = ThreadMicroseconds();
  Work(100000000);  // 100,000,000 steps at 1000 a microsecond
  stepsPerMicrosecond = static_cast<std::uint64_t>(100000000.0 / (ThreadMicroseconds() - start));
}

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Measure(const char* name, double serialWall, const std::function<void()>& run) {
  const double cpu = CpuSeconds();
  const auto start = Clock::now();
  run();
  const double wall = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("| %s | %.3f | %.3f | %.2f |\n", name, wall, CpuSeconds() - cpu,
              serialWall > 0 ? wall / serialWall : 1.0);
  return wall;
}

}  // namespace

int main(int argc, char** argv) {
  const int loops = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int pieces = argc > 2 ? std::atoi(argv[2]) : 8;
  const std::uint64_t work = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 4000;
  const unsigned int threads = argc > 4 ? static_cast<unsigned int>(std::atoi(argv[4])) : 2;
  Calibrate();
  std::printf("%d loops of %d pieces of %llu ns, %u threads, %u usable CPUs, %d OpenMP places\n\n",
              loops, pieces, static_cast<unsigned long long>(work), threads, parallel::UsableCpus(),
              omp_get_num_procs());
  std::printf("| way | wall s | CPU s | wall / one thread |\n|---|---:|---:|---:|\n");
  const double serial = Measure("one thread", 0, [&] {
    for (int loop = 0; loop < loops; ++loop)
      for (int piece = 0; piece < pieces; ++piece) Work(work);
  });
  {
    parallel::WorkerPool pool(threads);
    Measure("worker pool, as asked", serial, [&] {
      for (int loop = 0; loop < loops; ++loop)
        pool.Each(pieces, [&](std::size_t, unsigned int) { Work(work); });
    });
  }
  {
    parallel::WorkerPool pool(parallel::WorkersToRun(threads));
    Measure("worker pool, usable CPUs", serial, [&] {
      for (int loop = 0; loop < loops; ++loop)
        pool.Each(pieces, [&](std::size_t, unsigned int) { Work(work); });
    });
  }
  Measure("OpenMP, dynamic", serial, [&] {
    for (int loop = 0; loop < loops; ++loop) {
#pragma omp parallel for schedule(dynamic, 1) num_threads(threads)
      for (int piece = 0; piece < pieces; ++piece) Work(work);
    }
  });
  Measure("OpenMP, static", serial, [&] {
    for (int loop = 0; loop < loops; ++loop) {
#pragma omp parallel for schedule(static) num_threads(threads)
      for (int piece = 0; piece < pieces; ++piece) Work(work);
    }
  });
  return 0;
}
