// How many threads model runs use, from pure functions that can be tested without torch.
//
// The compute of a run is matrix products, which libtorch hands to BLAS. By default a run gets
// up to kMaxDefaultThreads BLAS threads, no more than the physical cores the process may use.
// A product split over threads is done only when its slowest thread is, and on a busy machine a
// thread waits for a core. So a run gets the cores other programs' runnable threads leave free,
// and one thread once fewer than kContendedFreeCpus CPUs are free: the benchmark (bench_engine,
// "threads under load") measured on eight CPUs four threads best up to four busy processes, two
// threads best at six (x1.3 faster than one, while four were up to x2.7 slower than two), and
// one thread best from eight up, where two or four were up to x9 slower. QV_ENGINE_THREADS fixes
// the count.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace synaptra_inference {

constexpr const char *kThreadsVariable = "QV_ENGINE_THREADS";
constexpr int kMaxDefaultThreads = 4;
constexpr int kContendedThreads = 1;
constexpr double kContendedFreeCpus = 1.5;
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

// True when other programs' `othersRunnable` threads leave fewer than kContendedFreeCpus of the
// `onlineCpus` CPUs free.
bool coresContended(double othersRunnable, int onlineCpus);

// Threads for one run: `maxThreads` when fixed by the user; kContendedThreads when the cores
// are contended; otherwise the whole cores other programs leave free (`othersRunnable` threads
// wanting the `onlineCpus` CPUs, scaled to the process's `cores`), between 1 and `maxThreads`.
int threadsForRun(int maxThreads, bool fixed, double othersRunnable, int onlineCpus, int cores);

// From /proc/loadavg: the 1-minute load and the threads runnable right now. False if damaged.
bool parseLoadAverage(std::string_view loadavg, double &oneMinute, int &runnable);
// The state letter of a thread from its /proc/.../stat ('R' runnable), or 0 if damaged.
char parseThreadState(std::string_view stat);

// Other programs' runnable threads lately: the machine's runnable threads less this process's,
// sampled at most every kSampleInterval and smoothed; after a pause longer than kLongestPause
// the 1-minute load average (this process idle meanwhile) is blended in.
class OthersLoad {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kSampleInterval = std::chrono::milliseconds(250);
    static constexpr auto kLongestPause = std::chrono::seconds(10);

    double runnable(Clock::time_point now);

private:
    bool m_sampled = false;
    Clock::time_point m_at;
    double m_estimate = 0;
};

} // namespace synaptra_inference
