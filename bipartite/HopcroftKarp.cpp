#include "bipartite/HopcroftKarp.h"

#include <cstddef>
#include <limits>

namespace {

constexpr int kUnreached = std::numeric_limits<int>::max();

class Phases {
 public:
  Phases(const FlatAdjacency& graph, const std::vector<std::uint8_t>& side)
      : graph_(graph),
        mate_(graph.VertexCount(), kUnmatched),
        distance_(mate_.size(), kUnreached),
        next_(mate_.size(), 0) {
    for (std::size_t v = 0; v < graph.VertexCount(); ++v)
      if (side[v] == 0) left_.push_back(static_cast<int>(v));
  }

  std::vector<std::int32_t> Run() {
    while (LayerFromFreeVertices()) {
      for (int u : left_) next_[u] = 0;
      for (int u : left_)
        if (mate_[u] == kUnmatched) Augment(u);
    }
    return mate_;
  }

 private:
  const std::int32_t* Begin(int v) const { return graph_.Begin(static_cast<std::size_t>(v)); }
  const std::int32_t* End(int v) const { return graph_.End(static_cast<std::size_t>(v)); }

  bool LayerFromFreeVertices() {
    std::vector<int> queue;
    for (int u : left_) {
      distance_[u] = mate_[u] == kUnmatched ? 0 : kUnreached;
      if (mate_[u] == kUnmatched) queue.push_back(u);
    }
    bool reachedFree = false;
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const int u = queue[head];
      for (const std::int32_t* w = Begin(u); w != End(u); ++w) {
        const int x = mate_[*w];
        if (x == kUnmatched) {
          reachedFree = true;
        } else if (distance_[x] == kUnreached) {
          distance_[x] = distance_[u] + 1;
          queue.push_back(x);
        }
      }
    }
    return reachedFree;
  }

  // Depth-first search along the layers from free vertex `root`.
  void Augment(int root) {
    std::vector<int> stack{root};
    std::vector<int> via;  // via[k]: the side-1 vertex between stack[k] and stack[k + 1]
    while (!stack.empty()) {
      const int u = stack.back();
      const std::size_t degree = static_cast<std::size_t>(End(u) - Begin(u));
      bool advanced = false;
      while (next_[u] < degree) {
        const int w = Begin(u)[next_[u]++];
        const int x = mate_[w];
        if (x == kUnmatched) {
          via.push_back(w);
          Flip(stack, via);
          return;
        }
        if (distance_[x] == distance_[u] + 1) {
          via.push_back(w);
          stack.push_back(x);
          advanced = true;
          break;
        }
      }
      if (advanced) continue;
      distance_[u] = kUnreached;
      stack.pop_back();
      if (!via.empty()) via.pop_back();
    }
  }

  void Flip(const std::vector<int>& stack, const std::vector<int>& via) {
    for (std::size_t k = 0; k < stack.size(); ++k) {
      mate_[stack[k]] = via[k];
      mate_[via[k]] = stack[k];
    }
  }

  const FlatAdjacency& graph_;
  std::vector<std::int32_t> mate_;
  std::vector<int> distance_;
  std::vector<std::size_t> next_;
  std::vector<int> left_;
};

}  // namespace

std::vector<std::int32_t> HopcroftKarpMates(const FlatAdjacency& graph,
                                            const std::vector<std::uint8_t>& side) {
  return Phases(graph, side).Run();
}
