// The choice of compute threads: cores counted from the system's topology, the variable's text,
// the cap, and fewer threads for small runs.
#include "ThreadPolicy.h"
#include "EngineFixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace synaptra_inference;

namespace {

// A fake /sys/devices/system/cpu: each CPU given as (package, core), or (-1, -1) for none.
std::string fakeCpuTree(const std::string &name, const std::vector<std::pair<int, int>> &cpus) {
    const std::string root = enginetest::scratchDir(name);
    for (size_t i = 0; i < cpus.size(); ++i) {
        const auto dir = std::filesystem::path(root) / ("cpu" + std::to_string(i)) / "topology";
        std::filesystem::create_directories(dir);
        if (cpus[i].first < 0)
            continue;
        enginetest::writeBytes((dir / "physical_package_id").string(), std::to_string(cpus[i].first) + "\n");
        enginetest::writeBytes((dir / "core_id").string(), std::to_string(cpus[i].second) + "\n");
    }
    return root;
}

TEST(ThreadPolicy, CountsPhysicalCoresOfTheAllowedCpus) {
    struct Case {
        const char *name;
        std::vector<std::pair<int, int>> topology;
        std::vector<int> allowed;
        std::string cpuMax; // empty: no cgroup file
        int cores;
    };
    const std::vector<Case> cases = {
        {"EightCores",
         {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4}, {0, 5}, {0, 6}, {0, 7}},
         {0, 1, 2, 3, 4, 5, 6, 7},
         "",
         8},
        {"SiblingsCountOnce", {{0, 0}, {0, 1}, {0, 0}, {0, 1}}, {0, 1, 2, 3}, "", 2},
        {"SameCoreIdOnTwoPackages", {{0, 0}, {1, 0}}, {0, 1}, "", 2},
        {"AffinityLimits", {{0, 0}, {0, 1}, {0, 2}, {0, 3}}, {2}, "", 1},
        {"UnreadableTopologyCountsEachCpu", {{-1, -1}, {-1, -1}, {-1, -1}}, {0, 1, 2}, "", 3},
        {"CgroupQuota", {{0, 0}, {0, 1}, {0, 2}, {0, 3}}, {0, 1, 2, 3}, "150000 100000\n", 2},
        {"CgroupWithoutLimit", {{0, 0}, {0, 1}}, {0, 1}, "max 100000\n", 2},
        {"DamagedCgroupFile", {{0, 0}, {0, 1}}, {0, 1}, "lots\n", 2},
        {"NoCpus", {}, {}, "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string root = fakeCpuTree(std::string("cpus-") + c.name, c.topology);
        std::string cpuMax = root + "/cpu.max";
        if (c.cpuMax.empty())
            cpuMax = root + "/absent";
        else
            enginetest::writeBytes(cpuMax, c.cpuMax);
        EXPECT_EQ(physicalCores(root, c.allowed, cpuMax), c.cores);
    }
}

TEST(ThreadPolicy, VariableTextGivesAPositiveCountOrNothing) {
    const std::vector<std::pair<const char *, int>> cases = {
        {nullptr, 0},
        {"", 0},
        {"0", 0},
        {"-2", 0},
        {"abc", 0},
        {"3x", 0},
        {" 2", 2},
        {"1", 1},
        {"6", 6},
        {"64", 64},
        {"100000", kMaxThreads},
        {"99999999999999999999", 0},
    };
    for (const auto &[text, threads] : cases) {
        SCOPED_TRACE(text ? text : "(unset)");
        EXPECT_EQ(threadsFromSetting(text), threads);
    }
}

TEST(ThreadPolicy, DefaultIsTheCoresCapped) {
    const std::vector<std::pair<int, int>> cases = {{0, 1}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {8, 4}, {128, 4}};
    for (const auto &[cores, threads] : cases) {
        SCOPED_TRACE(cores);
        EXPECT_EQ(defaultThreads(cores), threads);
    }
}

TEST(ThreadPolicy, SmallRunsUseFewerThreadsUnlessFixed) {
    struct Case {
        int maxThreads;
        bool fixed;
        size_t inputs;
        int threads;
    };
    const std::vector<Case> cases = {
        {4, false, 0, 1},       {4, false, 14, 1},   {4, false, kInputsPerThread * 2, 2},
        {4, false, 64 * 25, 4}, {1, false, 5000, 1}, {4, true, 14, 4},
        {8, true, 0, 8},        {0, false, 5000, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.maxThreads) + (c.fixed ? " fixed, " : " default, ") +
                     std::to_string(c.inputs));
        EXPECT_EQ(threadsForRun(c.maxThreads, c.fixed, c.inputs), c.threads);
    }
}

} // namespace
