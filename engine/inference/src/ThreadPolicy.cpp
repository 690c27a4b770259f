#include "ThreadPolicy.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace synaptra_inference {

namespace {

bool readNumber(const std::string &path, long &value) {
    std::ifstream in(path);
    return static_cast<bool>(in >> value);
}

// The CPU limit of a cgroup v2 "cpu.max" file, rounded up; 0 when there is none.
int cgroupLimit(const std::string &cpuMaxFile) {
    std::ifstream in(cpuMaxFile);
    std::string quota;
    long period = 0;
    if (!(in >> quota >> period) || quota == "max" || period <= 0)
        return 0;
    char *end = nullptr;
    const double q = std::strtod(quota.c_str(), &end);
    if (end == quota.c_str() || *end != '\0' || q <= 0)
        return 0;
    return std::max(1, static_cast<int>(std::ceil(q / static_cast<double>(period))));
}

} // namespace

int physicalCores(const std::string &cpuRoot, const std::vector<int> &cpus, const std::string &cpuMaxFile) {
    std::set<std::pair<long, long>> cores;
    long unknown = 0;
    for (int cpu : cpus) {
        const std::string topology = cpuRoot + "/cpu" + std::to_string(cpu) + "/topology/";
        long package = 0, core = 0;
        if (readNumber(topology + "physical_package_id", package) && readNumber(topology + "core_id", core))
            cores.emplace(package, core);
        else
            cores.emplace(-1, --unknown);
    }
    int count = static_cast<int>(cores.size());
    if (const int limit = cgroupLimit(cpuMaxFile); limit > 0)
        count = std::min(count, limit);
    return count;
}

int machineCores() {
    std::vector<int> cpus;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &set))
                cpus.push_back(cpu);
    }
    return physicalCores("/sys/devices/system/cpu", cpus, "/sys/fs/cgroup/cpu.max");
}

int threadsFromSetting(const char *value) {
    if (value == nullptr || *value == '\0')
        return 0;
    char *end = nullptr;
    errno = 0;
    const long n = std::strtol(value, &end, 10);
    if (end == value || *end != '\0' || errno == ERANGE || n <= 0)
        return 0;
    return static_cast<int>(std::min<long>(n, kMaxThreads));
}

int defaultThreads(int cores) {
    return std::clamp(cores, 1, kMaxDefaultThreads);
}

bool coresContended(double othersRunnable, int onlineCpus) {
    return onlineCpus > 0 && static_cast<double>(onlineCpus) - othersRunnable < kContendedFreeCpus;
}

int threadsForRun(int maxThreads, bool fixed, double othersRunnable, int onlineCpus, int cores) {
    maxThreads = std::max(maxThreads, 1);
    if (fixed || onlineCpus <= 0)
        return maxThreads;
    if (coresContended(othersRunnable, onlineCpus))
        return kContendedThreads;
    const double freeCpus = std::max(0.0, static_cast<double>(onlineCpus) - othersRunnable);
    const double freeCores = freeCpus * static_cast<double>(std::max(cores, 1)) / onlineCpus;
    // Rounded down: a thread too many waits for a core and holds up the whole product, one too
    // few only leaves a core idle.
    const int threads = static_cast<int>(std::floor(freeCores));
    return std::clamp(threads, 1, maxThreads);
}

bool parseLoadAverage(std::string_view loadavg, double &oneMinute, int &runnable) {
    std::istringstream in{std::string(loadavg)};
    double five = 0, fifteen = 0;
    char slash = 0;
    int total = 0;
    if (!(in >> oneMinute >> five >> fifteen >> runnable >> slash >> total) || slash != '/' || runnable < 0)
        return false;
    return true;
}

char parseThreadState(std::string_view stat) {
    // The command name may hold spaces and parentheses: the state follows the last ')'.
    const size_t close = stat.rfind(')');
    if (close == std::string_view::npos || close + 2 >= stat.size() || stat[close + 1] != ' ')
        return 0;
    return stat[close + 2];
}

namespace {

std::string readFile(const std::string &path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int ownRunnableThreads() {
    int runnable = 0;
    std::error_code error;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task", error))
        if (parseThreadState(readFile(task.path().string() + "/stat")) == 'R')
            ++runnable;
    return runnable;
}

} // namespace

double OthersLoad::runnable(Clock::time_point now) {
    if (m_sampled && now - m_at < kSampleInterval)
        return m_estimate;
    double oneMinute = 0;
    int runnableNow = 0;
    if (!parseLoadAverage(readFile("/proc/loadavg"), oneMinute, runnableNow))
        return m_estimate;
    const double others = std::max(0, runnableNow - ownRunnableThreads());
    if (m_sampled && now - m_at <= kLongestPause)
        m_estimate = 0.7 * m_estimate + 0.3 * others;
    else
        m_estimate = (oneMinute + others) / 2;
    m_sampled = true;
    m_at = now;
    return m_estimate;
}

} // namespace synaptra_inference
