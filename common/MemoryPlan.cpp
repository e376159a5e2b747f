#include "common/MemoryPlan.h"

#include <atomic>
#include <limits>

#include "common/MemoryLimit.h"

namespace memory {

namespace {

constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
std::atomic<const char*> gActivity{"starting the run"};

}  // namespace

std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > kMost / a) return kMost;
  return a * b;
}

std::uint64_t SaturatingSum(std::uint64_t a, std::uint64_t b) {
  return b > kMost - a ? kMost : a + b;
}

void Plan::Add(const std::string& what, std::uint64_t bytes) {
  parts_.push_back({what, bytes});
  total_ = SaturatingSum(total_, bytes);
}

std::string Plan::Refusal() const {
  std::string line = "Not enough memory for this run: ";
  for (std::size_t k = 0; k < parts_.size(); ++k) {
    if (k > 0) line += ", ";
    line += parts_[k].what + (k == 0 ? " needs about " : " about ") + FormatSize(parts_[k].bytes);
  }
  if (parts_.size() > 1) line += "; together about " + FormatSize(total_);
  const std::uint64_t gigabytes = total_ == kMost ? 0 : (total_ >> 30) + 1;
  line += ", more than the limit of " + FormatSize(limit_);
  if (gigabytes > 0)
    line += "; raise the limit with --max_memory (for example --max_memory " +
            std::to_string(gigabytes) + "G)";
  return line;
}

void SetActivity(const char* activity) { gActivity.store(activity); }

std::string OutOfMemoryLine() { return std::string("out of memory while ") + gActivity.load(); }

}  // namespace memory
