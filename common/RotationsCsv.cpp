#include "common/RotationsCsv.h"

#include "common/ChainEnds.h"
#include "common/NumberText.h"

void WriteRotationsCsv(const TimeTable& table, const ChainList& chains, std::ostream& out) {
  out << "rotation,position,passage,origin,destination,departure,arrival,balanced,rest_hours,"
         "day\n";
  auto passageOf = [&table](unsigned int id) -> const Passage& {
    return table.passages[table.positionById.at(id)];
  };
  std::size_t rotation = 0;
  for (const std::vector<unsigned int>& chain : chains) {
    ++rotation;
    if (chain.empty()) continue;
    const Passage& first = passageOf(chain.front());
    const Passage& last = passageOf(chain.back());
    const std::string ends = std::string(IsBalancedChain(first, last) ? "true" : "false") + "," +
                             ShortestText(RestHours(first, last));
    std::size_t position = 0;
    std::size_t day = 1;
    for (unsigned int id : chain) {
      const Passage& passage = passageOf(id);
      out << rotation << ',' << ++position << ',' << id << ',' << passage.origin << ','
          << passage.destination << ',' << ShortestText(passage.departure) << ','
          << ShortestText(passage.arrival) << ',' << ends << ',' << day << '\n';
      if (passage.arrival < passage.departure) ++day;  // lands on the next day's clock
    }
  }
}
