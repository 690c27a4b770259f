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

TEST(ThreadPolicy, RunsGetOneThreadOnContendedCoresAndTheFreeCoresOtherwise) {
    struct Case {
        const char *name;
        int maxThreads;
        bool fixed;
        double othersRunnable;
        int onlineCpus, cores, threads;
    };
    const std::vector<Case> cases = {
        {"LessThanTwoCpusFreeIsContended", 4, false, 6.6, 8, 8, 1},
        {"ThreeTimesTheCpusBusy", 4, false, 24, 8, 8, 1},
        {"SixBusyOfEightLeaveTwo", 4, false, 6, 8, 8, 2},
        {"HalfTheCpusBusyLeaveFour", 4, false, 4.0, 8, 8, 4},
        {"IdleMachine", 4, false, 0.2, 8, 8, 4},
        {"TwoBusyLeaveMoreThanTheCap", 4, false, 2, 8, 8, 4},
        {"SiblingsHalveTheFreeCpusRoundedDown", 4, false, 3, 8, 4, 2},
        {"TwoCpusOneBusy", 4, false, 1, 2, 2, 1},
        {"OneCore", 1, false, 3, 1, 1, 1},
        {"FixedIgnoresLoad", 3, true, 20, 8, 8, 3},
        {"FixedAboveTheCores", 16, true, 0, 8, 8, 16},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(threadsForRun(c.maxThreads, c.fixed, c.othersRunnable, c.onlineCpus, c.cores), c.threads);
    }
}

TEST(ThreadPolicy, ReadsTheLoadAndThreadStates) {
    double load = 0;
    int runnable = 0;
    ASSERT_TRUE(parseLoadAverage("18.54 17.02 15.16 20/297 13814\n", load, runnable));
    EXPECT_DOUBLE_EQ(load, 18.54);
    EXPECT_EQ(runnable, 20);
    for (const char *damaged : {"", "1.0 2.0", "1.0 2.0 3.0 x/297 1", "1.0 2.0 3.0 4 297 1"})
        EXPECT_FALSE(parseLoadAverage(damaged, load, runnable)) << damaged;

    EXPECT_EQ(parseThreadState("42 (bench) R 1 1 1 0"), 'R');
    EXPECT_EQ(parseThreadState("43 (a (b)) c) S 1 1"), 'S') << "the state follows the last parenthesis";
    EXPECT_EQ(parseThreadState("44 (cut"), 0);
    EXPECT_EQ(parseThreadState("45 (x)"), 0);
}

} // namespace
