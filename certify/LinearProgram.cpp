#include "certify/LinearProgram.h"

#include <algorithm>

namespace certify {

void LinearProgram::AddColumn(double cost, double upper,
                              std::vector<std::pair<int, double>> entries) {
  std::sort(entries.begin(), entries.end());
  for (std::size_t k = 0; k < entries.size();) {
    double sum = 0.0;
    std::size_t j = k;
    for (; j < entries.size() && entries[j].first == entries[k].first; ++j) sum += entries[j].second;
    if (sum != 0.0) {
      rowIndex.push_back(entries[k].first);
      value.push_back(sum);
    }
    k = j;
  }
  objective.push_back(cost);
  columnUpper.push_back(upper);
  start.push_back(rowIndex.size());
}

}  // namespace certify
