#include "ThreadPolicy.h"

#include <sched.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <set>
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

int threadsForRun(int maxThreads, bool fixed, size_t inputElements) {
    maxThreads = std::max(maxThreads, 1);
    if (fixed)
        return maxThreads;
    const size_t wanted = inputElements / kInputsPerThread;
    return static_cast<int>(std::clamp<size_t>(wanted, 1, static_cast<size_t>(maxThreads)));
}

} // namespace synaptra_inference
