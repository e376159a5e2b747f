// Fuzz target for the timetable loader and the fixed part built on it.
//
// Any bytes are loaded as a timetable file: the load either succeeds or
// gives one message line that ends with the only line feed. A small loaded
// day then goes through the fixed part of both programs, each piece checked
// against its reference: the pairs against the pair test and their count,
// the flat graph's matching against Boost's on the adjacency list, and the
// exact count's matching size against it. A difference aborts, which the
// fuzzer reports as a crash.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "bipartite/BGraph.h"
#include "common/Poset.h"
#include "common/TimeTable.h"
#include "exact/ExactCount.h"

namespace {

// Days beyond this size are only loaded: the references are quadratic.
constexpr std::size_t kMostPassagesChecked = 64;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  TimeTable table;
  std::string error;
  if (!table.LoadFromStream(in, "fuzz.csv", error)) {
    Require(!error.empty() && error.find('\n') == error.size() - 1);
    return 0;
  }
  if (table.passages.size() > kMostPassagesChecked) return 0;

  Poset poset;
  poset.CreatePoset(table);
  Poset tested;
  tested.CreatePosetByPairTest(table);
  Require(poset.pairs == tested.pairs);
  Require(Poset::CountPairs(table.passages) == poset.pairs.size());

  BGraph flat;
  flat.InitGraphFromPoset(table, poset);
  BGraph literal;
  literal.InitLiteralGraphFromPoset(table, tested);
  const BGraph::Matching matching = flat.GetMaxMatching();
  Require(matching == literal.GetMaxMatching());
  Require(flat.GetDillworthDecomposition() == literal.GetDillworthDecomposition());

  const exact::ExactCount count = exact::CountMinimumDecompositions(table);
  if (count.available) {
    Require(count.matchingSize == matching.size());
    Require(count.cells == flat.EdgeCount());
  }
  return 0;
}
