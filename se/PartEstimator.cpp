#include "se/PartEstimator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "bipartite/HopcroftKarp.h"
#include "se/Selection.h"

namespace {

// Root balances settle to this deviation of the row sums, or stop after
// kRootSweeps sweeps (boards without total support converge slowly). The
// few sweeps before each decision keep a balance, they do not make one: a
// looser root (1e-4, 50 sweeps) gave the 1,000-passage day a standard error
// 30 times larger, a tighter one (1e-13, 5,000) one 2.5 times smaller at
// twice this cost. A run settles each board once, whatever N.
constexpr double kRootTolerance = 1e-12;
constexpr int kRootSweeps = 2000;

const double kLn10 = std::log(10.0);

}  // namespace

PartEstimator::PartEstimator(const BGraph& graph, const GraphComponents& all,
                             const std::vector<std::uint32_t>& components,
                             const std::vector<Passage>* passages, const PartOptions& options)
    : options_(options), leftCount_(static_cast<std::uint32_t>(graph.numberOfVertices / 2)) {
  BuildLists(graph, all, components);
  residual_ = ResidualGraph(lists_);
  root_ = globalOf_.empty() ? residual::State() : HopcroftKarpMates(*lists_, residual_.Sides());
  matchingSize_ = residual::ResidualMatchingSize(root_);
  forced_ = residual::ForcedVertices(residual_, root_);
  finder_ = std::make_unique<fastse::SuccessorFinder>(residual_);
  finder_->UseForced(forced_);
  BuildBoards(passages);
}

void PartEstimator::BuildLists(const BGraph& graph, const GraphComponents& all,
                               const std::vector<std::uint32_t>& components) {
  const std::shared_ptr<const FlatAdjacency> whole = graph.Adjacency();
  if (components.size() == all.Count()) {
    // The whole graph: its own numbering and lists, shared, not copied.
    globalOf_.resize(whole->VertexCount());
    for (std::size_t v = 0; v < globalOf_.size(); ++v) globalOf_[v] = static_cast<std::uint32_t>(v);
    lists_ = whole;
    for (const std::uint32_t component : components) {
      Board board;
      for (const std::uint32_t* v = all.Begin(component); v != all.End(component); ++v)
        board.vertices.push_back(static_cast<std::int32_t>(*v));
      boards_.push_back(std::move(board));
    }
    return;
  }
  // Some components: numbered 0.. in turn, with lists of their own.
  std::vector<std::uint64_t> offsets(1, 0);
  std::vector<std::int32_t> targets;
  std::int32_t base = 0;
  for (const std::uint32_t component : components) {
    Board board;
    for (const std::uint32_t* v = all.Begin(component); v != all.End(component); ++v) {
      board.vertices.push_back(static_cast<std::int32_t>(globalOf_.size()));
      globalOf_.push_back(*v);
      for (const std::int32_t* w = whole->Begin(*v); w != whole->End(*v); ++w)
        targets.push_back(base + static_cast<std::int32_t>(all.IndexOf(static_cast<std::size_t>(*w))));
      offsets.push_back(targets.size());
    }
    base += static_cast<std::int32_t>(all.Size(component));
    boards_.push_back(std::move(board));
  }
  lists_ = std::make_shared<const FlatAdjacency>(std::move(offsets), std::move(targets));
}

void PartEstimator::BuildBoards(const std::vector<Passage>* passages) {
  slot_.assign(globalOf_.size(), -1);
  const auto time = [&](std::int32_t local) {
    if (passages == nullptr) return std::numeric_limits<double>::quiet_NaN();
    const std::uint32_t g = globalOf_[static_cast<std::size_t>(local)];
    return g < leftCount_ ? (*passages)[g].arrival : (*passages)[g - leftCount_].departure;
  };
  // Rows by time (not-a-number last), then by descending degree, which alone
  // already makes a Ferrers board's runs start at row 0.
  const auto rowBefore = [&](std::int32_t a, std::int32_t b) {
    const double ta = time(a);
    const double tb = time(b);
    const bool aNan = std::isnan(ta);
    const bool bNan = std::isnan(tb);
    if (aNan != bNan) return bNan;
    if (!aNan && ta != tb) return ta < tb;
    if (Degree(a) != Degree(b)) return Degree(a) > Degree(b);
    return a < b;
  };
  if (!options_.importance) return;
  for (Board& board : boards_) {
    std::vector<std::int32_t> left;
    std::vector<std::int32_t> right;
    std::size_t matched = 0;
    for (const std::int32_t x : board.vertices) {
      (IsLeft(x) ? left : right).push_back(x);
      if (IsLeft(x) && root_[x] >= 0) ++matched;
    }
    // The side with fewer vertices left unmatched (both sides have the same
    // number matched); ties to the right side, which the degree order
    // decides first too.
    const bool decideLeft = left.size() < right.size();
    board.deciding = decideLeft ? std::move(left) : std::move(right);
    std::vector<std::int32_t> rows = decideLeft ? std::move(right) : std::move(left);
    std::sort(rows.begin(), rows.end(), rowBefore);
    board.staircase = Staircase(*lists_, board.deciding, rows, slot_);
    board.root =
        SinkhornBalance(board.staircase, board.deciding.size() - matched, rows.size() - matched);
    std::vector<std::uint32_t> columns(board.deciding.size());
    for (std::size_t c = 0; c < columns.size(); ++c) columns[c] = static_cast<std::uint32_t>(c);
    board.root.Settle(board.staircase, ColumnSpan{columns.data(), columns.data() + columns.size()},
                      scratch_, kRootTolerance, kRootSweeps);
  }
}

void PartEstimator::MakeOrder(Draws& draws,
                              std::vector<std::pair<std::int32_t, std::uint32_t>>& order) const {
  order.clear();
  std::vector<std::int32_t> vertices;
  if (options_.importance) {
    for (std::uint32_t k = 0; k < boards_.size(); ++k) {
      vertices = boards_[k].deciding;
      ShuffleWith(draws, vertices);
      if (options_.vertexOrder == VertexOrder::Degree)
        std::stable_sort(vertices.begin(), vertices.end(), [this](std::int32_t a, std::int32_t b) {
          return Degree(a) < Degree(b);
        });
      for (const std::int32_t v : vertices) order.emplace_back(v, k);
    }
    return;
  }
  vertices.resize(globalOf_.size());
  for (std::size_t x = 0; x < vertices.size(); ++x) vertices[x] = static_cast<std::int32_t>(x);
  ShuffleWith(draws, vertices);
  if (options_.vertexOrder == VertexOrder::Degree)
    std::stable_sort(vertices.begin(), vertices.end(), [this](std::int32_t a, std::int32_t b) {
      if (IsLeft(a) != IsLeft(b)) return !IsLeft(a);
      return Degree(a) < Degree(b);
    });
  for (const std::int32_t v : vertices) order.emplace_back(v, 0);
}

PartRepetition PartEstimator::Run(Draws& draws, std::vector<BGraph::Matching>* final) {
  std::vector<std::pair<std::int32_t, std::uint32_t>> order;
  MakeOrder(draws, order);
  const std::size_t budget = options_.budget;
  level_.clear();
  level_.push_back(Node{root_, SinkhornBalance(), WideDouble(1.0)});
  PartRepetition result;
  result.fullyEnumerated = true;
  // With importance the levels of a board decide its columns: the columns
  // still to decide at level j are those of levels j .. the board's last.
  std::vector<std::uint32_t> columns(order.size(), 0);
  std::vector<std::size_t> boardEnd(order.size(), order.size());
  if (options_.importance) {
    for (std::size_t j = 0; j < order.size(); ++j)
      columns[j] = static_cast<std::uint32_t>(slot_[order[j].first]);
    for (std::size_t j = order.size(); j-- > 0;)
      if (j + 1 < order.size() && order[j + 1].second == order[j].second)
        boardEnd[j] = boardEnd[j + 1];
      else
        boardEnd[j] = j + 1;
  }
  std::uint32_t currentBoard = std::numeric_limits<std::uint32_t>::max();
  std::vector<double> parentTotal;
  std::vector<double> scores;
  std::vector<std::uint32_t> remaining;
  for (std::size_t j = 0; j < order.size(); ++j) {
    const auto [v, k] = order[j];
    const Board& board = boards_[k];
    const ColumnSpan remainingColumns{columns.data() + j, columns.data() + boardEnd[j]};
    if (options_.importance && k != currentBoard) {
      for (Node& node : level_) node.balance = board.root;
      currentBoard = k;
    }
    choices_.clear();
    parentTotal.assign(level_.size(), 0.0);
    for (std::uint32_t i = 0; i < level_.size(); ++i) {
      Node& node = level_[i];
      if (options_.importance)
        node.balance.Sweep(board.staircase, remainingColumns, scratch_, options_.sweeps);
      found_.clear();
      // With no column of the board left to stay unmatched, v is covered by
      // every completion: no search for a way to leave it free.
      finder_->FindCandidates(node.state, v, found_,
                              options_.importance && node.balance.SlackRows() == 0);
      const std::size_t first = choices_.size();
      bool sound = true;
      for (const fastse::Candidate& candidate : found_) {
        double weight = 1.0;
        if (options_.importance && candidate.reason != fastse::Reason::Unchanged)
          weight = candidate.partner < 0
                       ? node.balance.LeaveWeight()
                       : node.balance.RowWeight(static_cast<std::size_t>(slot_[candidate.partner]));
        if (!(weight > 0.0) || !std::isfinite(weight)) sound = false;
        choices_.push_back(Choice{i, candidate, weight});
      }
      // A balance that lost a completable choice (it cannot, barring
      // rounding) falls back to a uniform choice: still unbiased.
      if (!sound)
        for (std::size_t c = first; c < choices_.size(); ++c) choices_[c].weight = 1.0;
      for (std::size_t c = first; c < choices_.size(); ++c) parentTotal[i] += choices_[c].weight;
    }

    const std::size_t count = choices_.size();
    std::vector<std::size_t> kept;
    std::vector<double> inverse;
    if (count <= budget) {
      kept.resize(count);
      for (std::size_t c = 0; c < count; ++c) kept[c] = c;
      inverse.assign(count, 1.0);
    } else {
      result.fullyEnumerated = false;
      if (!options_.importance) {
        kept = UniformSample(count, budget, draws);
        inverse.assign(count, static_cast<double>(count) / static_cast<double>(budget));
      } else {
        // One parent: the choices' own weights. Several: their shares
        // times the parents' weights and completion estimates.
        if (level_.size() == 1) {
          scores.resize(count);
          for (std::size_t c = 0; c < count; ++c) scores[c] = choices_[c].weight;
        } else {
          std::vector<double> parentLog(level_.size(), 0.0);
          for (std::size_t i = 0; i < level_.size(); ++i)
            parentLog[i] =
                level_[i].weight.Log10() * kLn10 + level_[i].balance.LogScale(remainingColumns);
          std::vector<double> logs(count);
          for (std::size_t c = 0; c < count; ++c) {
            const Choice& choice = choices_[c];
            logs[c] = parentLog[choice.parent] + std::log(choice.weight / parentTotal[choice.parent]);
          }
          scores = ScoresFromLogs(logs);
        }
        Inclusion inclusion = ProportionalInclusion(scores, budget);
        kept = SystematicSample(inclusion.probability, draws);
        inverse = std::move(inclusion.inverse);
      }
    }

    remaining.assign(level_.size(), 0);
    for (const std::size_t c : kept) ++remaining[choices_[c].parent];
    next_.clear();
    next_.reserve(kept.size());
    for (const std::size_t c : kept) {
      const Choice& choice = choices_[c];
      Node& parent = level_[choice.parent];
      const WideDouble weight = parent.weight * WideDouble(inverse[c]);
      if (--remaining[choice.parent] == 0)
        next_.push_back(std::move(parent));
      else
        next_.push_back(parent);
      Node& child = next_.back();
      child.weight = weight;
      finder_->BuildChild(child.state, v, choice.candidate);
      if (options_.importance)
        child.balance.Decide(choice.candidate.partner < 0 ? -1 : slot_[choice.candidate.partner]);
    }
    std::swap(level_, next_);
  }

  result.estimate = 0.0;
  for (const Node& node : level_) result.estimate += node.weight;
  if (final != nullptr) {
    final->clear();
    for (const Node& node : level_) {
      BGraph::Matching pairs;
      for (std::size_t x = 0; x < node.state.size(); ++x) {
        if (node.state[x] > residual::kPartnerBase || !IsLeft(static_cast<std::int32_t>(x)))
          continue;
        const std::int32_t partner = residual::PartnerOf(node.state[x]);
        pairs.emplace_back(static_cast<int>(globalOf_[x]), static_cast<int>(globalOf_[partner]));
      }
      final->push_back(std::move(pairs));
    }
  }
  return result;
}

std::size_t PartEstimator::MemoryBytes(std::size_t vertices, std::size_t entries,
                                       unsigned int budget, bool importance, bool ownLists) {
  // Lists (offsets and targets), the search's nine per-vertex arrays, the
  // root, flags and maps; then two levels of nodes and their choices.
  const std::size_t lists = ownLists ? 8 * (vertices + 1) + 4 * entries : 0;
  const std::size_t fixed = lists + 40 * vertices;
  const std::size_t boards = importance ? 8 * vertices + 2 * entries + 9 * vertices : 0;
  const std::size_t node = 4 * vertices + (importance ? 9 * vertices : 0) + 64;
  const std::size_t choices = 24 * (std::min<std::size_t>(vertices, entries) + 1);
  return fixed + boards + 2 * static_cast<std::size_t>(budget) * (node + choices);
}
