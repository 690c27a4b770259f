#include "ThreadPolicy.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
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

int threadsForRun(int maxThreads, bool fixed, double othersBusy, int onlineCpus, int cores) {
    maxThreads = std::max(maxThreads, 1);
    if (fixed || onlineCpus <= 0)
        return maxThreads;
    const double freeCpus = std::max(0.0, static_cast<double>(onlineCpus) - othersBusy);
    const double freeCores = freeCpus * static_cast<double>(std::max(cores, 1)) / onlineCpus;
    const int threads = static_cast<int>(std::lround(freeCores));
    return std::clamp(threads, std::min(kBusyThreads, maxThreads), maxThreads);
}

bool parseCpuTicks(std::string_view procStat, CpuTicks &ticks) {
    if (procStat.substr(0, 4) != "cpu ")
        return false;
    const std::string line(procStat.substr(4, procStat.find('\n') - 4));
    char *at = const_cast<char *>(line.c_str());
    // user nice system idle iowait irq softirq steal: idle and waiting count as free.
    uint64_t fields[8] = {};
    for (uint64_t &field : fields) {
        char *end = nullptr;
        field = std::strtoull(at, &end, 10);
        if (end == at)
            return false;
        at = end;
    }
    ticks.total = 0;
    for (uint64_t field : fields)
        ticks.total += field;
    ticks.idle = fields[3] + fields[4];
    return true;
}

bool parseProcessTicks(std::string_view processStat, uint64_t &ticks) {
    // The command name may hold spaces and parentheses: fields are counted after the last ')'.
    const size_t close = processStat.rfind(')');
    if (close == std::string_view::npos)
        return false;
    std::istringstream fields{std::string(processStat.substr(close + 1))};
    std::string field;
    uint64_t user = 0, system = 0;
    // Field 3 (the state) comes first; utime and stime are fields 14 and 15.
    for (int number = 3; number <= 15 && fields >> field; ++number) {
        if (number == 14)
            user = std::strtoull(field.c_str(), nullptr, 10);
        else if (number == 15) {
            system = std::strtoull(field.c_str(), nullptr, 10);
            ticks = user + system;
            return true;
        }
    }
    return false;
}

double othersBusyCpus(const CpuTicks &before, const CpuTicks &after, uint64_t ownBefore, uint64_t ownAfter,
                      int onlineCpus) {
    if (after.total <= before.total || after.idle < before.idle || onlineCpus <= 0)
        return 0;
    const double total = static_cast<double>(after.total - before.total);
    const double busy = total - static_cast<double>(after.idle - before.idle);
    const double own = ownAfter > ownBefore ? static_cast<double>(ownAfter - ownBefore) : 0.0;
    return std::max(0.0, busy - own) / total * onlineCpus;
}

namespace {

std::string readFile(const char *path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

double BusyCpus::othersBusy(Clock::time_point now) {
    if (m_sampled && now - m_at < kSampleInterval)
        return m_estimate;
    CpuTicks cpu;
    uint64_t own = 0;
    if (!parseCpuTicks(readFile("/proc/stat"), cpu) || !parseProcessTicks(readFile("/proc/self/stat"), own))
        return m_estimate;
    const int online = static_cast<int>(std::max(1L, sysconf(_SC_NPROCESSORS_ONLN)));
    if (m_sampled && now - m_at <= kLongestWindow) {
        m_estimate = othersBusyCpus(m_cpu, cpu, m_own, own, online);
    } else {
        double load = 0;
        std::istringstream(readFile("/proc/loadavg")) >> load;
        m_estimate = load;
    }
    m_sampled = true;
    m_at = now;
    m_cpu = cpu;
    m_own = own;
    return m_estimate;
}

} // namespace synaptra_inference
