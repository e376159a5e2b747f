// The worker pool in conditions a run meets on a shared machine: workers
// that get no CPU, threads that cannot be started, and CPU counts limited
// by control groups.

#include <dirent.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "parallel/UsableCpus.h"
#include "parallel/WorkerPool.h"
#include "support/TempFile.h"

namespace {

// Ends the test program when a test has not disarmed it in time: a hang
// becomes a failure with a name.
class Watchdog {
 public:
  Watchdog(const char* what, std::chrono::seconds limit) : thread_([this, what, limit] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!done_.wait_for(lock, limit, [this] { return disarmed_; })) {
        std::fprintf(stderr, "hung: %s\n", what);
        std::_Exit(2);
      }
    }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      disarmed_ = true;
    }
    done_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool disarmed_ = false;
  std::thread thread_;
};

std::size_t LiveThreads() {
  std::size_t count = 0;
  DIR* tasks = opendir("/proc/self/task");
  if (tasks == nullptr) return 0;
  while (dirent* entry = readdir(tasks))
    if (entry->d_name[0] != '.') ++count;
  closedir(tasks);
  return count;
}

}  // namespace

TEST(WorkerPoolConditions, LoopsEndOnTheCallerWhileTheWorkersGetNoCpu) {
  const Watchdog watchdog("loops with stalled workers", std::chrono::seconds(60));
  // The workers' threads start but are held before they serve, as threads
  // of an oversubscribed machine are.
  std::mutex mutex;
  std::condition_variable released;
  bool go = false;
  const parallel::WorkerPool::ThreadStarter held = [&](std::function<void()> serve) {
    return std::thread([&, serve] {
      std::unique_lock<std::mutex> lock(mutex);
      released.wait(lock, [&] { return go; });
      lock.unlock();
      serve();
    });
  };
  parallel::WorkerPool pool(3, held);
  for (const bool free : {false, true}) {
    if (free) {
      std::lock_guard<std::mutex> lock(mutex);
      go = true;
      released.notify_all();
    }
    for (int loop = 0; loop < 200; ++loop) {
      std::vector<int> runs(97, 0);
      std::vector<unsigned int> by(97, 99);
      pool.Pieces(runs.size(), [&](std::size_t, std::size_t begin, std::size_t end,
                                   unsigned int worker) {
        for (std::size_t k = begin; k < end; ++k) {
          ++runs[k];
          by[k] = worker;
        }
      });
      for (std::size_t k = 0; k < runs.size(); ++k) {
        ASSERT_EQ(runs[k], 1) << "item " << k;
        if (!free) {
          ASSERT_EQ(by[k], 0u) << "a held worker ran item " << k;
        }
      }
    }
  }
}

TEST(WorkerPoolConditions, AThreadThatCannotStartIsNamedAndTheOthersStop) {
  const Watchdog watchdog("a pool whose thread cannot start", std::chrono::seconds(60));
  const std::size_t before = LiveThreads();
  unsigned int started = 0;
  const parallel::WorkerPool::ThreadStarter failsFourth = [&](std::function<void()> serve) {
    if (++started == 4) throw std::system_error(EAGAIN, std::generic_category());
    return std::thread(std::move(serve));
  };
  try {
    parallel::WorkerPool pool(6, failsFourth);
    FAIL() << "the pool started";
  } catch (const parallel::ThreadStartError& error) {
    // Thread 1 is the caller's; the fourth one started is thread 5.
    EXPECT_STREQ(error.what(), "Cannot start worker thread 5 of 6: Resource temporarily unavailable");
  }
  EXPECT_EQ(LiveThreads(), before) << "threads left running";
}

namespace {

// A directory laid out like / for QuotaCpus: the process's cgroup lines,
// its mount table, and files under the mounted hierarchies.
struct FakeRoot {
  TempDir dir;
  void Write(const std::string& path, const std::string& text) const {
    const std::filesystem::path file = dir.Path() + path;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
  }
};

const char kMounts[] =
    "30 22 0:27 / /sys/fs/cgroup rw - tmpfs tmpfs rw\n"
    "31 30 0:28 / /sys/fs/cgroup/cpu,cpuacct rw - cgroup cgroup rw,cpu,cpuacct\n"
    "32 30 0:29 / /sys/fs/cgroup/memory rw - cgroup cgroup rw,memory\n"
    "40 30 0:37 / /sys/fs/cgroup/unified rw - cgroup2 cgroup2 rw\n";

}  // namespace

TEST(UsableCpus, QuotasOfTheProcessGroupAndItsParentsRoundedDown) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> files;
    unsigned int cpus;
  };
  const std::string v1 = "/sys/fs/cgroup/cpu,cpuacct";
  const std::string v2 = "/sys/fs/cgroup/unified";
  const std::string groups = "4:memory:/job\n3:cpu,cpuacct:/job/step\n0::/job/step\n";
  const std::vector<Case> cases = {
      {"no files", {}, 0},
      {"v1 without quota",
       {{v1 + "/job/step/cpu.cfs_quota_us", "-1\n"}, {v1 + "/job/step/cpu.cfs_period_us", "100000\n"}},
       0},
      {"v1 quota of 2.5 CPUs",
       {{v1 + "/job/step/cpu.cfs_quota_us", "250000\n"}, {v1 + "/job/step/cpu.cfs_period_us", "100000\n"}},
       2},
      {"v1 parent tighter than the group",
       {{v1 + "/job/step/cpu.cfs_quota_us", "800000\n"}, {v1 + "/job/step/cpu.cfs_period_us", "100000\n"},
        {v1 + "/job/cpu.cfs_quota_us", "300000\n"}, {v1 + "/job/cpu.cfs_period_us", "100000\n"}},
       3},
      {"v2 unlimited", {{v2 + "/job/step/cpu.max", "max 100000\n"}}, 0},
      {"v2 half a CPU counts as one", {{v2 + "/job/step/cpu.max", "50000 100000\n"}}, 1},
      {"both hierarchies: the tighter",
       {{v2 + "/job/cpu.max", "400000 100000\n"},
        {v1 + "/job/step/cpu.cfs_quota_us", "600000\n"}, {v1 + "/job/step/cpu.cfs_period_us", "100000\n"}},
       4},
      {"unreadable values impose nothing",
       {{v2 + "/job/step/cpu.max", "lots\n"}, {v1 + "/job/step/cpu.cfs_quota_us", "200000\n"}},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRoot root;
    root.Write("/proc/self/cgroup", groups);
    root.Write("/proc/self/mountinfo", kMounts);
    for (const auto& [path, text] : c.files) root.Write(path, text);
    EXPECT_EQ(parallel::QuotaCpus(root.dir.Path()), c.cpus);
  }

  // In a namespace the group can lie outside the mounted directory: the
  // mount's top is then the group.
  FakeRoot inside;
  inside.Write("/proc/self/cgroup", "0::/outside/me\n");
  inside.Write("/proc/self/mountinfo", "40 30 0:37 /job /sys/fs/cgroup rw - cgroup2 cgroup2 rw\n");
  inside.Write("/sys/fs/cgroup/cpu.max", "100000 100000\n");
  EXPECT_EQ(parallel::QuotaCpus(inside.dir.Path()), 1u);
  FakeRoot nothing;
  EXPECT_EQ(parallel::QuotaCpus(nothing.dir.Path()), 0u);

  // This process: never more than its affinity mask, never more workers
  // than asked.
  const unsigned int usable = parallel::UsableCpus();
  EXPECT_GE(usable, 1u);
  if (parallel::AffinityCpus() > 0) {
    EXPECT_LE(usable, parallel::AffinityCpus());
  }
  EXPECT_EQ(parallel::WorkersToRun(1), 1u);
  EXPECT_EQ(parallel::WorkersToRun(4096), usable);
}
