#include "se/ResidualState.h"

#include <limits>

namespace residual {

namespace {

constexpr int kUnreached = std::numeric_limits<int>::max();

// Hopcroft–Karp phases over the side-0 vertices.
class MaximumMatcher {
 public:
  explicit MaximumMatcher(const ResidualGraph& graph)
      : graph_(graph),
        mate_(static_cast<std::size_t>(graph.VertexCount()), kFree),
        distance_(mate_.size(), kUnreached),
        next_(mate_.size(), 0) {
    for (int v = 0; v < graph.VertexCount(); ++v)
      if (graph.Side(v) == 0) left_.push_back(v);
  }

  State Run() {
    while (LayerFromFreeVertices()) {
      for (int u : left_) next_[u] = 0;
      for (int u : left_)
        if (mate_[u] == kFree) Augment(u);
    }
    return mate_;
  }

 private:
  bool LayerFromFreeVertices() {
    std::vector<int> queue;
    for (int u : left_) {
      distance_[u] = mate_[u] == kFree ? 0 : kUnreached;
      if (mate_[u] == kFree) queue.push_back(u);
    }
    bool reachedFree = false;
    for (std::size_t head = 0; head < queue.size(); ++head) {
      const int u = queue[head];
      for (const std::int32_t* w = graph_.NeighboursBegin(u); w != graph_.NeighboursEnd(u); ++w) {
        const int x = mate_[*w];
        if (x == kFree) {
          reachedFree = true;
        } else if (distance_[x] == kUnreached) {
          distance_[x] = distance_[u] + 1;
          queue.push_back(x);
        }
      }
    }
    return reachedFree;
  }

  // Depth-first search along the layers from free vertex `root`, with an
  // explicit stack (paths can be as long as the graph).
  void Augment(int root) {
    std::vector<int> stack{root};
    std::vector<int> via;  // via[k]: the side-1 vertex between stack[k] and stack[k + 1]
    while (!stack.empty()) {
      const int u = stack.back();
      const std::size_t degree =
          static_cast<std::size_t>(graph_.NeighboursEnd(u) - graph_.NeighboursBegin(u));
      bool advanced = false;
      while (next_[u] < degree) {
        const int w = graph_.NeighboursBegin(u)[next_[u]++];
        const int x = mate_[w];
        if (x == kFree) {
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

  const ResidualGraph& graph_;
  State mate_;
  std::vector<int> distance_;
  std::vector<std::size_t> next_;
  std::vector<int> left_;
};

}  // namespace

State MakeRoot(const ResidualGraph& graph) { return MaximumMatcher(graph).Run(); }

std::size_t ResidualMatchingSize(const State& state) {
  std::size_t matchedVertices = 0;
  for (std::int32_t entry : state)
    if (entry >= 0) ++matchedVertices;
  return matchedVertices / 2;
}

BGraph::Matching DecidedPairs(const State& state, const std::vector<unsigned int>& order) {
  std::vector<std::size_t> position(state.size(), 0);
  for (std::size_t k = 0; k < order.size(); ++k)
    if (order[k] < state.size()) position[order[k]] = k;
  BGraph::Matching pairs;
  for (unsigned int x : order) {
    if (x >= state.size() || state[x] > kPartnerBase) continue;
    const std::int32_t partner = PartnerOf(state[x]);
    if (position[x] < position[static_cast<std::size_t>(partner)])
      pairs.emplace_back(static_cast<int>(x), static_cast<int>(partner));
  }
  return pairs;
}

}  // namespace residual
