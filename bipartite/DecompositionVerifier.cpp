#include "bipartite/DecompositionVerifier.h"

#include <algorithm>
#include <cstddef>
#include <map>

namespace {

// The connection rule, restated from the definition of the order.
bool Connects(const Passage& before, const Passage& after) {
  return after.origin == before.destination && after.departure >= before.arrival;
}

class Day {
 public:
  explicit Day(const std::vector<Passage>& passages) : passages_(passages) {
    for (std::size_t i = 0; i < passages.size(); ++i) {
      positionsOf_[passages[i].id].push_back(i);
      counted_[passages[i].id] = i;  // the later passage of a repeated number
    }
  }

  bool Has(std::uint32_t number) const { return positionsOf_.count(number) != 0; }
  std::size_t Multiplicity(std::uint32_t number) const { return positionsOf_.at(number).size(); }
  std::size_t CountedPosition(std::uint32_t number) const { return counted_.at(number); }
  const std::map<std::uint32_t, std::vector<std::size_t>>& Numbers() const { return positionsOf_; }

  // Some passage numbered `y` can follow a different passage numbered `x`.
  bool NumberCanFollow(std::uint32_t x, std::uint32_t y) const {
    for (std::size_t i : positionsOf_.at(x))
      for (std::size_t j : positionsOf_.at(y))
        if (i != j && Connects(passages_[i], passages_[j])) return true;
    return false;
  }

  // Size of a maximum matching between counted positions as predecessors
  // and as successors, by augmenting paths.
  std::size_t MaximumMatchingSize() const {
    const std::size_t n = passages_.size();
    std::vector<std::vector<std::size_t>> successors(n);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j)
        if (i != j && Connects(passages_[i], passages_[j]))
          successors[counted_.at(passages_[i].id)].push_back(counted_.at(passages_[j].id));
    for (std::vector<std::size_t>& list : successors) {
      std::sort(list.begin(), list.end());
      list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    std::vector<std::size_t> predecessorOf(n, n);
    std::size_t size = 0;
    for (std::size_t start = 0; start < n; ++start) {
      std::vector<bool> seen(n, false);
      if (Augment(start, successors, predecessorOf, seen)) ++size;
    }
    return size;
  }

 private:
  static bool Augment(std::size_t u, const std::vector<std::vector<std::size_t>>& successors,
                      std::vector<std::size_t>& predecessorOf, std::vector<bool>& seen) {
    for (std::size_t v : successors[u]) {
      if (seen[v]) continue;
      seen[v] = true;
      if (predecessorOf[v] == successors.size() ||
          Augment(predecessorOf[v], successors, predecessorOf, seen)) {
        predecessorOf[v] = u;
        return true;
      }
    }
    return false;
  }

  const std::vector<Passage>& passages_;
  std::map<std::uint32_t, std::vector<std::size_t>> positionsOf_;
  std::map<std::uint32_t, std::size_t> counted_;
};

std::string ChainName(std::size_t index) { return "chain " + std::to_string(index + 1); }

std::string CheckCover(const Day& day, const std::vector<std::vector<std::uint32_t>>& chains) {
  std::map<std::uint32_t, std::size_t> listed;
  for (std::size_t c = 0; c < chains.size(); ++c) {
    if (chains[c].empty()) return ChainName(c) + " is empty";
    for (std::uint32_t number : chains[c]) {
      if (!day.Has(number))
        return ChainName(c) + ": passage " + std::to_string(number) + " is not in the timetable";
      ++listed[number];
    }
  }
  for (const auto& [number, positions] : day.Numbers()) {
    const std::size_t times = listed.count(number) != 0 ? listed.at(number) : 0;
    if (times == 0) return "passage " + std::to_string(number) + " is in no chain";
    if (times != positions.size())
      return "passage " + std::to_string(number) + " is listed " + std::to_string(times) +
             " times, the timetable has it " + std::to_string(positions.size()) + " times";
  }
  return "";
}

std::string CheckSteps(const Day& day, const std::vector<std::vector<std::uint32_t>>& chains) {
  for (std::size_t c = 0; c < chains.size(); ++c)
    for (std::size_t k = 1; k < chains[c].size(); ++k)
      if (!day.NumberCanFollow(chains[c][k - 1], chains[c][k]))
        return ChainName(c) + ": passage " + std::to_string(chains[c][k]) +
               " cannot follow passage " + std::to_string(chains[c][k - 1]);
  return "";
}

}  // namespace

std::string VerifyDecomposition(const TimeTable& table,
                                const std::vector<std::vector<std::uint32_t>>& chains,
                                int closedRotations) {
  const Day day(table.passages);
  std::string fault = CheckCover(day, chains);
  if (fault.empty()) fault = CheckSteps(day, chains);
  if (!fault.empty()) return fault;

  // The earlier passages of a repeated number have no connections of their
  // own: all but one of its listings are single chains, and only one of
  // those, if any, can be the counted passage closing a loop on itself.
  std::map<std::uint32_t, std::size_t> singles;
  for (const std::vector<std::uint32_t>& chain : chains)
    if (chain.size() == 1) ++singles[chain.front()];
  for (const auto& [number, positions] : day.Numbers())
    if (positions.size() > 1 && singles[number] + 1 < positions.size())
      return "passage " + std::to_string(number) + " is repeated " +
             std::to_string(positions.size()) + " times but listed alone only " +
             std::to_string(singles[number]) + " times";

  std::size_t loops = 0;
  std::map<std::uint32_t, bool> singleLoopCounted;
  for (std::size_t c = 0; c < chains.size(); ++c) {
    const std::vector<std::uint32_t>& chain = chains[c];
    if (!day.NumberCanFollow(chain.back(), chain.front())) continue;
    if (chain.size() == 1 && day.Multiplicity(chain.front()) > 1) {
      const std::uint32_t number = chain.front();
      if (singles[number] < day.Multiplicity(number) || singleLoopCounted[number]) continue;
      singleLoopCounted[number] = true;
    }
    ++loops;
    for (std::uint32_t number : chain)
      if (day.CountedPosition(number) < day.CountedPosition(chain.front()))
        return ChainName(c) + " closes a loop but does not start at its earliest passage " +
               std::to_string(number);
  }
  if (closedRotations != kAnyClosedRotations && loops != static_cast<std::size_t>(closedRotations))
    return std::to_string(loops) + " closed rotations, " + std::to_string(closedRotations) +
           " declared";

  const std::size_t minimum = table.passages.size() - day.MaximumMatchingSize();
  if (chains.size() != minimum + loops)
    return std::to_string(chains.size()) + " chains, but passages less maximum matching size " +
           "plus closed rotations is " + std::to_string(minimum + loops);
  return "";
}
