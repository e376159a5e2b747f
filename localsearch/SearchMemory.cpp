#include "localsearch/SearchMemory.h"

#include <algorithm>
#include <string>

#include "localsearch/ExchangeSearch.h"

namespace {

constexpr std::uint64_t kSearchBytesPerPassage = 160;
constexpr std::uint64_t kBytesPerEntry = 2 * 4 + 2 * 12;  // the lists, then their text
constexpr std::uint64_t kOutcomeBytesPerPassage = 8;      // a matched pair

}  // namespace

void PlanSearches(memory::Plan& plan, std::size_t passages, unsigned int iterations,
                  bool recording, SearchKind kind, unsigned int threads, std::size_t restartsHere) {
  using memory::SaturatingProduct;
  using memory::SaturatingSum;
  const std::uint64_t entries =
      !recording ? 0
                 : kind == SearchKind::Exchange
                       ? std::min<std::uint64_t>(iterations, ExchangeSearch::kMaxRecordedEntries)
                       : iterations;
  const std::uint64_t perSearch =
      SaturatingSum(kSearchBytesPerPassage * passages, SaturatingProduct(entries, kBytesPerEntry));
  const std::uint64_t running =
      restartsHere == 0 ? 1 : std::min<std::uint64_t>(restartsHere, threads);
  const std::uint64_t perOutcome =
      SaturatingSum(kOutcomeBytesPerPassage * passages, SaturatingProduct(entries, 2 * 4));
  const std::uint64_t bytes = SaturatingSum(SaturatingProduct(running, perSearch),
                                            SaturatingProduct(restartsHere, perOutcome));
  plan.Add(restartsHere == 0 ? std::string("the search")
                             : "the searches (" + std::to_string(running) + " at once, " +
                                   std::to_string(restartsHere) + " restarts kept)",
           bytes);
}
