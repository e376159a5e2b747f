#include "support/Timetables.h"

#include "common/Poset.h"

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
