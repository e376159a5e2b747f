#pragma once

// Where the draws of a run come from.
//
// - "single": one engine for the whole run, seeded with the run's seed; the
//   order of all draws is that of one thread doing everything in order.
// - "repetition": repetition (or restart) r, counted from 0, draws from an
//   engine of its own,
//       std::mt19937_64 engine(std::seed_seq{seed, r})
//   with `seed` the run's seed (the --seed value, or the number drawn from
//   the random device when none is given) and both as 32-bit words. The
//   draws of one repetition then depend on nothing else, so repetitions
//   can run in any order, on any thread or process, with the same results.

#include <cstdint>
#include <random>
#include <string>

namespace parallel {

enum class StreamKind { Single, Repetition };

// "single" or "repetition"; false for any other name.
bool ParseStreamKind(const std::string& name, StreamKind& kind);
std::string StreamKindName(StreamKind kind);

// The engine of repetition `index` of a run seeded with `seed`.
std::mt19937_64 MakeStream(std::uint32_t seed, std::uint32_t index);

// The engine of repetition `index` of part `part` (a piece of the work that
// has repetitions of its own): std::seed_seq{seed, part, index}.
std::mt19937_64 MakeStream(std::uint32_t seed, std::uint32_t part, std::uint32_t index);

}  // namespace parallel
