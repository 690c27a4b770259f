// How many threads model runs use. Pure functions, so the choice can be tested without torch.
//
// The compute of a run is matrix products, which libtorch hands to BLAS. Runs get
// `maxThreads` BLAS threads, from the physical cores the process may use, capped at
// kMaxDefaultThreads, or exactly QV_ENGINE_THREADS when that is set; runs over small inputs
// (one typed sentence) get fewer, since waking a pool costs more than it saves there.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace synaptra_inference {

constexpr const char *kThreadsVariable = "QV_ENGINE_THREADS";
constexpr int kMaxDefaultThreads = 4;
constexpr int kMaxThreads = 64;
// Input elements (tokens, padding included) that make one more thread worth waking.
constexpr size_t kInputsPerThread = 64;

// Distinct (package, core) pairs among `cpus`, read from `cpuRoot`/cpuN/topology; a CPU whose
// topology cannot be read counts as its own core. Further capped by a cgroup v2 "cpu.max"
// file ("max 100000" or "<quota> <period>") when `cpuMaxFile` can be read. 0 for no CPUs.
int physicalCores(const std::string &cpuRoot, const std::vector<int> &cpus, const std::string &cpuMaxFile);

// The cores of this process: its affinity mask, the system's topology and its cgroup.
int machineCores();

// A positive thread count from the variable's text, capped at kMaxThreads; 0 when the text is
// absent, empty, not a whole number or not positive.
int threadsFromSetting(const char *value);

// Threads when nothing is set: the cores, capped, at least one.
int defaultThreads(int cores);

// Threads for one run over `inputElements` input elements: `maxThreads` when fixed by the
// user, otherwise one per kInputsPerThread elements, between 1 and `maxThreads`.
int threadsForRun(int maxThreads, bool fixed, size_t inputElements);

} // namespace synaptra_inference
