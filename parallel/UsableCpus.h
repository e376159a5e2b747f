#pragma once

// How many CPUs this process can keep busy at once: the CPUs its affinity
// mask allows (sched_getaffinity, as taskset and cpusets restrict it),
// lowered to the CPU quota of the control groups it runs in (cgroup v2
// `cpu.max`, cgroup v1 `cpu.cfs_quota_us` / `cpu.cfs_period_us`), the
// tightest of its own group and the groups above it. A quota counts whole
// CPUs, rounded down: a group throttled to 1.5 CPUs is stopped for the rest
// of each period once it has used them, so a second busy worker would stall
// the first. The machine's core count alone says neither.
//
// Files that are missing or unreadable impose nothing. Cost: a few small
// file reads; call it once per run.

#include <string>

namespace parallel {

// CPUs in this process's affinity mask; 0 when it cannot be read.
unsigned int AffinityCpus();

// The CPU quota of this process's control groups in whole CPUs (at least
// 1), or 0 when no quota is set or none can be read. Every path read is
// prefixed with `root` ("" on a live system; tests pass a directory laid
// out like / with proc/self/cgroup, proc/self/mountinfo and the cgroup
// files).
unsigned int QuotaCpus(const std::string& root = "");

// The affinity mask's CPUs (the machine's when the mask cannot be read),
// lowered to the quota; at least 1.
unsigned int UsableCpus();

// Workers for a run asked to use `requested` threads: no more than the
// usable CPUs, since a worker without a CPU of its own only makes the
// others wait for it; at least 1.
unsigned int WorkersToRun(unsigned int requested);

}  // namespace parallel
