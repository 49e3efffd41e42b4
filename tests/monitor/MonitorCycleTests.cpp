// The monitoring cycle living on the virtual clock: sleeping drives, resumes, the hourly calibration,
// condition episodes, value pages that cannot be used or read, self-test endings (and tests that
// never end) and drives that stop answering.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "TestMachine.h"
#include "monitor/MonitorTest.h"
#include "app/ProgramLife.h"
#include "device/DiagnosticLog.h"
#include "drivetools/SelfTest.h"
#include "monitor/Monitor.h"
#include "platform/Registry.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "platform/sim/PageBuilders.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimSmart.h"
#include "platform/sim/SimSystem.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUserInterface.h"
#include "protocol/Bytes.h"
#include "smart/PowerOnTime.h"
#include "system/RegUtils.h"

namespace {

using monitortest::Written;

using testmachine::SataDrive;
using K = sim::EventKind;
using TimedValues = std::vector<std::pair<unsigned, uint32_t>>;  // (minute, value)

constexpr uint64_t Minute = 60000;
const char Info[] = "KORVANTE :: Information";
const char Warning[] = "KORVANTE :: Warning!";

std::atomic<unsigned> Refreshes{0}, PublishPrompts{0};


size_t Occurrences(const std::string& text, const std::string& line) {
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

std::string Header(const DriveRecord& d) {
    return "Model - " + d.Model + "\r\nSerial number - " + d.SerialNumber + "\r\n";
}

// An earlier run already measured this drive's power-on counter, so the cycle reads nothing from it
// unless it has to.
void RememberPowerOnPeriod(const std::string& serial) {
    platform::HKey key = 0;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, "Software\\KORVANTE\\TESTDISK 1000\\" + serial,
                                       platform::KEY_ALL_ACCESS, key),
              platform::ERROR_SUCCESS);
    SetRegistryDword(key, "PowerOnTimerPeriod_v3", 60);
    platform::RegCloseKey(key);
}

// A SATA disk whose power-on counter starts at `raw` and counts one unit per `secondsPerUnit`.
sim::Drive CountingDrive(const std::string& serial, uint64_t raw, uint32_t secondsPerUnit) {
    std::vector<sim::Attribute> attributes = testmachine::SomeAttributes(1);
    attributes[2].raw = raw;  // attribute 9
    sim::Drive d = SataDrive(serial, 1);
    d.SmartData = sim::SmartValuePage(attributes);
    d.Aging.SecondsPerPowerOnUnit = secondsPerUnit;
    return d;
}

class MonitorCycle : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        Refreshes = PublishPrompts = 0;
    }

    // Installs the machine and starts a program of version 2.1.0.7 on it, the tray refresh and the
    // publish prompt counted; the start-up's registry writes are forgotten.
    void Start(sim::Machine m) {
        sim::SetFileVersion("C:\\Program Files\\KORVANTE\\KORVANTE.exe", {0x00020001, 0x00000007});
        Install(std::move(m));
        StartResidentProgram();
        Callouts.RefreshDriveIcons = [] { ++Refreshes; };
        Callouts.PublishPrompt = [] { ++PublishPrompts; };
        sim::ClearRegistryWrites();
    }
    void Start(std::vector<sim::Drive> drives, std::vector<sim::SystemEvent> power = {}) {
        sim::Machine m;
        m.Drives = std::move(drives);
        m.SystemEvents = std::move(power);
        Start(std::move(m));
    }
    // Each case of a table starts from a world and a process of its own.
    void NewWorld() {
        TearDown();
        SetUp();
    }
    DriveRecord& Record(unsigned i = 0) { return DriveForCommands(i); }

    // Lives `minutes` minutes and gives the minute and value of every write of `value` meanwhile;
    // `each` sees the end of every minute and may change the drives for the next.
    TimedValues Live(unsigned minutes, const std::string& value, const std::function<void(unsigned)>& each = {}) {
        TimedValues writes;
        size_t seen = Written(value).size();
        RunTimeline(minutes, [&](unsigned m) {
            const std::vector<uint32_t> all = Written(value);
            for (; seen < all.size(); ++seen) writes.push_back({m, all[seen]});
            if (each) each(m);
        });
        return writes;
    }
    // How many power queries drive i got in each minute of the life.
    std::vector<unsigned> QueriesPerMinute(unsigned i, unsigned minutes, const std::function<void(unsigned)>& each = {}) {
        std::vector<unsigned> perMinute;
        unsigned last = Drive(i).Power.Queries;
        Live(minutes, "", [&](unsigned m) {
            perMinute.push_back(Drive(i).Power.Queries - last);
            last = Drive(i).Power.Queries;
            if (each) each(m);
        });
        return perMinute;
    }
};

TEST_F(MonitorCycle, ADriveInStandbyCostsOneQueryAMinuteAndIsNeitherReadNorWokenNorAlerted) {
    RememberPowerOnPeriod("NAPPER");
    sim::Drive napper = SataDrive("NAPPER", 1), awake = SataDrive("AWAKE", 2);
    napper.Events = {{Minute / 2, K::Sleep, 0}, {2 * Minute, K::Temperature, 70}, {3 * Minute, K::Remap, 2}};
    awake.Events = {{2 * Minute, K::Temperature, 41}};
    Start({napper, awake});
    const unsigned commands = Drive(0).RequestCount();

    EXPECT_EQ(QueriesPerMinute(0, 5), std::vector<unsigned>(5, 1));
    EXPECT_EQ(Drive(0).RequestCount(), commands) << "no command reached it";
    EXPECT_EQ(Drive(0).Power.Reads, 0u);
    EXPECT_EQ(Drive(0).Power.Wakes, 0u);
    EXPECT_EQ(Written("PowerOffDetected"), std::vector<uint32_t>{1});
    EXPECT_TRUE(Record(0).Sleeping && Record(0).PowerOffDetected);
    EXPECT_EQ(Record(0).Temperature, 35) << "the last value read stays";
    EXPECT_EQ(Record(0).RemappedSectors, 0u);
    EXPECT_TRUE(sim::MessageBoxCalls().empty());
    EXPECT_EQ(Record(1).Temperature, 41) << "the other drive is still read";
    EXPECT_EQ(Refreshes, 5u);
}

TEST_F(MonitorCycle, AResumeRunsACycleAtOnceAndMeasuresTheCalibrationHourAfresh) {
    Start({CountingDrive("CALIB", 9000, 60)}, {{30 * Minute, sim::SystemEventKind::Suspend}, {40 * Minute, sim::SystemEventKind::Resume}});
    constexpr unsigned CyclesToResume = 31;  // thirty on the timer, one at the resume
    std::vector<unsigned> counters;
    TimedValues periods;  // (cycles since the resume, period)
    const std::vector<unsigned> queries = QueriesPerMinute(0, 102, [&](unsigned m) {
        counters.push_back(CycleCounter);
        if (m == 40) {
            EXPECT_EQ(Refreshes, CyclesToResume);
            EXPECT_EQ(Record().PowerTimeCheckPoint, 9040u) << "taken again at the resume";
        }
        const std::vector<uint32_t> all = Written("PowerOnTimerPeriod_v3");
        if (all.size() > periods.size()) periods.push_back({Refreshes - CyclesToResume, all.back()});
    });
    // The resume's cycle reads the calibrating drive (12 ms) before the timer starts again, so from
    // then on the timer's ticks come just after each minute.
    std::vector<unsigned> expectedQueries(102, 1);
    std::fill(expectedQueries.begin() + 30, expectedQueries.begin() + 39, 0u);  // minutes 31..39 asleep
    expectedQueries[40] = 0;
    EXPECT_EQ(queries, expectedQueries);
    EXPECT_EQ(counters[29], 30u);
    EXPECT_EQ(counters[39], 0u) << "the resume's cycle restarts the count and does not add to it";
    EXPECT_EQ(counters[41], 1u);
    // The sixtieth cycle after the resume ends its hour 12 ms late, which a unit of 61 s would fit as
    // well: the next one settles it.
    EXPECT_EQ(periods, (TimedValues{{61, 60}}));
}

TEST_F(MonitorCycle, TheCycleAtAResumeNeverTakesTheHourlyStep) {
    RememberPowerOnPeriod("STEADY");
    Start({SataDrive("STEADY", 1)}, {{59 * Minute, sim::SystemEventKind::Suspend}, {70 * Minute, sim::SystemEventKind::Resume}});
    std::vector<unsigned> promptMinutes;
    Live(71, "", [&](unsigned m) {
        if (PublishPrompts > promptMinutes.size()) promptMinutes.push_back(m);
        if (m == 70) {
            EXPECT_EQ(CycleCounter, 59u);
        }
    });
    EXPECT_EQ(promptMinutes, std::vector<unsigned>{71});
}

const struct HourCase {
    const char* name;
    uint64_t startRaw;
    uint32_t secondsPerUnit;  // 0: the counter stands still
    uint64_t ranSeconds;      // the drive's time on before the machine started: where its ticks fall
    uint32_t cycleSeconds;    // 0: the timer's; otherwise cycles run this far apart, the timer stopped
    TimedValues periods;      // (cycle, period) over 125 cycles
    const char* overflow;     // the log line, or ""
} HourCases[] = {
    {"a counter of minutes", 600000, 60, 0, 0, {{61, 60}}, ""},
    {"a counter of hours", 5000, 3600, 0, 0, {{61, 1}}, ""},
    // The scan's page is not the checkpoint: taken there, the next tick and the one an hour later
    // both fell in the calibration hour and the drive showed half its hours.
    {"a counter of hours that ticks right after the scan", 9002, 3600, 3599, 0, {{61, 1}}, ""},
    {"a counter that stands still", 5000, 0, 0, 0, {{61, 1}}, ""},
    {"a counter that wraps in the first hour", 4294967280ull, 60, 0, 0, {{121, 60}},
     "PowerTime overflow (PowerTimeCheckPoint = 4294967281, PowerTime = 45)"},
    // Slow cycles: sixty of them take 62 minutes; the hour is the clock's, not sixty cycles. (The
    // units and the phases of their ticks are tabled in the calibration's own tests.)
    {"slow cycles, a counter of hours", 5000, 3600, 1000, 62, {{60, 1}}, ""},
    {"slow cycles, a counter of minutes, ticks just before each cycle", 600000, 60, 59, 62, {{61, 60}}, ""},
    {"slow cycles, a counter of seconds", 36000000, 1, 0, 62, {{79, 3600}}, ""},
};

TEST_F(MonitorCycle, TheCalibrationHourIsTheClocksAndTheHoursShownAreTheDrivesOwn) {
    constexpr unsigned Cycles = 125;
    for (const HourCase& c : HourCases) {
        NewWorld();
        sim::Drive drive = CountingDrive("HOURLY", c.startRaw, c.secondsPerUnit);
        drive.Aging.Seconds = c.ranSeconds;
        Start({drive});
        TimedValues periods;
        if (c.cycleSeconds == 0) {
            periods = Live(Cycles, "PowerOnTimerPeriod_v3");
        } else {
            StopMonitorTimer();
            for (unsigned cycle = 1; cycle <= Cycles; ++cycle) {
                sim::PassTime(c.cycleSeconds);
                RunMonitorCycle();
                const std::vector<uint32_t> all = Written("PowerOnTimerPeriod_v3");
                if (all.size() > periods.size()) periods.push_back({cycle, all.back()});
            }
        }
        EXPECT_EQ(periods, c.periods) << c.name;
        sim::WaitForWorkers();
        EXPECT_EQ(PublishPrompts, 2u) << c.name << ": the hourly step still counts sixty cycles";
        // The drive's own hours: its counter (as last read) times its unit.
        const uint64_t hours = c.secondsPerUnit ? uint64_t(Record().PowerTime) * c.secondsPerUnit / 3600 : Record().PowerTime;
        EXPECT_EQ(WorkedHoursText(Record()), std::to_string(hours)) << c.name;
        EXPECT_EQ(Occurrences(DriveLogText(Record()), "PowerTime overflow"), *c.overflow ? 1u : 0u) << c.name;
        if (*c.overflow) {
            EXPECT_NE(DriveLogText(Record()).find(c.overflow), std::string::npos) << DriveLogText(Record());
        }
    }
}

const struct EpisodeCase {
    uint8_t attribute, failing;
    const char* value;
    const char* text;
} EpisodeCases[] = {
    {1, 5, "PreFailureReport", "The pre-failure state is detected! Backup important information!"},
    {12, 10, "WarrantyReport", "Non-critical parameters exceeded design limits. Backup important information!"},
};

TEST_F(MonitorCycle, AConditionThatClearsAndReturnsAlertsOncePerEpisode) {
    for (const EpisodeCase& c : EpisodeCases) {
        NewWorld();
        Start({SataDrive("EPISODE", 1)});
        const TimedValues reports = Live(7, c.value, [&](unsigned m) {
            if (m == 1 || m == 5) sim::SetAttributeValue(Drive(0), c.attribute, c.failing);
            if (m == 3) sim::SetAttributeValue(Drive(0), c.attribute, 100);
        });
        EXPECT_EQ(reports, (TimedValues{{2, 1}, {4, 0}, {6, 1}})) << c.value;
        const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 2u) << c.value;
        for (const sim::MessageBoxCall& b : boxes) EXPECT_EQ(b.Text, Header(Record()) + c.text);
    }
}

TEST_F(MonitorCycle, TheTemperatureAlertComesOnceForGoodEvenAnsweredNoAndAcrossARestart) {
    sim::Drive hot = SataDrive("HOT", 1);
    hot.Events = {{2 * Minute, K::Temperature, 60}};
    Start({hot});
    sim::QueueMessageBoxAnswer(platform::IDNO);
    Live(4, "");
    const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Answer, platform::IDNO);

    KillResidentProgram();
    StartResidentProgram();
    Live(4, "");
    EXPECT_TRUE(sim::MessageBoxCalls().empty()) << "the drive is still at 60 degrees after the restart";
    EXPECT_EQ(Record().Temperature, 60);
    EXPECT_EQ(Written("MaxRecommendedTempReport"), std::vector<uint32_t>{1});
    EXPECT_TRUE(sim::ShellRequests().empty());
}

const struct SpoiltCase {
    const char* name;
    void (*spoil)(sim::Drive&);
    const char* line;
    size_t logged;         // in three cycles
    unsigned attributes;   // counted by the third cycle
} SpoiltCases[] = {
    {"a wrong checksum", sim::CorruptSmartChecksum, "Checksum error of SMART attributes log.", 1, 6},
    {"no attributes", sim::EraseAttributeTable, "SMART attributes count = 0.", 3, 0},
};

TEST_F(MonitorCycle, AnUnusablePageSkipsOnlyItsDriveAndTheCycleGoesOn) {
    for (const SpoiltCase& c : SpoiltCases) {
        NewWorld();
        sim::Drive bad = SataDrive("BAD", 1), good = SataDrive("GOOD", 2);
        good.Events = {{2 * Minute, K::Temperature, 41}};
        Start({bad, good});
        const std::vector<uint8_t> page = Drive(0).SmartData;
        c.spoil(Drive(0));
        unsigned goodCommands = Drive(1).RequestCount();
        Live(3, "", [&](unsigned m) {
            EXPECT_GT(Drive(1).RequestCount(), goodCommands) << c.name << ", minute " << m;
            goodCommands = Drive(1).RequestCount();
        });
        EXPECT_EQ(Occurrences(DriveLogText(Record(0)), c.line), c.logged) << c.name;
        EXPECT_EQ(Record(0).AttributeCount, c.attributes) << c.name;
        EXPECT_EQ(Record(1).Temperature, 41) << c.name;
        EXPECT_EQ(Refreshes, 3u) << c.name;
        EXPECT_EQ(CycleCounter, 3u) << c.name;

        Drive(0).SmartData = page;  // the page is normal again
        Live(2, "");
        EXPECT_EQ(Occurrences(DriveLogText(Record(0)), c.line), c.logged) << c.name;
        EXPECT_EQ(Record(0).AttributeCount, 6) << c.name;
    }
}

const struct SelfTestCase {
    bool nvme;
    uint8_t result;
    const char* caption;
    const char* text;
    const char* failure;  // the log line, or ""
} SelfTestCases[] = {
    {true, 0, Info, "Self-diagnostics is successfully completed.", ""},
    {true, 7, Warning, "Self-diagnostics detected a nonrecoverable error!", "Self test failure. Error code - 7"},
    {true, 9, Info, "Self-diagnostics is interrupted by another process.", ""},
    {false, 0, Info, "Self-diagnostics is successfully completed.", ""},
    {false, 1, Info, "Self-diagnostics is interrupted by another process.", ""},
    {false, 2, Info, "Self-diagnostics is interrupted by another process.", ""},  // a host reset: the PC slept
    {false, 3, Warning, "Self-diagnostics detected a nonrecoverable error!", "Self test failure. Error code - 3"},
    {false, 4, Warning, "Self-diagnostics detected a nonrecoverable error!", "Self test failure. Error code - 4"},
    {false, 8, Warning, "Self-diagnostics detected a nonrecoverable error!", "Self test failure. Error code - 8"},
    {false, 9, Info, "Self-diagnostics is interrupted by another process.", ""},  // reserved: no verdict
    {false, 14, Info, "Self-diagnostics is interrupted by another process.", ""},
};

TEST_F(MonitorCycle, TheEndOfASelfTestIsAlertedOnceWithItsResult) {
    for (const SelfTestCase& c : SelfTestCases) {
        NewWorld();
        sim::Machine m;
        std::string error;
        if (c.nvme)
            ASSERT_TRUE(sim::LoadMachineFile(std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/nvme-synthetic.machine",
                                             m, error))
                << error;
        else
            m.Drives = {SataDrive("TESTED", 1)};
        Start(std::move(m));
        Record().ExtendedSelfTestRunning = true;
        sim::EndSelfTest(Drive(0), c.result);
        Live(2, "");
        const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 1u) << c.text << " " << unsigned(c.result);
        EXPECT_EQ(boxes[0].Text, Header(Record()) + c.text);
        EXPECT_EQ(boxes[0].Caption, c.caption);
        EXPECT_FALSE(Record().ShortSelfTestRunning || Record().ExtendedSelfTestRunning);
        EXPECT_EQ(Occurrences(DriveLogText(Record()), "Self test failure"), *c.failure ? 1u : 0u);
        if (*c.failure) {
            EXPECT_NE(DriveLogText(Record()).find(c.failure), std::string::npos) << DriveLogText(Record());
        }
    }
}

TEST_F(MonitorCycle, AnAtaSelfTestInProgressCostsOneRawReadPerCycle) {
    RememberPowerOnPeriod("TESTED");
    Start({SataDrive("TESTED", 1)});
    Record().ShortSelfTestRunning = true;
    sim::EndSelfTest(Drive(0), 15);
    Live(3, "");
    EXPECT_EQ(Drive(0).Power.Reads, 3u);
    EXPECT_TRUE(sim::MessageBoxCalls().empty());
    EXPECT_TRUE(Record().ShortSelfTestRunning);

    sim::EndSelfTest(Drive(0), 0);
    Live(2, "");
    EXPECT_EQ(Drive(0).Power.Reads, 3u) << "a finished test reads nothing";
    EXPECT_EQ(sim::MessageBoxCalls().size(), 1u);
    EXPECT_FALSE(Record().ShortSelfTestRunning);
}

// A test the drive never reports an end of is given twice the time the drive states for it and half
// an hour, counted from its start; the first cycle after that (the test started half a minute
// before a cycle) announces it interrupted.
sim::Drive WithExtendedTimeInItsWord(sim::Drive d, uint16_t minutes) {
    sim::SmartCapabilities longTest;
    longTest.extendedMinutes = 255;
    d.SmartData = sim::SmartValuePage(testmachine::SomeAttributes(1), longTest);
    Put16(d.SmartData.data(), 375, minutes);
    sim::SealChecksum(d.SmartData);
    return d;
}

sim::Drive WithNvmeExtendedTime(sim::Drive d, uint16_t minutes) {
    Put16(d.NvmeIdentifyController.data(), 316, minutes);
    return d;
}

const struct OverdueCase {
    const char* what;
    sim::Drive drive;
    SelfTestKind kind;
    unsigned announcedAt;  // the minute of the box
} OverdueCases[] = {
    {"ATA short, 2 minutes", SataDrive("STUCK", 1), SelfTestKind::Short, 2 * 2 + 30 + 1},
    {"ATA extended, 120 minutes", SataDrive("STUCK", 1), SelfTestKind::Extended, 2 * 120 + 30 + 1},
    {"ATA extended, 300 minutes in the word", WithExtendedTimeInItsWord(SataDrive("STUCK", 1), 300),
     SelfTestKind::Extended, 2 * 300 + 30 + 1},
    {"NVMe short, 2 minutes", monitortest::NvmeDrive(), SelfTestKind::Short, 2 * 2 + 30 + 1},
    {"NVMe extended, EDSTT 45 minutes", WithNvmeExtendedTime(monitortest::NvmeDrive(), 45), SelfTestKind::Extended,
     2 * 45 + 30 + 1},
};

TEST_F(MonitorCycle, ASelfTestThatNeverEndsIsAnnouncedInterruptedAfterTwiceItsTimeAndAMargin) {
    for (const OverdueCase& c : OverdueCases) {
        NewWorld();
        Start({c.drive});
        sim::AdvanceTime(Minute / 2);  // the test starts half a minute before a cycle
        ASSERT_EQ(StartSelfTest(Record(), c.kind), SelfTestStart::Started) << c.what;
        Drive(0).AtaSelfTest.Code = 0;  // the drive forgets it: "in progress" for ever
        Drive(0).NvmeSelfTest.Duration = Drive(0).NvmeSelfTest.SecondsLeft = 0xFFFFFFFF;
        std::vector<unsigned> boxMinutes;
        Live(c.announcedAt + 5, "", [&](unsigned m) {
            for (size_t n = sim::MessageBoxCalls().size(); boxMinutes.size() < n;) boxMinutes.push_back(m);
            if (m == c.announcedAt - 1) {
                EXPECT_EQ(StartSelfTest(Record(), c.kind), SelfTestStart::AlreadyRunning) << c.what;
            }
        });
        EXPECT_EQ(boxMinutes, std::vector<unsigned>{c.announcedAt}) << c.what;
        const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), 1u) << c.what;
        EXPECT_EQ(boxes[0].Text, Header(Record()) + "Self-diagnostics is interrupted by another process.");
        const std::string line = "Self test gave no result in " + std::to_string(c.announcedAt - 1) + " minutes.";
        EXPECT_EQ(Occurrences(DriveLogText(Record()), line), 1u) << c.what << "\n" << DriveLogText(Record());
        EXPECT_EQ(StartSelfTest(Record(), c.kind), SelfTestStart::Started) << c.what << ": no longer awaited";
    }
}

// Pages that fail their checksum, the second time carrying what would raise every alert.
const struct DamageCase {
    const char* what;
    void (*damage)(sim::Drive&);
} DamageCases[] = {
    {"a temperature of 99", [](sim::Drive& d) { sim::SetTemperature(d, 99); }},
    {"five remapped sectors", [](sim::Drive& d) { sim::RemapSectors(d, 5); }},
    {"a pre-failure attribute below its threshold", [](sim::Drive& d) { sim::SetAttributeValue(d, 1, 5); }},
    {"an advisory attribute below its threshold", [](sim::Drive& d) { sim::SetAttributeValue(d, 12, 10); }},
};

TEST_F(MonitorCycle, APageThatFailsItsChecksumIsNeverTakenNorEvaluatedAndTheLastGoodOneStands) {
    for (const DamageCase& c : DamageCases) {
        NewWorld();
        RememberPowerOnPeriod("DAMAGED");
        Start({SataDrive("DAMAGED", 1)});
        const std::vector<uint8_t> good = Drive(0).SmartData;
        const DriveRecord before = SnapshotDrive(0);
        sim::CorruptSmartChecksum(Drive(0));  // the first damaged page of this run
        Live(6, "", [&](unsigned m) {
            if (m == 1 || m == 4) Drive(0).SmartData = good;
            if (m == 2) {
                c.damage(Drive(0));
                sim::CorruptSmartChecksum(Drive(0));
            }
            if (m == 3) {
                const DriveRecord now = SnapshotDrive(0);
                EXPECT_TRUE(std::equal(good.begin(), good.end(), now.SmartData)) << c.what << ": the good page stays";
            }
        });
        EXPECT_TRUE(sim::MessageBoxCalls().empty()) << c.what;
        for (const char* value : {"TopTemperature", "Remaped", "PreFailureReport", "WarrantyReport"})
            EXPECT_TRUE(Written(value).empty()) << c.what << ": " << value;
        EXPECT_EQ(Record().TopTemperature, before.TopTemperature) << c.what;
        EXPECT_EQ(Record().Temperature, before.Temperature) << c.what;
        EXPECT_EQ(Record().RemappedSectors, 0u) << c.what;
        EXPECT_FALSE(Record().PreFailure || Record().Unreliable) << c.what;
        EXPECT_EQ(Occurrences(DriveLogText(Record()), "Checksum error of SMART attributes log."), 1u) << c.what;
    }
}

TEST_F(MonitorCycle, ADriveWhoseValuePageCannotBeReadIsGivenUpAtTheTenthFailureWithOneBox) {
    RememberPowerOnPeriod("UNREAD");
    Start({SataDrive("UNREAD", 1)});
    Drive(0).Faults.push_back({AccessMethod::ATA, ATA_SMART, SMART_READ_DATA, sim::FaultKind::Refuse});
    std::vector<unsigned> boxMinutes, queries;
    unsigned asked = Drive(0).Power.Queries;
    Live(12, "", [&](unsigned m) {
        for (size_t n = sim::MessageBoxCalls().size(); boxMinutes.size() < n;) boxMinutes.push_back(m);
        queries.push_back(Drive(0).Power.Queries - asked);
        asked = Drive(0).Power.Queries;
    });
    EXPECT_EQ(boxMinutes, std::vector<unsigned>{10});
    ASSERT_EQ(sim::MessageBoxCalls().size(), 1u);
    EXPECT_EQ(sim::MessageBoxCalls()[0].Text, Header(Record()) + "Control over the drive has been lost!");
    EXPECT_TRUE(Record().SmartLost);
    EXPECT_EQ(queries, (std::vector<unsigned>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0})) << "no longer watched";
    EXPECT_EQ(Occurrences(DriveLogText(Record()), "SMART data could not be read 10 times."), 1u);
}

const struct LostCase {
    unsigned failures;
    bool lost;
    unsigned queries, pumpPasses;
    int64_t waitedMs;
} LostCases[] = {
    {39, false, 40, 39, 9750},
    {40, false, 41, 40, 10000},
    {41, true, 41, 40, 10000},
};

TEST_F(MonitorCycle, ADriveIsLostAfterFortyFailedRetriesOfItsPowerQuery) {
    for (const LostCase& c : LostCases) {
        NewWorld();
        RememberPowerOnPeriod("FADING");
        Start({SataDrive("FADING", 1)});
        StopMonitorTimer();  // the cycles run here, one at a time
        Drive(0).Power.QueryFailures = c.failures;
        const unsigned queries = Drive(0).Power.Queries, passes = sim::MessagePumpPasses();
        const int64_t start = static_cast<int64_t>(sim::UptimeMicroseconds());
        RunMonitorCycle();
        EXPECT_EQ(Drive(0).Power.Queries - queries, c.queries) << c.failures;
        EXPECT_EQ(sim::MessagePumpPasses() - passes, c.pumpPasses) << c.failures;
        EXPECT_EQ(static_cast<int64_t>(sim::UptimeMicroseconds()) - start, c.waitedMs * 1000) << c.failures;
        EXPECT_EQ(Record().SmartLost, c.lost) << c.failures;

        RunMonitorCycle();
        sim::WaitForWorkers();
        EXPECT_EQ(Drive(0).Power.Queries - queries, c.queries + (c.lost ? 0 : 1)) << "a lost drive is not asked again";
        const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), c.lost ? 1u : 0u) << c.failures;
        if (c.lost) {
            EXPECT_EQ(boxes[0].Text, Header(Record()) + "Control over the drive has been lost!");
        }
        EXPECT_EQ(Occurrences(DriveLogText(Record()), "GetDevicePowerState failed."), c.lost ? 1u : 0u);
    }
}

}  // namespace
