#pragma once

// The memory a whole run will need, part by part, held against the
// "max_memory" limit before the work starts.
//
// Each part of a run adds what it will need at its peak (the timetable's
// passages, the precedence graph, the estimator's nodes, the searches'
// states, the report...) with a name that a person can act on; the run
// checks the plan before it spends, and when the sum passes the limit it
// stops with one line that names every part and its size. Parts are
// estimates from counts known in advance (passages, pairs, budget, threads),
// each documented where it is computed; they are upper bounds of the
// structures' peaks, not measurements.
//
// A new part of a run (another estimator, a certificate) adds its own need:
//   memory::Plan plan(limit);
//   plan.Add("the estimator's nodes (B = 1000)", bytes);
//   if (!plan.Fits()) { std::cout << plan.Refusal() << std::endl; return 1; }
//
// Whatever the estimates miss, an allocation that fails is reported as
// "out of memory while <activity>" (SetActivity) rather than as a
// command-line error.

#include <cstdint>
#include <string>
#include <vector>

namespace memory {

class Plan {
 public:
  explicit Plan(std::uint64_t limit) : limit_(limit) {}

  // Adds the need of one part; sums saturate at the largest 64-bit value.
  void Add(const std::string& what, std::uint64_t bytes);

  std::uint64_t Limit() const { return limit_; }
  std::uint64_t Total() const { return total_; }
  bool Fits() const { return total_ <= limit_; }
  // Bytes still free under the limit (0 when it does not fit).
  std::uint64_t Room() const { return Fits() ? limit_ - total_ : 0; }

  // "Not enough memory for this run: <part> needs about <size>, ...;
  // together about <size>, more than the limit of <size>; raise the limit
  // with --max_memory (for example --max_memory <n>G)".
  std::string Refusal() const;

 private:
  struct Part {
    std::string what;
    std::uint64_t bytes;
  };
  std::uint64_t limit_;
  std::uint64_t total_ = 0;
  std::vector<Part> parts_;
};

// a * b, or the largest 64-bit value when the product does not fit.
std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b);
std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b);

// What the run is doing, for the line an allocation failure prints; a
// string literal (read from any thread).
void SetActivity(const char* activity);
// "out of memory while <activity>".
std::string OutOfMemoryLine();

}  // namespace memory
