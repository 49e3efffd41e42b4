// The monitor as a resident program lives it: killed at any registry write and started again it
// loses nothing written and writes nothing twice; each cycle costs the drives the commands it
// should and no more; readers of the records meet consistent values while the cycle and the
// alert threads change them, and never wait for a drive the cycle is reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <thread>

#include "monitor/MonitorTest.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSmart.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUserInterface.h"

namespace {

using K = sim::EventKind;
using Reliability = MonitorTest;

constexpr uint64_t Minute = 60000;

// A drive in the pre-failure state: attribute 5 (pre-failure flag set) below its threshold.
sim::Drive FailingDrive(const std::string& serial, unsigned seed) {
    sim::Drive d = testmachine::SataDrive(serial, seed);
    sim::SetAttributeValue(d, 5, 30);
    return d;
}

// Three drives over an hour and two minutes: one counts minutes, warms to 45 °C at minute 10 and
// past its 55 °C limit at 20, cools to 40 at 35, remaps three sectors at 40 and warms to 50 at 50;
// one has no power-on counter and falls asleep at 25 and again at 45 (a restart's scan wakes it);
// one is in the pre-failure state from the start. Two are calibrated at minute 60. A restart that
// forgot a stored value would write it again when the same thing happens after it.
constexpr unsigned ScenarioMinutes = 62;

sim::Machine Scenario() {
    sim::Machine m;
    sim::Drive warm = testmachine::SataDrive("R1", 1);
    warm.Aging.SecondsPerPowerOnUnit = 60;
    warm.Events = {{10 * Minute, K::Temperature, 45}, {20 * Minute, K::Temperature, 56}, {35 * Minute, K::Temperature, 40},
                   {40 * Minute, K::Remap, 3}, {50 * Minute, K::Temperature, 50}};
    sim::Drive sleeper = monitortest::SataDriveWithoutPowerOnCounter("R2", 2);
    sleeper.Events = {{25 * Minute, K::Sleep, 0}, {45 * Minute, K::Sleep, 0}};
    m.Drives = {warm, sleeper, FailingDrive("R3", 3)};
    return m;
}

class KillRestart : public Reliability {
protected:
    // The scenario, with the program killed and started again right after the minute in which the
    // registry took its `killAfter`-th value (at start-up for 0; never for NoWriteLimit); writes
    // after that one in the same minute are lost with the process. Every write that was taken.
    std::vector<sim::RegistryWrite> Live(unsigned killAfter) {
        Fresh();
        Install(Scenario());
        sim::StopRegistryWritesAfter(killAfter);
        bool killed = false;
        const auto killWhenDue = [&] {
            if (killed || sim::RegistryWrites().size() < killAfter) return;
            killed = true;
            KillResidentProgram();
            StartResidentProgram();
        };
        StartResidentProgram();
        killWhenDue();
        RunTimeline(ScenarioMinutes, [&](unsigned) { killWhenDue(); });
        return sim::RegistryWrites();
    }
};

// "<key> : <name> = <data in hexadecimal>".
std::string Text(const sim::RegistryWrite& w) {
    std::string text = w.Key + " : " + w.Name + " =";
    char byte[4];
    for (const uint8_t b : w.Data) {
        std::snprintf(byte, sizeof byte, " %02X", b);
        text += byte;
    }
    return text;
}

std::map<std::string, unsigned> Counted(const std::vector<sim::RegistryWrite>& writes) {
    std::map<std::string, unsigned> counts;
    for (const sim::RegistryWrite& w : writes) ++counts[Text(w)];
    return counts;
}

bool WrittenAgainLater(const std::vector<sim::RegistryWrite>& writes, size_t i) {
    for (size_t j = i + 1; j < writes.size(); ++j)
        if (writes[j].Key == writes[i].Key && writes[j].Name == writes[i].Name) return true;
    return false;
}

TEST_F(KillRestart, AKillAtAnyWriteLosesNothingWrittenAndTheRestartWritesNothingTwice) {
    const std::vector<sim::RegistryWrite> whole = Live(sim::NoWriteLimit);
    std::vector<std::string> names;
    for (const sim::RegistryWrite& w : whole) names.push_back(w.Key.substr(w.Key.rfind('\\') + 1) + " " + w.Name);
    const std::vector<std::string> expected = {
        "R1 StartMonitoringDate", "R1 Remaped",         "R2 StartMonitoringDate", "R2 Remaped",
        "R3 StartMonitoringDate", "R3 Remaped",         "R3 PreFailureReport",
        "R1 TopTemperature",      "R1 TopTemperature",      "R1 MaxRecommendedTempReport", "R2 PowerOffDetected",
        "R1 Remaped",             "R1 PowerOnTimerPeriod_v3", "R3 PowerOnTimerPeriod_v3"};
    ASSERT_EQ(names, expected) << "the scenario writes each kind of value";
    const std::map<std::string, unsigned> allowed = Counted(whole);

    for (unsigned n = 0; n <= whole.size(); ++n) {
        const std::vector<sim::RegistryWrite> cut = Live(n);
        ASSERT_GE(cut.size(), n);
        for (unsigned i = 0; i < n; ++i) {
            EXPECT_EQ(Text(cut[i]), Text(whole[i])) << "killed after " << n << ": the first life ran as the whole one";
            std::vector<uint8_t> now;
            if (!WrittenAgainLater(cut, i)) {
                EXPECT_TRUE(monitortest::Stored(cut[i].Key, cut[i].Name, now) && now == cut[i].Data)
                    << "killed after " << n << ": lost " << Text(cut[i]);
            }
        }
        // A kill before minute 1 means the restart writes the missing monitoring dates at the same
        // virtual time as the first start, so even those match byte for byte.
        for (const auto& [write, count] : Counted(cut)) {
            const auto found = allowed.find(write);
            EXPECT_LE(count, found == allowed.end() ? 0u : found->second) << "killed after " << n << ": " << write;
        }
    }
}

// What a drive does to be watched, and what one cycle must then cost it.
struct CountCase {
    const char* what;
    sim::Drive drive;
    bool selfTestRunning;
    unsigned queries, requests, reads, wakes;
};

// Sleep events just before each of the first three cycles.
std::vector<sim::TimelineEvent> AsleepBeforeEachCycle() {
    return {{Minute / 2, K::Sleep, 0}, {3 * Minute / 2, K::Sleep, 0}, {5 * Minute / 2, K::Sleep, 0}};
}

std::vector<CountCase> CountCases() {
    sim::Drive sct = monitortest::SataDriveWithoutPowerOnCounter("C2", 2);
    sct.Identify = testmachine::SataIdentify("C2").SetBits(206, 0x0001).Bytes();
    sct.Sct.Present = true;
    sct.Sct.Temperature = 35;
    sim::Drive asleep = monitortest::SataDriveWithoutPowerOnCounter("C3", 3);
    asleep.Events = {{Minute / 2, K::Sleep, 0}};
    sim::Drive calibratingAsleep = testmachine::SataDrive("C5", 5);
    calibratingAsleep.Events = AsleepBeforeEachCycle();
    sim::Drive selfTest = monitortest::SataDriveWithoutPowerOnCounter("C6", 6);
    sim::EndSelfTest(selfTest, 15);  // still running
    return {
        {"awake ATA", monitortest::SataDriveWithoutPowerOnCounter("C1", 1), false, 1, 1, 0, 0},
        {"awake ATA with SCT", sct, false, 1, 2, 0, 0},
        {"asleep: never woken", asleep, false, 1, 0, 0, 0},
        {"calibrating", testmachine::SataDrive("C4", 4), false, 1, 1, 1, 0},
        {"calibrating, asleep: woken by its read", calibratingAsleep, false, 2, 1, 1, 1},
        {"ATA self-test running", selfTest, true, 1, 1, 1, 0},
        {"NVMe", monitortest::NvmeDrive(), false, 1, 1, 0, 0},
    };
}

struct Counts {
    unsigned queries, requests, reads, wakes;
};

Counts CountsOf(const sim::Drive& d) { return {d.Power.Queries, d.RequestCount(), d.Power.Reads, d.Power.Wakes}; }

TEST_F(Reliability, EachCycleCostsEveryDriveExactlyItsCommands) {
    const std::vector<CountCase> cases = CountCases();
    sim::Machine& m = Install({});
    for (const CountCase& c : cases) m.Drives.push_back(c.drive);
    StartResidentProgram();
    ASSERT_EQ(DriveCount(), cases.size());
    for (unsigned i = 0; i < DriveCount(); ++i) {
        ASSERT_EQ(DriveForCommands(i).DevicePath, Drive(i).DevicePath) << "the table keeps the machine's order";
        DriveForCommands(i).ShortSelfTestRunning = cases[i].selfTestRunning;
    }
    std::vector<Counts> before;
    for (const sim::Drive& d : sim::Current().Drives) before.push_back(CountsOf(d));
    RunTimeline(3, [&](unsigned minute) {
        for (size_t i = 0; i < cases.size(); ++i) {
            const CountCase& c = cases[i];
            const Counts now = CountsOf(Drive(i));
            EXPECT_EQ(now.queries - before[i].queries, c.queries) << c.what << ", cycle " << minute;
            EXPECT_EQ(now.requests - before[i].requests, c.requests) << c.what << ", cycle " << minute;
            EXPECT_EQ(now.reads - before[i].reads, c.reads) << c.what << ", cycle " << minute;
            EXPECT_EQ(now.wakes - before[i].wakes, c.wakes) << c.what << ", cycle " << minute;
            before[i] = now;
        }
    });
    EXPECT_EQ(CycleCounter, 3u);
}

// One drive remaps a sector a minute and warms three degrees a minute past its limit; one is in the
// pre-failure state, one past an advisory threshold (attribute 12 below its 20).
sim::Machine Busy() {
    sim::Machine m;
    sim::Drive remapping = testmachine::SataDrive("B1", 1);
    remapping.Aging.SecondsPerRemap = 60;
    remapping.Aging.SecondsPerDegree = 20;
    remapping.Aging.WarmsTo = 70;
    sim::Drive unreliable = testmachine::SataDrive("B3", 3);
    sim::SetAttributeValue(unreliable, 12, 10);
    m.Drives = {remapping, FailingDrive("B2", 2), unreliable};
    return m;
}

// What no reader may ever see in a record, however the cycle and the alert threads interleave.
void ExpectConsistent(const DriveRecord& s, const DriveRecord& before, const char* serial) {
    EXPECT_EQ(s.SerialNumber, serial);
    EXPECT_LE(s.Temperature, s.TopTemperature) << serial;
    EXPECT_GE(s.TopTemperature, before.TopTemperature) << serial;
    EXPECT_GE(s.RemappedSectors, before.RemappedSectors) << serial;
    EXPECT_FALSE(s.TemperatureAlertShowing && s.MaxRecommendedTempReport) << serial;
    EXPECT_FALSE(s.PreFailureAlertShowing && s.PreFailureReport) << serial;
    EXPECT_FALSE(s.NonCriticalAlertShowing && s.WarrantyReport) << serial;
}

TEST_F(Reliability, ReadersSeeConsistentRecordsWhileTheCycleAndHeldAlertsChangeThem) {
    constexpr unsigned Minutes = 12;
    const char* const serials[] = {"B1", "B2", "B3"};
    Install(Busy());
    sim::HoldMessageBoxes();
    StartResidentProgram();
    sim::ClearRegistryWrites();  // the start stored each drive's count
    ASSERT_EQ(DriveCount(), 3);
    std::atomic<bool> done{false};
    std::thread clock([&done] {
        for (unsigned m = 0; m < Minutes; ++m) sim::AdvanceTime(Minute);
        done = true;
    });
    // How often boxes get released depends on the threads' real speed: nothing below counts on it.
    DriveRecord last[3];
    unsigned rounds = 0;
    do {
        for (unsigned i = 0; i < 3; ++i) {
            DriveRecord s = SnapshotDrive(i);
            ExpectConsistent(s, last[i], serials[i]);
            last[i].TopTemperature = s.TopTemperature;
            last[i].RemappedSectors = s.RemappedSectors;
        }
        if (++rounds % 64 == 0) sim::ReleaseMessageBox(platform::IDNO);
    } while (!done);
    clock.join();
    sim::StopHoldingMessageBoxes();
    while (sim::ReleaseMessageBox(platform::IDNO)) {
    }
    sim::WaitForWorkers();

    EXPECT_EQ(CycleCounter, Minutes);
    std::map<std::string, unsigned> boxes;
    for (const sim::MessageBoxCall& b : sim::MessageBoxCalls()) ++boxes[b.Text.substr(b.Text.rfind('\n') + 1, 12)];
    EXPECT_EQ(boxes.size(), 4u) << "remap, temperature, pre-failure and non-critical";
    unsigned remapWrites = 0;
    for (const sim::RegistryWrite& w : sim::RegistryWrites()) remapWrites += w.Name == "Remaped";
    EXPECT_EQ(remapWrites, Minutes) << "every new remap is written, box or not";
    const DriveRecord b1 = SnapshotDrive(0), b2 = SnapshotDrive(1), b3 = SnapshotDrive(2);
    EXPECT_TRUE(b1.MaxRecommendedTempReport && b2.PreFailureReport && b3.WarrantyReport);
}

// The drive's reply to one command, held until a reader on the test's thread has come and gone, or
// for half a minute at most (then the reader was kept out, and the test fails without hanging).
struct HeldCommand {
    uint8_t features, sectorNumber;
    std::promise<void> inProgress{};
    std::future<void> readerDone{};
    bool held = false, readerCameFirst = false;
    void Reply(const AtaTaskFile& asked) {  // on the cycle's thread, from the drive's reply hook
        if (held || asked.Features != features || asked.SectorNumber != sectorNumber) return;
        held = true;
        inProgress.set_value();
        readerCameFirst = readerDone.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    }
};

sim::Drive WithSct(sim::Drive d) {
    d.Identify = testmachine::SataIdentify("SLOW").SetBits(206, 0x0001).Bytes();
    d.Sct.Present = true;
    d.Sct.Temperature = 35;
    return d;
}

const struct SlowCase {
    const char* what;
    sim::Drive drive;
    uint8_t features, sectorNumber;  // of the command the drive is slow to answer
} SlowCases[] = {
    {"the value page", monitortest::SataDriveWithoutPowerOnCounter("SLOW", 1), SMART_READ_DATA, 0},
    {"the SCT status", WithSct(monitortest::SataDriveWithoutPowerOnCounter("SLOW", 1)), SMART_READ_LOG,
     SctCommandLog},
};

TEST_F(Reliability, ReadersOfTheRecordsDoNotWaitWhileTheCycleReadsASlowDrive) {
    for (const SlowCase& c : SlowCases) {
        Fresh();
        Install({}).Drives = {c.drive};
        StartResidentProgram();
        StopMonitorTimer();  // the cycle runs on a thread of this test
        ASSERT_EQ(DriveCount(), 1) << c.what;
        const DriveRecord before = SnapshotDrive(0);
        sim::SetTemperature(Drive(0), 41);
        HeldCommand held{c.features, c.sectorNumber};
        std::promise<void> readerDone;
        held.readerDone = readerDone.get_future();
        std::future<void> inProgress = held.inProgress.get_future();
        sim::SetReplyHook([&held](uint32_t, bool result, uint8_t*, uint32_t, uint32_t&) {
            held.Reply(sim::Current().Drives[0].History.back().taskFile);
            return result;
        });
        std::thread cycle(RunMonitorCycle);
        const bool reached = inProgress.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
        const DriveRecord during = SnapshotDrive(0);  // the table's reader lock
        readerDone.set_value();
        cycle.join();
        sim::SetReplyHook(nullptr);
        ASSERT_TRUE(reached) << c.what << ": the command was never sent";
        EXPECT_TRUE(held.readerCameFirst) << c.what << ": the reader waited for the drive";
        EXPECT_EQ(during.Temperature, before.Temperature) << c.what << ": nothing half-recorded";
        EXPECT_TRUE(std::equal(std::begin(before.SmartData), std::end(before.SmartData), during.SmartData)) << c.what;
        EXPECT_EQ(SnapshotDrive(0).Temperature, 41) << c.what << ": recorded afterwards";
    }
}

}  // namespace
