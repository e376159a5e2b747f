#include "se/PooledRepetitions.h"

#include <stdexcept>

#include "parallel/Words.h"

std::vector<std::uint64_t> PackRepetitions(const std::vector<SE::Repetition>& ran,
                                           const SE::DecompositionList* last) {
  parallel::WordWriter out;
  out.Put(ran.size());
  for (const SE::Repetition& repetition : ran) {
    out.Put(repetition.index);
    out.PutDouble(repetition.estimate.Significand());
    out.PutSigned(repetition.estimate.Exponent());
    out.Put(repetition.fullyEnumerated ? 1 : 0);
    out.PutDouble(repetition.seconds);
  }
  out.Put(last != nullptr ? 1 : 0);
  if (last != nullptr) {
    out.Put(last->size());
    for (const BGraph::Decomposition& decomposition : *last) {
      out.Put(decomposition.size());
      for (const BGraph::Chain& chain : decomposition) out.PutRange(chain);
    }
  }
  return out.Words();
}

PooledRepetitions PoolRepetitions(const std::vector<std::vector<std::uint64_t>>& messages,
                                  unsigned int repetitions) {
  PooledRepetitions pooled;
  pooled.estimates.resize(repetitions);
  pooled.fullyEnumerated.resize(repetitions, false);
  pooled.seconds.resize(repetitions, 0.0);
  std::vector<bool> seen(repetitions, false);
  bool lastSeen = false;
  for (const std::vector<std::uint64_t>& message : messages) {
    parallel::WordReader in(message);
    const std::uint64_t count = in.Get();
    for (std::uint64_t k = 0; k < count; ++k) {
      const std::uint64_t index = in.Get();
      if (index >= repetitions || seen[index])
        throw std::runtime_error("repetition " + std::to_string(index) + " pooled twice or unknown");
      seen[index] = true;
      const double significand = in.GetDouble();
      const std::int64_t exponent = in.GetSigned();
      pooled.estimates[index] = WideDouble::FromParts(significand, exponent);
      pooled.fullyEnumerated[index] = in.Get() != 0;
      pooled.seconds[index] = in.GetDouble();
    }
    if (in.Get() != 0) {
      lastSeen = true;
      const std::uint64_t decompositions = in.Get();
      for (std::uint64_t d = 0; d < decompositions; ++d) {
        BGraph::Decomposition decomposition;
        const std::uint64_t chains = in.Get();
        for (std::uint64_t c = 0; c < chains; ++c)
          decomposition.push_back(in.GetRange<BGraph::Chain::value_type>());
        pooled.last.push_back(std::move(decomposition));
      }
    }
    if (!in.AtEnd()) throw std::runtime_error("a repetitions message has trailing words");
  }
  for (unsigned int index = 0; index < repetitions; ++index)
    if (!seen[index]) throw std::runtime_error("repetition " + std::to_string(index) + " is missing");
  if (repetitions > 0 && !lastSeen)
    throw std::runtime_error("no process sent the last repetition's decompositions");
  return pooled;
}
