// The simulated drives' power states, raw reads on the timeline and scripted events.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <tuple>

#include "TestMachine.h"
#include "platform/Storage.h"
#include "platform/Time.h"
#include "platform/sim/SimWorld.h"
#include "protocol/IoctlCodes.h"

namespace {

using sim::PowerState;

class SimPower : public MachineTest {
protected:
    platform::Handle OpenDrive(size_t index) { return platform::CreateFile(sim::Current().Drives.at(index).DevicePath); }
};

// What reaches a drive between two power queries.
enum class Access { None, RawRead, SmartRead, RefusedMethod };

struct PowerCase {
    const char* name;
    PowerState start;
    Access access;
    bool onBefore;
    unsigned wakes;
    bool onAfter;
};
const PowerCase PowerCases[] = {
    {"standby, asked only", PowerState::Standby, Access::None, false, 0, false},
    {"standby, one raw read", PowerState::Standby, Access::RawRead, false, 1, true},
    {"standby, one S.M.A.R.T. read", PowerState::Standby, Access::SmartRead, false, 1, true},
    {"standby, a method its stack refuses", PowerState::Standby, Access::RefusedMethod, false, 0, false},
    {"idle, one raw read", PowerState::Idle, Access::RawRead, true, 0, true},
    {"active, one S.M.A.R.T. read", PowerState::Active, Access::SmartRead, true, 0, true},
};

TEST_F(SimPower, APowerQueryLeavesADriveAsleepAndTheFirstAccessWakesIt) {
    for (const PowerCase& c : PowerCases) {
        sim::ResetWorld();
        sim::Drive d = testmachine::SataDrive("S1");
        d.Power.State = c.start;
        Install({});
        sim::Current().Drives.push_back(d);
        DriveRecord r = testmachine::OpenRecord(0);
        bool on = !c.onBefore;
        ASSERT_TRUE(platform::GetDevicePowerState(r.Handle, on)) << c.name;
        EXPECT_EQ(on, c.onBefore) << c.name;
        ASSERT_TRUE(platform::GetDevicePowerState(r.Handle, on)) << c.name;  // asking twice wakes nothing either
        alignas(512) static uint8_t block[512];
        uint32_t read = 0;
        const AtaTaskFile tf = SmartTaskFile(SMART_READ_DATA, 1);
        uint32_t bytes = 0;
        switch (c.access) {
            case Access::None: break;
            case Access::RawRead: EXPECT_TRUE(platform::ReadFile(r.Handle, block, 512, read)) << c.name; break;
            case Access::SmartRead: EXPECT_TRUE(ExecuteCommand(r, tf, block, 512)) << c.name; break;
            case Access::RefusedMethod:
                EXPECT_FALSE(platform::DeviceIoControl(r.Handle, SMART_RCV_DRIVE_DATA, block, 64,
                                                       block, 512, bytes)) << c.name;
                break;
        }
        ASSERT_TRUE(platform::GetDevicePowerState(r.Handle, on)) << c.name;
        EXPECT_EQ(on, c.onAfter) << c.name;
        const sim::PowerModel& power = sim::Current().Drives[0].Power;
        EXPECT_EQ(power.Wakes, c.wakes) << c.name;
        EXPECT_EQ(power.Queries, 3u) << c.name;
        EXPECT_EQ(power.Reads, c.access == Access::RawRead ? 1u : 0u) << c.name;
    }
}

TEST_F(SimPower, TheQueryFailsAsOftenAsTheFaultSaysAndADriveThatStopsAnsweringFailsEverything) {
    sim::Drive d = testmachine::SataDrive("S1");
    d.Power.QueryFailures = 3;
    Install({});
    sim::Current().Drives.push_back(d);
    DriveRecord r = testmachine::OpenRecord(0);
    bool on = false;
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(platform::GetDevicePowerState(r.Handle, on)) << i;
    EXPECT_TRUE(platform::GetDevicePowerState(r.Handle, on));
    EXPECT_TRUE(on);
    EXPECT_FALSE(platform::GetDevicePowerState(platform::INVALID_HANDLE_VALUE, on));

    sim::Current().Drives[0].Power.Unresponsive = true;
    EXPECT_FALSE(platform::GetDevicePowerState(r.Handle, on));
    alignas(512) static uint8_t block[512];
    uint32_t read = 0;
    EXPECT_FALSE(platform::ReadFile(r.Handle, block, 512, read));
    AtaTaskFile identify;
    identify.Command = 0xEC;
    EXPECT_FALSE(ExecuteCommand(r, identify, block, 512));
    EXPECT_EQ(sim::Current().Drives[0].Power.Queries, 5u) << "the query on no drive reaches none";
}

// The performance counter, in microseconds.
int64_t Microseconds() {
    int64_t count = 0;
    platform::QueryPerformanceCounter(count);
    return count / 10;
}

struct ReadCase {
    int64_t position;
    uint32_t size;
    size_t bufferOffset;  // from a page-aligned buffer
    bool ok;
    uint32_t read;
    int64_t microseconds;  // 12 ms access (none when it continues the last read) + size at 150 MiB/s
};
// Capacity 1 MiB + 1 KiB; worked out by hand: 128 KiB at 150 MiB/s is 833.3 us, 512 bytes 3.3 us.
const ReadCase ReadCases[] = {
    {0, 131072, 0, true, 131072, 12833},
    {131072, 131072, 0, true, 131072, 833},            // continues the last read: no access time
    {524288, 512, 0, true, 512, 12003},
    {1049600, 4096, 0, true, 1024, 12006},             // runs into the end: what is there
    {1050624, 512, 0, true, 0, 0},                     // at the end, where the last read ended: nothing
    {100, 512, 0, false, 0, 0},                        // position not on a sector
    {0, 500, 0, false, 0, 0},                          // size not whole sectors
    {0, 512, 8, false, 0, 0},                          // buffer not on a sector
};

TEST_F(SimPower, RawReadsReturnTheBytesAtTheirPositionAndTakeTheirModelledTime) {
    sim::Drive d = testmachine::SataDrive("S1");
    d.Raw.Capacity = 1050624;
    Install({});
    sim::Current().Drives.push_back(d);
    const platform::Handle h = OpenDrive(0);
    alignas(4096) static uint8_t buffer[131072 + 4096];
    for (const ReadCase& c : ReadCases) {
        std::fill(std::begin(buffer), std::end(buffer), 0xEE);
        ASSERT_TRUE(platform::SetFilePointerEx(h, c.position));
        const int64_t before = Microseconds();
        uint32_t read = 7;
        EXPECT_EQ(platform::ReadFile(h, buffer + c.bufferOffset, c.size, read), c.ok) << c.position;
        EXPECT_EQ(read, c.read) << c.position;
        EXPECT_EQ(Microseconds() - before, c.microseconds) << c.position;
        for (uint32_t i = 0; i < read; ++i)
            ASSERT_EQ(buffer[i], sim::RawByte(c.position + i)) << c.position << "+" << i;
        EXPECT_EQ(buffer[read], 0xEE) << "nothing past what was read";
    }
    EXPECT_EQ(sim::Current().Drives[0].Power.Reads, 5u) << "refused reads never reach the drive";
    EXPECT_FALSE(platform::SetFilePointerEx(h, -512));
    EXPECT_FALSE(platform::SetFilePointerEx(h + 4, 0)) << "no such handle";
}

TEST_F(SimPower, CapacityComesFromTheIdentifyPageUnlessSet) {
    Install({});
    sim::Current().Drives.push_back(testmachine::SataDrive("S1"));  // 1953525168 sectors of 512 bytes
    const platform::Handle h = OpenDrive(0);
    alignas(512) static uint8_t block[1024];
    uint32_t read = 0;
    ASSERT_TRUE(platform::SetFilePointerEx(h, 1953525167ll * 512));
    ASSERT_TRUE(platform::ReadFile(h, block, 1024, read));
    EXPECT_EQ(read, 512u);
    for (uint32_t i = 0; i < read; ++i) ASSERT_EQ(block[i], sim::RawByte(1953525167ull * 512 + i));
    EXPECT_NE(sim::RawByte(0), sim::RawByte(512)) << "sectors differ";
}

// Drive 0 of a machine whose events, listed out of order, happen at minutes 2 to 6.
sim::Drive EventfulDrive() {
    sim::Drive d = testmachine::SataDrive("S1");
    using K = sim::EventKind;
    d.Events = {{6 * 60000, K::Wake, 0},        {2 * 60000, K::Remap, 4},  {3 * 60000, K::Sleep, 0},
                {5 * 60000, K::Temperature, 61}, {6 * 60000, K::Sleep, 0},  {4 * 60000, K::SelfTestResult, 7},
                {5 * 60000, K::Wake, 0}};
    return d;
}

uint8_t RawOfAttribute(const sim::Drive& d, uint8_t id) {
    for (int i = 0; i < 30; ++i)
        if (d.SmartData[2 + 12 * i] == id) return d.SmartData[2 + 12 * i + 5];
    return 0xFF;
}

// What drive 0 looks like, minute by minute.
struct Seen {
    uint8_t remapped, temperature, selfTest;
    PowerState power;
};
std::vector<Seen> Minutes;

void LookAtDrive(uint32_t, std::uintptr_t) {
    const sim::Drive& d = sim::Current().Drives[0];
    Minutes.push_back({RawOfAttribute(d, 5), RawOfAttribute(d, 194), static_cast<uint8_t>(d.SmartData[363] >> 4),
                       d.Power.State});
}

TEST_F(SimPower, EventsFireAtTheirMinuteInOrderBeforeTheTimerOfThatMinute) {
    const Seen expected[] = {
        {0, 35, 0, PowerState::Active},  {4, 35, 0, PowerState::Active},  {4, 35, 0, PowerState::Standby},
        {4, 35, 7, PowerState::Standby}, {4, 61, 7, PowerState::Active},  {4, 61, 7, PowerState::Standby},
        {4, 61, 7, PowerState::Standby},
    };
    for (const uint64_t step : {60000ull, 7 * 60000ull, 1000ull}) {  // however the time is cut
        sim::ResetWorld();
        Install({});
        sim::Current().Drives.push_back(EventfulDrive());
        ASSERT_EQ(RawOfAttribute(sim::Current().Drives[0], 194), 35);
        Minutes.clear();
        platform::timeSetEvent(60000, LookAtDrive, 0);
        for (uint64_t t = 0; t < 7 * 60000; t += step) sim::AdvanceTime(step);
        ASSERT_EQ(Minutes.size(), 7u) << step;
        for (size_t m = 0; m < 7; ++m) {
            EXPECT_EQ(Minutes[m].remapped, expected[m].remapped) << "minute " << m + 1 << ", step " << step;
            EXPECT_EQ(Minutes[m].temperature, expected[m].temperature) << "minute " << m + 1;
            EXPECT_EQ(Minutes[m].selfTest, expected[m].selfTest) << "minute " << m + 1;
            EXPECT_EQ(Minutes[m].power, expected[m].power) << "minute " << m + 1;
        }
    }
}

TEST_F(SimPower, AChecksumEventLeavesTheValuePageWrong) {
    sim::Drive d = testmachine::SataDrive("S1");
    d.Events = {{60000, sim::EventKind::ChecksumError, 0}, {120000, sim::EventKind::StopAnswering, 0}};
    Install({});
    sim::Current().Drives.push_back(d);
    auto sum = [] {
        uint8_t s = 0;
        for (uint8_t b : sim::Current().Drives[0].SmartData) s = static_cast<uint8_t>(s + b);
        return s;
    };
    ASSERT_EQ(sum(), 0);
    sim::AdvanceTime(60000);
    EXPECT_NE(sum(), 0);
    EXPECT_FALSE(sim::Current().Drives[0].Power.Unresponsive);
    sim::AdvanceTime(60000);
    EXPECT_TRUE(sim::Current().Drives[0].Power.Unresponsive);
}

class SimEventFile : public MachineTest {
protected:
    bool Load(const std::string& drive) {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string path = ::testing::TempDir() + "korvante-events-" + std::to_string(stamp) + ".machine";
        std::ofstream(path) << "[drive]\npath = \\\\?\\scsi#disk&ven_a#1\n" << drive;
        const bool ok = sim::LoadMachineFile(path, machine, error);
        std::filesystem::remove(path);
        return ok;
    }
    sim::Machine machine;
    std::string error;
};

TEST_F(SimEventFile, ADriveScriptsItsPowerAndEvents) {
    ASSERT_TRUE(Load("power = standby\npower-query-failures = 2\n"
                     "event = 90 remap 3\nevent = 0 wake\nevent = 5 temperature 70\nevent = 7 self-test 15\n"
                     "event = 8 checksum-error\nevent = 9 stop-answering\nevent = 10 idle\nevent = 11 sleep\n"))
        << error;
    const sim::Drive& d = machine.Drives[0];
    EXPECT_EQ(d.Power.State, PowerState::Standby);
    EXPECT_EQ(d.Power.QueryFailures, 2u);
    using K = sim::EventKind;
    const std::vector<std::tuple<uint64_t, K, uint32_t>> expected = {
        {5400000, K::Remap, 3}, {0, K::Wake, 0}, {300000, K::Temperature, 70}, {420000, K::SelfTestResult, 15},
        {480000, K::ChecksumError, 0}, {540000, K::StopAnswering, 0}, {600000, K::Idle, 0}, {660000, K::Sleep, 0}};
    ASSERT_EQ(d.Events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(d.Events[i].AtMilliseconds, std::get<0>(expected[i])) << i;
        EXPECT_EQ(d.Events[i].Kind, std::get<1>(expected[i])) << i;
        EXPECT_EQ(d.Events[i].Value, std::get<2>(expected[i])) << i;
    }
}

TEST_F(SimEventFile, BadEventLinesSayWhatIsWrong) {
    const std::pair<const char*, const char*> cases[] = {
        {"event = soon sleep", "an event is MINUTE KIND [VALUE]"},
        {"event = 3", "an event is MINUTE KIND [VALUE]"},
        {"event = 3 nap", "unknown event nap"},
        {"event = 3 sleep 1", "event sleep takes no value"},
        {"event = 3 remap", "event remap takes one value"},
        {"event = 3 self-test 16", "bad number 16"},
        {"event = 3 temperature 256", "bad number 256"},
        {"power = off", "power is active, idle or standby"},
        {"power-query-failures = -1", "bad number -1"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Load(std::string(c.first) + "\n")) << c.first;
        EXPECT_NE(error.find(":3: " + std::string(c.second)), std::string::npos) << error;
    }
}

}  // namespace
