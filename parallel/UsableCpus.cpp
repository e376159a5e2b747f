#include "parallel/UsableCpus.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>
#include <vector>

namespace parallel {

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

// Mount points in mountinfo write space, tab, newline and backslash as
// octal escapes.
std::string Unescape(const std::string& field) {
  std::string text;
  for (std::size_t k = 0; k < field.size(); ++k) {
    if (field[k] == '\\' && k + 3 < field.size() &&
        std::all_of(field.begin() + static_cast<long>(k) + 1,
                    field.begin() + static_cast<long>(k) + 4,
                    [](char c) { return c >= '0' && c <= '7'; })) {
      text += static_cast<char>(std::stoi(field.substr(k + 1, 3), nullptr, 8));
      k += 3;
    } else {
      text += field[k];
    }
  }
  return text;
}

struct Mount {
  std::string root;   // the directory of the hierarchy mounted here
  std::string point;  // where it is mounted
};

// The cgroup v1 hierarchy that has the cpu controller, or the v2 one.
bool FindMount(const std::string& root, bool v2, Mount& found) {
  std::ifstream in(root + "/proc/self/mountinfo");
  std::string line;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = Split(line, ' ');
    const auto dash = std::find(fields.begin(), fields.end(), "-");
    if (dash == fields.end() || fields.end() - dash < 4 || dash - fields.begin() < 5) continue;
    const std::string& type = *(dash + 1);
    bool wanted = false;
    if (v2) {
      wanted = type == "cgroup2";
    } else if (type == "cgroup") {
      const std::vector<std::string> options = Split(*(dash + 3), ',');
      wanted = std::find(options.begin(), options.end(), "cpu") != options.end();
    }
    if (wanted) {
      found = {Unescape(fields[3]), Unescape(fields[4])};
      return true;
    }
  }
  return false;
}

// The process's group in the v1 hierarchy with the cpu controller, or in
// the v2 one.
bool FindGroup(const std::string& root, bool v2, std::string& group) {
  std::ifstream in(root + "/proc/self/cgroup");
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t first = line.find(':');
    const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const bool wanted =
        v2 ? line.compare(0, first, "0") == 0 && controllers.empty()
           : [&] {
               const std::vector<std::string> names = Split(controllers, ',');
               return std::find(names.begin(), names.end(), "cpu") != names.end();
             }();
    if (wanted) {
      group = line.substr(second + 1);
      return true;
    }
  }
  return false;
}

// Whole CPUs of a quota of `quota` per `period` (both positive), at least 1.
unsigned int WholeCpus(double quota, double period) {
  const double cpus = quota / period;
  if (!(cpus < static_cast<double>(std::numeric_limits<unsigned int>::max()))) return 0;
  return std::max(1u, static_cast<unsigned int>(cpus));
}

// The quota set in one group directory, in whole CPUs; 0 for none.
unsigned int GroupQuota(const std::string& directory, bool v2) {
  double quota = 0.0, period = 0.0;
  if (v2) {
    std::ifstream in(directory + "/cpu.max");
    std::string limit;
    if (!(in >> limit >> period) || limit == "max") return 0;
    std::istringstream value(limit);
    if (!(value >> quota)) return 0;
  } else {
    std::ifstream quotaFile(directory + "/cpu.cfs_quota_us");
    std::ifstream periodFile(directory + "/cpu.cfs_period_us");
    if (!(quotaFile >> quota) || !(periodFile >> period)) return 0;
  }
  if (quota <= 0.0 || period <= 0.0) return 0;  // -1: no quota
  return WholeCpus(quota, period);
}

// The tightest quota from the process's group up to the hierarchy's top.
unsigned int HierarchyQuota(const std::string& root, bool v2) {
  Mount mount;
  std::string group;
  if (!FindMount(root, v2, mount) || !FindGroup(root, v2, group)) return 0;
  // Inside a namespace the group may lie outside the mounted directory; the
  // mount's top is then the process's group as far as it can see.
  std::string relative;
  if (mount.root == "/")
    relative = group == "/" ? "" : group;
  else if (group == mount.root || group.rfind(mount.root + "/", 0) == 0)
    relative = group.substr(mount.root.size());
  std::string directory = root + mount.point + relative;
  const std::string top = root + mount.point;
  unsigned int tightest = 0;
  while (true) {
    const unsigned int quota = GroupQuota(directory, v2);
    if (quota != 0 && (tightest == 0 || quota < tightest)) tightest = quota;
    if (directory.size() <= top.size()) break;
    directory.erase(directory.rfind('/'));
  }
  return tightest;
}

}  // namespace

unsigned int AffinityCpus() {
  for (int size = 1024; size <= (1 << 20); size *= 2) {
    cpu_set_t* set = CPU_ALLOC(size);
    if (set == nullptr) return 0;
    const std::size_t bytes = CPU_ALLOC_SIZE(size);
    CPU_ZERO_S(bytes, set);
    const int status = sched_getaffinity(0, bytes, set);
    const int count = status == 0 ? CPU_COUNT_S(bytes, set) : 0;
    CPU_FREE(set);
    if (status == 0) return static_cast<unsigned int>(count);
    if (errno != EINVAL) return 0;  // EINVAL: the mask is larger than the set
  }
  return 0;
}

unsigned int QuotaCpus(const std::string& root) {
  const unsigned int v1 = HierarchyQuota(root, false);
  const unsigned int v2 = HierarchyQuota(root, true);
  if (v1 == 0 || v2 == 0) return std::max(v1, v2);
  return std::min(v1, v2);
}

unsigned int UsableCpus() {
  unsigned int cpus = AffinityCpus();
  if (cpus == 0) cpus = std::thread::hardware_concurrency();
  const unsigned int quota = QuotaCpus();
  if (quota != 0 && (cpus == 0 || quota < cpus)) cpus = quota;
  return std::max(1u, cpus);
}

unsigned int WorkersToRun(unsigned int requested) {
  return std::max(1u, std::min(requested, UsableCpus()));
}

}  // namespace parallel
