// The Windows version's name and generation, the machine's processors and pages, and the processor
// load measured on the simulated timeline.
#include "system/OSInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/SystemInfo.h"
#include "platform/Time.h"
#include "platform/sim/SimSystem.h"

namespace {

constexpr uint32_t NT = platform::VER_PLATFORM_WIN32_NT;

struct VersionCase {
    uint32_t Major, Minor, Build, Platform;
    const char* ServicePack;
    bool Wow64;
    const char* Name;
    unsigned Generation;
};

const VersionCase VersionCases[] = {
    {10, 0, 19045, NT, "", true, "Windows 10 Build 19045 x64", 10},
    {10, 0, 21999, NT, "", false, "Windows 10 Build 21999", 10},
    {10, 0, 22000, NT, "", true, "Windows 11 Build 22000 x64", 11},
    {6, 4, 9999, NT, "", false, "Windows Build 9999", 0},
    {6, 3, 9600, NT, "", true, "Windows 8.1 Build 9600 x64", 9},
    {6, 1, 7601, NT, "Service Pack 1", true, "Windows 7 Build 7601 Service Pack 1 x64", 7},
    {6, 0, 6002, NT, "Service Pack 2", false, "Windows Vista Build 6002 Service Pack 2", 6},
    {5, 2, 3790, NT, "", false, "Windows Server 2003 family Build 3790", 5},
    {5, 1, 2600, NT, "Service Pack 3", false, "Windows XP Build 2600 Service Pack 3", 4},
    {4, 0, 1381, NT, "", false, "Windows NT 4.0 Build 1381", 2},
    {3, 51, 1057, NT, "", false, "Windows NT 3.51 Build 1057", 1},
    {11, 0, 30000, NT, "", true, "Windows Build 30000 x64", 0},
    {4, 10, 2222, platform::VER_PLATFORM_WIN32_WINDOWS, "A", false, "Unknown", 0},
};

class OSInfo : public MachineTest {};

TEST_F(OSInfo, NamesAndGenerationsByVersion) {
    for (const VersionCase& c : VersionCases) {
        sim::SetOsVersion({c.Major, c.Minor, c.Build, c.Platform, c.ServicePack});
        sim::SetIsWow64Process(true, c.Wow64);
        InitOSInfo();
        EXPECT_EQ(OSName, c.Name) << c.Major << "." << c.Minor << "." << c.Build;
        EXPECT_EQ(OSGeneration, c.Generation) << c.Name;
        EXPECT_EQ(IsWow64, c.Wow64) << c.Name;
    }
}

TEST_F(OSInfo, WithoutIsWow64ProcessOrVersionTheAnswersAreTheSafeOnes) {
    sim::SetIsWow64Process(false, true);
    InitOSInfo();
    EXPECT_FALSE(IsWow64);
    EXPECT_EQ(OSName, "Windows 10 Build 19045");

    sim::SetIsWow64Process(true, true);
    sim::SetOsVersionFails(true);
    InitOSInfo();
    EXPECT_EQ(OSName, "Unknown");
    EXPECT_EQ(OSGeneration, 0);
}

TEST_F(OSInfo, ProcessorCountIsTheLowByteAndPageSizeTheSystems) {
    const struct {
        uint32_t Processors, PageSize;
        unsigned Count;
    } cases[] = {{1, 4096, 1}, {16, 4096, 16}, {255, 8192, 255}, {260, 65536, 4}};
    for (const auto& c : cases) {
        sim::Machine m;
        m.NumberOfProcessors = c.Processors;
        m.PageSize = c.PageSize;
        Install(m);
        InitOSInfo();
        EXPECT_EQ(ProcessorCount, c.Count) << c.Processors;
        EXPECT_EQ(PageSize, c.PageSize);
    }
}

// --- processor load ------------------------------------------------------------------------------

constexpr uint64_t Second = 10000000;  // 100 ns units

struct LoadCase {
    const char* What;
    std::vector<sim::ProcessorLoad> Loads;
    uint32_t IntervalMs;
    unsigned Load;
};

const LoadCase LoadCases[] = {
    {"idle the whole second contributes 100", {{Second, 0, 0}}, 1000, 0},
    {"busy the whole second", {{0, Second / 2, Second / 2}}, 1000, 100},
    {"99.9 % idle is truncated to 99, a load of 1", {{Second * 999 / 1000, 0, Second / 1000}}, 1000, 1},
    {"idle time faster than the clock is never negative", {{Second * 3 / 2, 0, 0}}, 1000, 0},
    {"one idle and one busy processor", {{Second, 0, 0}, {0, 0, Second}}, 1000, 50},
    {"shares 100 and 99 average to 99", {{Second, 0, 0}, {Second * 999 / 1000, 0, 0}}, 1000, 1},
    {"half a second, a quarter idle", {{Second / 4, 0, Second * 3 / 4}}, 500, 75},
    {"the shares of four processors", {{Second / 10, 0, 0}, {Second / 5, 0, 0}, {Second / 2, 0, 0}, {Second, 0, 0}}, 2000, 55},
};

class CpuLoad : public MachineTest {
protected:
    void Processors(uint32_t count) {
        sim::Machine m;
        m.NumberOfProcessors = count;
        Install(m);
        InitOSInfo();
    }
};

TEST_F(CpuLoad, AverageOfTruncatedIdleSharesOverTheInterval) {
    for (const LoadCase& c : LoadCases) {
        Processors(static_cast<uint32_t>(c.Loads.size()));
        sim::SetProcessorLoads(c.Loads);
        ASSERT_TRUE(InitCpuLoad());
        const uint32_t before = platform::GetTickCount();
        EXPECT_EQ(GetCpuLoad(c.IntervalMs), c.Load) << c.What;
        EXPECT_EQ(platform::GetTickCount() - before, c.IntervalMs) << "the call blocks for the interval";
    }
}

// A timer that sleeps while the sampler waits makes the interval longer than asked: the load is
// taken over the time the performance counter saw pass.
uint32_t SleepingTimer = 0;
void SleepOnce(uint32_t id, std::uintptr_t) {
    platform::timeKillEvent(id);
    platform::Sleep(1000);
}

TEST_F(CpuLoad, ElapsedTimeComesFromThePerformanceCounter) {
    Processors(1);
    sim::SetProcessorLoads({{Second / 2, 0, Second / 2}});
    ASSERT_TRUE(InitCpuLoad());
    SleepingTimer = platform::timeSetEvent(500, SleepOnce, 0);
    ASSERT_NE(SleepingTimer, 0u);
    const uint32_t before = platform::GetTickCount();
    const unsigned load = GetCpuLoad(1000);
    ASSERT_GT(platform::GetTickCount() - before, 1000u) << "the timer's sleep lengthened the interval";
    EXPECT_EQ(load, 50u) << "half idle whatever the interval's length";
}

TEST_F(CpuLoad, WithoutTheQueryTheIconStaysOff) {
    Processors(4);
    sim::SetNtQuerySystemInformationPresent(false);
    EXPECT_FALSE(InitCpuLoad());
    EXPECT_EQ(GetCpuLoad(1000), 0);
    sim::SetNtQuerySystemInformationPresent(true);
    EXPECT_TRUE(InitCpuLoad());
    sim::SetProcessorLoads({{0, Second, 0}, {0, Second, 0}, {0, Second, 0}, {0, Second, 0}});
    EXPECT_EQ(GetCpuLoad(1000), 100);
}

// The simulated query fills whole 48-byte entries, no more than the buffer holds.
TEST_F(CpuLoad, SimulatedQueryStaysWithinTheBuffer) {
    Processors(3);
    const platform::SystemInformationQuery query = platform::GetNtQuerySystemInformation();
    ASSERT_NE(query, nullptr);
    std::vector<uint8_t> buffer(2 * 48 + 47, 0xEE);
    EXPECT_EQ(query(platform::SystemProcessorPerformanceInformation, buffer.data(), uint32_t(buffer.size())), 0);
    EXPECT_EQ(buffer[95], 0) << "the second entry's padding";
    EXPECT_EQ(buffer[96], 0xEE) << "a third entry does not fit";
    EXPECT_NE(query(platform::SystemProcessorPerformanceInformation, buffer.data(), 47), 0);
}

}  // namespace
