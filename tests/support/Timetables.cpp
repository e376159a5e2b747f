#include "support/Timetables.h"

#include "common/Poset.h"

#include <cmath>
#include <limits>

TimeTable MakeTable(const std::vector<Passage>& passages) {
  TimeTable table;
  for (const Passage& passage : passages) {
    table.positionById[passage.id] = static_cast<std::uint32_t>(table.passages.size());
    table.passages.push_back(passage);
  }
  return table;
}

BGraph GraphFromPairs(const std::vector<std::uint32_t>& ids,
                      const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
  std::vector<Passage> passages;
  for (std::uint32_t id : ids) passages.push_back(Passage{id, 0, 0, 0.0, 0.0});
  TimeTable table = MakeTable(passages);
  Poset poset;
  poset.pairs = pairs;
  BGraph graph;
  graph.InitGraphFromPoset(table, poset);
  return graph;
}

BGraph GraphFromPairs(std::uint32_t n,
                      const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pairs) {
  std::vector<std::uint32_t> ids;
  for (std::uint32_t id = 1; id <= n; ++id) ids.push_back(id);
  return GraphFromPairs(ids, pairs);
}

TimeTable RandomHostileDay(std::mt19937& random, std::size_t maxPassages,
                           std::size_t minPassages) {
  const std::size_t n =
      std::uniform_int_distribution<std::size_t>(minPassages, maxPassages)(random);
  const std::uint32_t terminals = std::uniform_int_distribution<std::uint32_t>(1, 4)(random);
  const bool repeatNumbers = std::bernoulli_distribution(0.3)(random);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const double times[] = {0.0, -0.0, 1.0, 6.5, 6.5, 8.0, 12.25, 23.5, 24.0, nan, inf, -inf};
  std::uniform_int_distribution<std::size_t> time(0, sizeof times / sizeof times[0] - 1);
  std::uniform_int_distribution<std::uint32_t> terminal(1, terminals);
  std::vector<Passage> passages;
  for (std::size_t k = 0; k < n; ++k) {
    Passage p;
    p.id = repeatNumbers ? std::uniform_int_distribution<std::uint32_t>(1, 1 + n / 2)(random)
                         : static_cast<std::uint32_t>(100 + 7 * k);
    p.origin = terminal(random);
    p.destination = terminal(random);
    p.departure = times[time(random)];
    p.arrival = times[time(random)];
    passages.push_back(p);
  }
  return MakeTable(passages);
}
