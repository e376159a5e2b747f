#include "se/Staircase.h"

#include <algorithm>

Staircase::Staircase(const FlatAdjacency& graph, const std::vector<std::int32_t>& columns,
                     const std::vector<std::int32_t>& rows, std::vector<std::int32_t>& slot)
    : rows_(rows.size()) {
  for (std::size_t p = 0; p < rows.size(); ++p) slot[rows[p]] = static_cast<std::int32_t>(p);
  for (std::size_t c = 0; c < columns.size(); ++c) slot[columns[c]] = static_cast<std::int32_t>(c);
  runBegin_.reserve(columns.size());
  runEnd_.reserve(columns.size());
  exceptionOffsets_.reserve(columns.size() + 1);
  std::size_t prefixes = 0;
  std::size_t suffixes = 0;
  std::vector<std::int32_t> positions;
  for (const std::int32_t column : columns) {
    positions.clear();
    for (const std::int32_t* w = graph.Begin(column); w != graph.End(column); ++w)
      positions.push_back(slot[*w]);
    std::sort(positions.begin(), positions.end());
    positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
    std::uint32_t begin = 0;
    std::uint32_t end = 0;
    if (!positions.empty()) {
      const std::size_t span =
          static_cast<std::size_t>(positions.back() - positions.front()) + 1;
      // A run with more holes than neighbours costs more than a list.
      if (span - positions.size() <= positions.size()) {
        begin = static_cast<std::uint32_t>(positions.front());
        end = static_cast<std::uint32_t>(positions.back()) + 1;
      }
    }
    if (begin < end) {
      std::size_t next = 0;
      for (std::uint32_t p = begin; p < end; ++p) {
        if (positions[next] == static_cast<std::int32_t>(p))
          ++next;
        else
          exceptions_.push_back(~static_cast<std::int32_t>(p));
      }
      if (begin == 0) ++prefixes;
      if (end == rows_) ++suffixes;
    } else {
      exceptions_.insert(exceptions_.end(), positions.begin(), positions.end());
    }
    runBegin_.push_back(begin);
    runEnd_.push_back(end);
    exceptionOffsets_.push_back(exceptions_.size());
  }
  fromTheEnd_ = prefixes >= suffixes;
}
