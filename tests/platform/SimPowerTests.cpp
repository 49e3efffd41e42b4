// The simulated drives' power states, raw reads on the timeline and scripted events.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "TestMachine.h"
#include "platform/Storage.h"
#include "platform/Time.h"
#include "platform/sim/SimWorld.h"
#include "protocol/IoctlCodes.h"

namespace {

using sim::PowerState;

class SimPower : public MachineTest {
protected:
    DriveRecord InstallDrive(const sim::Drive& d) {
        sim::ResetWorld();
        Install({}).Drives.push_back(d);
        return testmachine::OpenRecord(0);
    }
    const sim::PowerModel& Power() { return sim::Current().Drives[0].Power; }
};

alignas(4096) uint8_t Buffer[131072 + 4096];

// What reaches a drive between power queries.
enum class Access { None, RawRead, SmartRead, RefusedMethod };

const struct PowerCase {
    const char* name;
    PowerState start;
    Access access;
    bool onBefore, onAfter;
    unsigned wakes;
} PowerCases[] = {
    {"standby, asked only", PowerState::Standby, Access::None, false, false, 0},
    {"standby, one raw read", PowerState::Standby, Access::RawRead, false, true, 1},
    {"standby, one S.M.A.R.T. read", PowerState::Standby, Access::SmartRead, false, true, 1},
    {"standby, a method its stack refuses", PowerState::Standby, Access::RefusedMethod, false, false, 0},
    {"idle, one raw read", PowerState::Idle, Access::RawRead, true, true, 0},
};

TEST_F(SimPower, APowerQueryLeavesADriveAsleepAndTheFirstAccessWakesIt) {
    for (const PowerCase& c : PowerCases) {
        sim::Drive d = testmachine::SataDrive("S1");
        d.Power.State = c.start;
        DriveRecord r = InstallDrive(d);
        bool on = !c.onBefore;
        ASSERT_TRUE(platform::GetDevicePowerState(r.Handle, on) && platform::GetDevicePowerState(r.Handle, on));
        EXPECT_EQ(on, c.onBefore) << c.name;
        uint32_t bytes = 0;
        switch (c.access) {
            case Access::None: break;
            case Access::RawRead: EXPECT_TRUE(platform::ReadFile(r.Handle, Buffer, 512, bytes)); break;
            case Access::SmartRead: EXPECT_TRUE(ExecuteCommand(r, SmartTaskFile(SMART_READ_DATA, 1), Buffer, 512)); break;
            case Access::RefusedMethod:
                EXPECT_FALSE(platform::DeviceIoControl(r.Handle, SMART_RCV_DRIVE_DATA, Buffer, 64, Buffer, 512, bytes));
        }
        ASSERT_TRUE(platform::GetDevicePowerState(r.Handle, on));
        EXPECT_EQ(on, c.onAfter) << c.name;
        EXPECT_EQ(Power().Wakes, c.wakes) << c.name;
        EXPECT_EQ(Power().Queries, 3u) << c.name;
        EXPECT_EQ(Power().Reads, c.access == Access::RawRead ? 1u : 0u) << c.name;
    }
}

TEST_F(SimPower, TheQueryFailsAsOftenAsTheFaultSaysAndADriveThatStopsAnsweringFailsEverything) {
    sim::Drive d = testmachine::SataDrive("S1");
    d.Power.QueryFailures = 3;
    DriveRecord r = InstallDrive(d);
    bool on = false;
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(platform::GetDevicePowerState(r.Handle, on)) << i;
    EXPECT_TRUE(platform::GetDevicePowerState(r.Handle, on) && on);
    EXPECT_FALSE(platform::GetDevicePowerState(platform::INVALID_HANDLE_VALUE, on));

    sim::Current().Drives[0].Power.Unresponsive = true;
    uint32_t read = 0;
    EXPECT_FALSE(platform::GetDevicePowerState(r.Handle, on));
    EXPECT_FALSE(platform::ReadFile(r.Handle, Buffer, 512, read));
    EXPECT_FALSE(ExecuteCommand(r, SmartTaskFile(SMART_READ_DATA, 1), Buffer, 512));
    EXPECT_EQ(Power().Queries, 5u) << "the query on no drive reaches none";
}

int64_t Microseconds() {
    int64_t count = 0;
    platform::QueryPerformanceCounter(count);
    return count / 10;
}

// Capacity 1 MiB + 1 KiB, a 7200 rpm hard disk with the default timing. Worked out by hand: a read
// that does not continue the cached run first waits 8.5 ms + half a revolution (4.167 ms); the medium
// gives 200 MiB/s at offset 0 falling to 100 at the end (128 KiB at offset 0: 625 us; at 128 KiB, 187.5
// MiB/s: 666.6 us; 512 bytes at 512 KiB, 150.1 MiB/s: 3.3 us; 1 KiB at the end: 9.8 us); a re-read of
// cached data comes at 500 MiB/s (128 KiB: 250 us).
const struct ReadCase {
    int64_t position;
    uint32_t size;
    size_t bufferOffset;  // from a page-aligned buffer
    bool ok;
    uint32_t read;
    int64_t microseconds;
} ReadCases[] = {
    {0, 131072, 0, true, 131072, 13292},
    {131072, 131072, 0, true, 131072, 667},
    {131072, 131072, 0, true, 131072, 250},  // the same block again, from the cache
    {524288, 512, 0, true, 512, 12670},
    {1049600, 4096, 0, true, 1024, 12676},  // runs into the end: what is there
    {1050624, 512, 0, true, 0, 0},          // at the end, where the last read ended: nothing
    {100, 512, 0, false, 0, 0},             // position not on a sector
    {0, 500, 0, false, 0, 0},               // size not whole sectors
    {0, 512, 8, false, 0, 0},               // buffer not on a sector
};

TEST_F(SimPower, RawReadsReturnTheBytesAtTheirPositionAndTakeTheirModelledTime) {
    sim::Drive d = testmachine::SataDrive("S1");
    d.Raw.Capacity = 1050624;
    DriveRecord r = InstallDrive(d);
    for (const ReadCase& c : ReadCases) {
        std::fill(std::begin(Buffer), std::end(Buffer), 0xEE);
        ASSERT_TRUE(platform::SetFilePointerEx(r.Handle, c.position));
        const int64_t before = Microseconds();
        uint32_t read = 7;
        EXPECT_EQ(platform::ReadFile(r.Handle, Buffer + c.bufferOffset, c.size, read), c.ok) << c.position;
        EXPECT_EQ(read, c.read) << c.position;
        EXPECT_EQ(Microseconds() - before, c.microseconds) << c.position;
        for (uint32_t i = 0; i < read; ++i) ASSERT_EQ(Buffer[i], sim::RawByte(c.position + i)) << c.position << "+" << i;
        EXPECT_EQ(Buffer[read], 0xEE) << "nothing past what was read";
    }
    EXPECT_EQ(Power().Reads, 6u) << "refused reads never reach the drive";
    EXPECT_FALSE(platform::SetFilePointerEx(r.Handle, -512));
    EXPECT_NE(sim::RawByte(0), sim::RawByte(512)) << "sectors differ";

    r = InstallDrive(testmachine::SataDrive("S1"));  // capacity from IDENTIFY: 1953525168 sectors
    uint32_t read = 0;
    ASSERT_TRUE(platform::SetFilePointerEx(r.Handle, 1953525167ll * 512));
    EXPECT_TRUE(platform::ReadFile(r.Handle, Buffer, 1024, read));
    EXPECT_EQ(read, 512u);
}

// What drive 0 looks like at a timer's call: remapped sectors, temperature, self-test status, power
// state, whether its value page adds up and whether it answers.
std::vector<std::string> Minutes;

void LookAtDrive(uint32_t, std::uintptr_t) {
    const sim::Drive& d = sim::Current().Drives[0];
    uint8_t sum = 0;
    for (uint8_t b : d.SmartData) sum = static_cast<uint8_t>(sum + b);
    Minutes.push_back(std::to_string(d.SmartData[2 + 12 + 5]) + " " + std::to_string(d.SmartData[2 + 48 + 5]) + " " +
                      std::to_string(d.SmartData[363] >> 4) + " " + "AIS"[static_cast<int>(d.Power.State)] +
                      (sum == 0 ? " sum" : " bad") + (d.Power.Unresponsive ? " mute" : ""));
}

TEST_F(SimPower, EventsFireAtTheirMinuteInOrderBeforeTheTimerOfThatMinute) {
    using K = sim::EventKind;
    sim::Drive d = testmachine::SataDrive("S1");  // attribute 5 second, 194 fifth; listed out of order
    d.Events = {{6 * 60000, K::Wake, 0},  {2 * 60000, K::Remap, 4},          {3 * 60000, K::Sleep, 0},
                {5 * 60000, K::Temperature, 61}, {6 * 60000, K::Sleep, 0}, {4 * 60000, K::SelfTestResult, 7},
                {5 * 60000, K::Wake, 0},  {7 * 60000, K::ChecksumError, 0}, {7 * 60000, K::StopAnswering, 0},
                {7 * 60000 + 1, K::Idle, 0}};
    const std::vector<std::string> expected = {"0 35 0 A sum", "4 35 0 A sum", "4 35 0 S sum",      "4 35 7 S sum",
                                               "4 61 7 A sum", "4 61 7 S sum", "4 61 7 S bad mute", "4 61 7 I bad mute"};
    for (const uint64_t step : {60000ull, 8 * 60000ull, 1000ull}) {  // however the time is cut
        InstallDrive(d);
        Minutes.clear();
        platform::timeSetEvent(60000, LookAtDrive, 0);
        for (uint64_t t = 0; t < 8 * 60000; t += step) sim::AdvanceTime(step);
        EXPECT_EQ(Minutes, expected) << "advancing by " << step << " ms";
    }
}

class SimEventFile : public MachineTest {
protected:
    bool Load(const std::string& drive) {
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string path = ::testing::TempDir() + "korvante-events-" + std::to_string(stamp) + ".machine";
        std::ofstream(path) << "[drive]\npath = \\\\?\\scsi#disk&ven_a#1\n" << drive << "\n";
        const bool ok = sim::LoadMachineFile(path, machine, error);
        std::filesystem::remove(path);
        return ok;
    }
    sim::Machine machine;
    std::string error;
};

TEST_F(SimEventFile, ADriveScriptsItsPowerAndEventsAndBadLinesSayWhatIsWrong) {
    const struct {
        const char* line;
        const char* error;  // empty: loads
        uint64_t at = 0;
        sim::EventKind kind = sim::EventKind::Sleep;
        uint32_t value = 0;
    } cases[] = {
        {"event = 90 remap 3", "", 5400000, sim::EventKind::Remap, 3},
        {"event = 0 wake", "", 0, sim::EventKind::Wake, 0},
        {"event = 5 temperature 70", "", 300000, sim::EventKind::Temperature, 70},
        {"event = 7 self-test 15", "", 420000, sim::EventKind::SelfTestResult, 15},
        {"event = 8 checksum-error", "", 480000, sim::EventKind::ChecksumError, 0},
        {"event = 9 stop-answering", "", 540000, sim::EventKind::StopAnswering, 0},
        {"event = 10 idle", "", 600000, sim::EventKind::Idle, 0},
        {"event = 11 sleep", "", 660000, sim::EventKind::Sleep, 0},
        {"event = 12 attribute 1 40", "", 720000, sim::EventKind::Attribute, 0x128},
        {"event = 13 remap-reset 0", "", 780000, sim::EventKind::RemapReset, 0},
        {"event = 3 attribute 1", "event attribute takes two values"},
        {"event = 3 attribute 1 256", "bad number 256"},
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
        if (*c.error) {
            EXPECT_FALSE(Load(c.line)) << c.line;
            EXPECT_NE(error.find(":3: " + std::string(c.error)), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(Load(c.line)) << error;
        ASSERT_EQ(machine.Drives[0].Events.size(), 1u) << c.line;
        const sim::TimelineEvent& e = machine.Drives[0].Events[0];
        EXPECT_TRUE(e.AtMilliseconds == c.at && e.Kind == c.kind && e.Value == c.value && !e.Fired) << c.line;
    }
    ASSERT_TRUE(Load("power = standby\npower-query-failures = 2")) << error;
    EXPECT_EQ(machine.Drives[0].Power.State, PowerState::Standby);
    EXPECT_EQ(machine.Drives[0].Power.QueryFailures, 2u);
}

// Machine events name the drives described before them; repeats and alerts owed come with them.
TEST_F(SimEventFile, TheMachineScriptsItsEventsAndOwedAlertsAndBadLinesSayWhatIsWrong) {
    const struct {
        const char* line;
        const char* error;  // empty: loads
        sim::SystemEventKind kind = sim::SystemEventKind::Suspend;
        size_t drive = 0;
        uint32_t value = 0;
        uint64_t every = 0;
    } cases[] = {
        {"event = 2 suspend every 1440", "", sim::SystemEventKind::Suspend, 0, 0, 1440 * 60000},
        {"event = 2 wake-unattended", "", sim::SystemEventKind::ResumeAutomatic},
        {"event = 2 remove d0", "", sim::SystemEventKind::RemoveDrive},
        {"event = 2 hold-boxes 60", "", sim::SystemEventKind::HoldBoxes, 0, 60},
        {"event = 2 self-test-start d0 extended", "", sim::SystemEventKind::StartSelfTest, 0, 2},
        {"event = 2 remove d1", "dN names one of the drives described so far"},
        {"event = 2 remove", "the event takes 1 argument(s)"},
        {"event = 2 self-test-start d0 long", "a self-test is short or extended"},
        {"event = 2 suspend every 0", "every takes a number of minutes above 0"},
        {"event = 2 reboot", "unknown machine event reboot"},
        {"expect = 5 d0 smoke", "unknown alert smoke"},
        {"base = built-in", "base comes before every section"},
    };
    for (const auto& c : cases) {
        const bool loaded = Load(std::string("[machine]\n") + c.line);
        if (*c.error) {
            EXPECT_FALSE(loaded) << c.line;
            EXPECT_NE(error.find(":4: " + std::string(c.error)), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(loaded) << error;
        ASSERT_EQ(machine.SystemEvents.size(), 1u) << c.line;
        const sim::SystemEvent& e = machine.SystemEvents[0];
        EXPECT_TRUE(e.AtMilliseconds == 120000 && e.Kind == c.kind && e.Drive == c.drive && e.Value == c.value &&
                    e.EveryMilliseconds == c.every)
            << c.line;
    }
    ASSERT_TRUE(Load("[machine]\nevent = 7 d0 damaged-page\nexpect = 8 d0 remap")) << error;
    EXPECT_EQ(machine.Drives[0].Events.size(), 1u);
    ASSERT_EQ(machine.ExpectedAlerts.size(), 1u);
    EXPECT_EQ(machine.ExpectedAlerts[0].Kind, "remap");
}

}  // namespace

namespace {

TEST_F(SimEventFile, ADriveSetsItsReadTimingAndScriptsFailingReadsAndSeeks) {
    ASSERT_TRUE(Load("media = ssd\ncapacity = 0x100000\nread-speed = 300 150\ninterface-speed = 550\n"
                     "access-time = 90\nrpm = 5400\nreads-fail-after = 7\nseeks-fail-after = 0"))
        << error;
    const sim::RawDisk& raw = machine.Drives[0].Raw;
    EXPECT_TRUE(raw.Kind == sim::Media::Ssd && raw.Capacity == 0x100000u && raw.Rpm == 5400u);
    EXPECT_TRUE(raw.OuterMiBPerSecond == 300 && raw.InnerMiBPerSecond == 150 && raw.InterfaceMiBPerSecond == 550);
    EXPECT_TRUE(raw.AccessMicroseconds == 90 && raw.ReadsBeforeFailure == 7 && raw.SeeksBeforeFailure == 0);
    ASSERT_TRUE(Load("read-speed = 120")) << error;
    EXPECT_TRUE(machine.Drives[0].Raw.OuterMiBPerSecond == 120 && machine.Drives[0].Raw.InnerMiBPerSecond == 120);
    EXPECT_EQ(machine.Drives[0].Raw.ReadsBeforeFailure, -1) << "reads never fail unless scripted";

    const struct {
        const char* line;
        const char* error;
    } bad[] = {
        {"media = tape", "media is hdd, ssd or nvme"},
        {"read-speed = 300 150 100", "read-speed is OUTER [INNER] in MiB/s"},
        {"read-speed = 0", "a rate must be above 0"},
        {"interface-speed = fast", "bad number fast"},
        {"reads-fail-after = -1", "bad number -1"},
    };
    for (const auto& c : bad) {
        EXPECT_FALSE(Load(c.line)) << c.line;
        EXPECT_NE(error.find(":3: " + std::string(c.error)), std::string::npos) << error;
    }
}

}  // namespace
