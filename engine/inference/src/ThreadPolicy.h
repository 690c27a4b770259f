// How many threads model runs use, from pure functions that can be tested without torch.
//
// The compute of a run is matrix products, which libtorch hands to BLAS. By default a run gets
// up to kMaxDefaultThreads BLAS threads, no more than the physical cores the process may use.
// On a busy machine every thread of a split product must get a core before the product is done,
// so a run only gets as many threads as other processes leave cores free, and never fewer than
// kBusyThreads. QV_ENGINE_THREADS fixes the count instead.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace synaptra_inference {

constexpr const char *kThreadsVariable = "QV_ENGINE_THREADS";
constexpr int kMaxDefaultThreads = 4;
constexpr int kBusyThreads = 2;
constexpr int kMaxThreads = 64;

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

// Threads for one run: `maxThreads` when fixed by the user; otherwise the cores that other
// processes leave free (`othersBusy` CPUs' worth of work on `onlineCpus` CPUs, scaled to the
// process's `cores`), between kBusyThreads and `maxThreads`.
int threadsForRun(int maxThreads, bool fixed, double othersBusy, int onlineCpus, int cores);

// Clock ticks of all CPUs together, from the "cpu" line of /proc/stat.
struct CpuTicks {
    uint64_t total = 0;
    uint64_t idle = 0;
};
bool parseCpuTicks(std::string_view procStat, CpuTicks &ticks);
// User and system ticks of a process, from its /proc/PID/stat.
bool parseProcessTicks(std::string_view processStat, uint64_t &ticks);
// CPUs' worth of work done by other processes between two samples.
double othersBusyCpus(const CpuTicks &before, const CpuTicks &after, uint64_t ownBefore, uint64_t ownAfter,
                      int onlineCpus);

// Samples the machine's load at most every kSampleInterval; after a pause longer than
// kLongestWindow (the process idle meanwhile) the 1-minute load average stands in.
class BusyCpus {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kSampleInterval = std::chrono::milliseconds(250);
    static constexpr auto kLongestWindow = std::chrono::seconds(10);

    // Other processes' CPUs' worth of work lately.
    double othersBusy(Clock::time_point now);

private:
    bool m_sampled = false;
    Clock::time_point m_at;
    CpuTicks m_cpu;
    uint64_t m_own = 0;
    double m_estimate = 0;
};

} // namespace synaptra_inference
