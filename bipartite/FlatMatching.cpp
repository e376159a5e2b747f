// Boost's matching verifier trips a false maybe-uninitialized report in
// its odd-components counter when optimised.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "bipartite/FlatMatching.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include <boost/graph/max_cardinality_matching.hpp>

#include "common/BesideThread.h"

namespace flat {

namespace {

// Anonymous memory of n elements whose pages can be handed back while it
// is still in use (Linux frees them at once).
template <typename T>
class PageBuffer {
 public:
  explicit PageBuffer(std::size_t size) : size_(size) {
    if (size_ == 0) return;
    void* memory = ::mmap(nullptr, Bytes(), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                          -1, 0);
    if (memory == MAP_FAILED) throw std::bad_alloc();
    data_ = static_cast<T*>(memory);
  }
  PageBuffer(const PageBuffer&) = delete;
  PageBuffer& operator=(const PageBuffer&) = delete;
  ~PageBuffer() {
    if (data_ != nullptr) ::munmap(data_, Bytes());
  }

  T* data() { return data_; }
  std::size_t size() const { return size_; }
  // Gives back the whole pages of elements [0, end), which are not read again.
  void ReleaseBefore(std::size_t end) {
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t bytes = end * sizeof(T) / page * page;
    if (bytes > released_) {
      ::madvise(reinterpret_cast<char*>(data_) + released_, bytes - released_, MADV_DONTNEED);
      released_ = bytes;
    }
  }

 private:
  std::size_t Bytes() const { return size_ * sizeof(T); }
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t released_ = 0;
};

// std::sort on two threads with the very same moves. libstdc++'s std::sort
// is a loop that partitions a range, handles the right part recursively and
// the left part in the loop, down to ranges of 16, then one insertion pass
// over everything. Parts are independent once partitioned, so they are
// handed to two threads as tasks (range and remaining depth): a large task
// is partitioned and its halves go back on the list, a small one runs
// libstdc++'s own loop. The result is that of std::sort itself.
template <typename T, typename Less>
void SortLikeStdSort(T* first, T* last, Less less) {
#if defined(__GLIBCXX__)
  constexpr std::ptrdiff_t kParallelFrom = 1 << 20;
  constexpr std::ptrdiff_t kSplitAbove = 1 << 18;
  if (last - first >= kParallelFrom && std::thread::hardware_concurrency() > 1) {
    const auto comp = __gnu_cxx::__ops::__iter_comp_iter(less);
    struct Task {
      T* first;
      T* last;
      long depth;
    };
    std::vector<Task> tasks{{first, last, static_cast<long>(std::__lg(last - first)) * 2}};
    std::size_t running = 0;
    // Set when a thread could not list its halves (an allocation failed):
    // the other stops waiting for them.
    bool failed = false;
    std::mutex mutex;
    std::condition_variable changed;
    const auto work = [&] {
      std::unique_lock<std::mutex> lock(mutex);
      while (true) {
        changed.wait(lock, [&] { return failed || !tasks.empty() || running == 0; });
        if (failed || tasks.empty()) return;
        // The largest task first: the two threads end at about the same time.
        const auto largest =
            std::max_element(tasks.begin(), tasks.end(), [](const Task& a, const Task& b) {
              return a.last - a.first < b.last - b.first;
            });
        const Task task = *largest;
        tasks.erase(largest);
        ++running;
        lock.unlock();
        const bool split = task.last - task.first > kSplitAbove && task.depth > 0;
        T* cut = nullptr;
        if (split)
          cut = std::__unguarded_partition_pivot(task.first, task.last, comp);
        else
          std::__introsort_loop(task.first, task.last, task.depth, comp);
        lock.lock();
        --running;
        if (split) {
          try {
            tasks.push_back({task.first, cut, task.depth - 1});
            tasks.push_back({cut, task.last, task.depth - 1});
          } catch (...) {
            failed = true;
            changed.notify_all();
            throw;
          }
        }
        changed.notify_all();
      }
    };
    RunBesideThread(work, work);
    std::__final_insertion_sort(first, last, comp);
    return;
  }
#endif
  std::sort(first, last, less);
}

// A listed edge (first, second) with the degree of one end as its key, in
// one 64-bit word: key in the top bits, then first, then second.
struct PackedEdges {
  unsigned vertexBits;

  std::uint64_t Make(std::uint64_t key, std::uint64_t first, std::uint64_t second) const {
    return (key << (2 * vertexBits)) | (first << vertexBits) | second;
  }
  std::uint64_t Key(std::uint64_t word) const { return word >> (2 * vertexBits); }
  std::uint32_t First(std::uint64_t word) const {
    const std::uint64_t mask = (std::uint64_t{1} << vertexBits) - 1;
    return static_cast<std::uint32_t>((word >> vertexBits) & mask);
  }
  std::uint32_t Second(std::uint64_t word) const {
    return static_cast<std::uint32_t>(word & ((std::uint64_t{1} << vertexBits) - 1));
  }
  std::uint64_t WithKey(std::uint64_t word, std::uint64_t key) const {
    return Make(key, First(word), Second(word));
  }
};

// Wider listed edge for graphs whose vertices and degrees do not fit one word.
struct WideEdge {
  std::uint32_t key;
  std::uint32_t first;
  std::uint32_t second;
};

struct WideEdges {
  WideEdge Make(std::uint32_t key, std::uint32_t first, std::uint32_t second) const {
    return {key, first, second};
  }
  std::uint32_t Key(const WideEdge& edge) const { return edge.key; }
  std::uint32_t First(const WideEdge& edge) const { return edge.first; }
  std::uint32_t Second(const WideEdge& edge) const { return edge.second; }
  WideEdge WithKey(const WideEdge& edge, std::uint32_t key) const {
    return {key, edge.first, edge.second};
  }
};

template <typename T, typename Layout>
std::vector<std::uint32_t> GreedyStart(const std::vector<std::pair<int, int>>& edges,
                                       const std::vector<std::uint32_t>& degree,
                                       const Layout& layout) {
  const std::uint32_t none = GraphView::null_vertex();
  std::vector<std::uint32_t> mate(degree.size(), none);
  std::size_t count = 0;
  for (const auto& edge : edges) count += edge.first != edge.second ? 2 : 0;

  // Boost's list: both directions of every edge that is not a loop, keyed
  // by the degree of the second end, then its std::sort.
  PageBuffer<T> listed(count);
  T* out = listed.data();
  for (const auto& edge : edges) {
    if (edge.first == edge.second) continue;  // Boost skips loops
    const std::uint32_t u = static_cast<std::uint32_t>(edge.first);
    const std::uint32_t v = static_cast<std::uint32_t>(edge.second);
    *out++ = layout.Make(degree[v], u, v);
    *out++ = layout.Make(degree[u], v, u);
  }
  SortLikeStdSort(listed.data(), listed.data() + count,
                  [&layout](const T& a, const T& b) { return layout.Key(a) < layout.Key(b); });

  // The stable sort by the degree of the first end: a counting sort into a
  // second buffer, handing back the first one's pages as they are read.
  const std::uint32_t maxDegree =
      degree.empty() ? 0 : *std::max_element(degree.begin(), degree.end());
  std::vector<std::uint64_t> next(static_cast<std::size_t>(maxDegree) + 2, 0);
  for (std::size_t i = 0; i < count; ++i) ++next[degree[layout.First(listed.data()[i])] + 1];
  for (std::size_t d = 1; d < next.size(); ++d) next[d] += next[d - 1];
  PageBuffer<T> ordered(count);
  constexpr std::size_t kChunk = std::size_t{1} << 20;
  for (std::size_t i = 0; i < count; ++i) {
    const T& entry = listed.data()[i];
    ordered.data()[next[degree[layout.First(entry)]]++] = entry;
    if ((i + 1) % kChunk == 0) listed.ReleaseBefore(i + 1);
  }

  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t u = layout.First(ordered.data()[i]);
    const std::uint32_t v = layout.Second(ordered.data()[i]);
    if (mate[u] == mate[v]) {
      mate[u] = v;
      mate[v] = u;
    }
  }
  return mate;
}

unsigned BitsFor(std::uint64_t value) {
  unsigned bits = 1;
  while (bits < 64 && (value >> bits) != 0) ++bits;
  return bits;
}

}  // namespace

std::vector<std::uint32_t> ExtraGreedyStart(const std::vector<std::pair<int, int>>& edges,
                                            const std::vector<std::uint32_t>& degree,
                                            bool packed) {
  const std::uint32_t maxDegree =
      degree.empty() ? 0 : *std::max_element(degree.begin(), degree.end());
  const unsigned vertexBits = BitsFor(degree.empty() ? 0 : degree.size() - 1);
  if (packed && 2 * vertexBits + BitsFor(maxDegree) <= 64)
    return GreedyStart<std::uint64_t>(edges, degree, PackedEdges{vertexBits});
  return GreedyStart<WideEdge>(edges, degree, WideEdges{});
}

void AugmentToMaximum(const GraphView& graph, std::vector<std::uint32_t>& mate) {
  using MateMap = std::uint32_t*;
  const IndexMap index;
  boost::edmonds_augmenting_path_finder<GraphView, MateMap, IndexMap> augmentor(
      graph, mate.data(), index);
  while (augmentor.augment_matching()) {
  }
  augmentor.get_current_matching(mate.data());
  boost::maximum_cardinality_matching_verifier<GraphView, MateMap, IndexMap>::verify_matching(
      graph, mate.data(), index);
}

}  // namespace flat
