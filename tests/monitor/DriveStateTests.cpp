// The drive's persisted state: what start-up takes in from the drive's key, what it makes of values
// another program wrote there, how it squares the stored alerts with what the scan finds, a key
// that cannot be had, and the stored tuning sent to the drive.
#include <gtest/gtest.h>

#include "device/DiagnosticLog.h"
#include "monitor/DriveState.h"
#include "monitor/MonitorTest.h"
#include "platform/sim/PageBuilders.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimSmart.h"
#include "platform/sim/SimUserInterface.h"
#include "system/Settings.h"

namespace {

using monitortest::Dword;
using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_SZ;

using DriveState = MonitorTest;
using Field = uint32_t (*)(const DriveRecord&);
#define FIELD(member) [](const DriveRecord& d) { return static_cast<uint32_t>(d.member); }

constexpr uint32_t Absent = ~0u;

// Drive 0 has every value stored; drive 1 has no power-on counter, six of the seven read-speed
// values and no flags; drive 2 is NVMe. Both SATA drives are at 35 °C.
const struct Loaded {
    unsigned drive;
    const char* name;
    uint32_t stored;
    Field field;
    uint32_t expected;
} LoadedCases[] = {
    {0, "PowerOnTimerPeriod_v3", 60, FIELD(PowerOnTimerPeriod), 60},
    {0, "TopTemperature", 50, FIELD(TopTemperature), 50},
    {0, "PreFailureReport", 1, FIELD(PreFailureReport), 0},  // the drive is healthy: the episode ended
    {0, "WarrantyReport", 1, FIELD(WarrantyReport), 0},
    {0, "MaxRecommendedTempReport", 1, FIELD(MaxRecommendedTempReport), 1},
    {0, "PowerOffDetected", 1, FIELD(PowerOffDetected), 1},
    {0, "AverageAccessTime", 304, FIELD(AverageAccessTime), 304},  // past one byte
    {0, "AverageAccessTimeFrac", 34, FIELD(AverageAccessTimeFrac), 34},
    {0, "AverageReadSpeed", 151, FIELD(AverageReadSpeed), 151},
    {0, "BufferingReadSpeed", 302, FIELD(BufferingReadSpeed), 302},
    {0, "MaxReadSpeed", 183, FIELD(MaxReadSpeed), 183},
    {0, "StabilityReadSpeed", 97, FIELD(StabilityReadSpeed), 97},
    {0, "MinReadSpeed", 64, FIELD(MinReadSpeed), 64},
    {0, nullptr, 0, FIELD(PerformanceTestPending), 0},
    {0, nullptr, 0, FIELD(MeasuredThisRun), 0},
    {1, "PowerOnTimerPeriod_v3", 60, FIELD(PowerOnTimerPeriod), 0},  // nothing to calibrate
    {1, "TopTemperature", 20, FIELD(TopTemperature), 35},           // the current one is higher
    {1, "AverageAccessTime", 12, FIELD(AverageAccessTime), 0},      // MinReadSpeed missing: none taken
    {1, "AverageAccessTimeFrac", 34, FIELD(AverageAccessTimeFrac), 0},
    {1, "AverageReadSpeed", 151, FIELD(AverageReadSpeed), 0},
    {1, "BufferingReadSpeed", 302, FIELD(BufferingReadSpeed), 0},
    {1, "MaxReadSpeed", 183, FIELD(MaxReadSpeed), 0},
    {1, "StabilityReadSpeed", 97, FIELD(StabilityReadSpeed), 0},
    {1, nullptr, 0, FIELD(PerformanceTestPending), 1},
    {1, nullptr, 0, FIELD(MeasuredThisRun), 1},
    {1, "PreFailureReport", Absent, FIELD(PreFailureReport), 0},
    {1, "MaxRecommendedTempReport", Absent, FIELD(MaxRecommendedTempReport), 0},
    {1, "PowerOffDetected", Absent, FIELD(PowerOffDetected), 0},
    {2, "PowerOnTimerPeriod_v3", 60, FIELD(PowerOnTimerPeriod), 1},  // NVMe drives count hours
};

TEST_F(DriveState, StartUpTakesInEveryStoredValueWhereItApplies) {
    const std::vector<std::string> keys = StartAndKill(
        {testmachine::SataDrive("S1", 1), monitortest::SataDriveWithoutPowerOnCounter("S2", 2), monitortest::NvmeDrive()});
    ASSERT_EQ(keys.size(), 3u);
    for (const Loaded& c : LoadedCases)
        if (c.name && c.stored != Absent) monitortest::Store(keys[c.drive], c.name, REG_DWORD, Dword(c.stored));
    StartResidentProgram();
    ASSERT_EQ(DriveCount(), 3);
    for (const Loaded& c : LoadedCases)
        EXPECT_EQ(c.field(DriveForCommands(c.drive)), c.expected) << "drive " << c.drive << " " << (c.name ? c.name : "");
}

// 2020-02-03 08:30 UTC, as a SYSTEMTIME.
const std::vector<uint8_t> Date2020 = {0xE4, 0x07, 2, 0, 1, 0, 3, 0, 8, 0, 30, 0, 0, 0, 0, 0};

TEST_F(DriveState, TheMonitoringDateIsWrittenByTheFirstStartAndKeptAfterwards) {
    const std::vector<std::string> keys =
        StartAndKill({testmachine::SataDrive("S1", 1), testmachine::SataDrive("S2", 2)});
    // The fixture's clock, Monday 2026-01-05 15:04:05.000 UTC, as a SYSTEMTIME.
    const std::vector<uint8_t> clockStart = {0xEA, 0x07, 1, 0, 1, 0, 5, 0, 15, 0, 4, 0, 5, 0, 0, 0};
    std::vector<sim::RegistryWrite> first;
    for (const sim::RegistryWrite& w : sim::RegistryWrites())
        if (w.Name == "StartMonitoringDate") first.push_back(w);
    ASSERT_EQ(first.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(first[i].Key, monitortest::MachineRoot + keys[i]);
        EXPECT_EQ(first[i].Name, "StartMonitoringDate");
        EXPECT_EQ(first[i].Type, REG_BINARY);
        EXPECT_EQ(first[i].Data, clockStart);
    }
    monitortest::Store(keys[1], "StartMonitoringDate", REG_BINARY, Date2020);
    sim::AdvanceTime(3 * 24 * 3600 * 1000ull);
    sim::ClearRegistryWrites();
    StartResidentProgram();
    EXPECT_TRUE(sim::RegistryWrites().empty());
    EXPECT_EQ(DriveForCommands(0).StartMonitoringDate.Day, 5);
    EXPECT_EQ(DriveForCommands(1).StartMonitoringDate.Year, 2020);
    EXPECT_EQ(DriveForCommands(1).StartMonitoringDate.Minute, 30);
}

// A failed read test is due again at start-up a week after it failed, or when the clock was set back
// to before it. The clock is Monday 2026-01-05 15:04:05 UTC; the dates are SYSTEMTIMEs.
TEST_F(DriveState, AFailedReadTestIsDueAgainAWeekAfterItFailed) {
    const struct { std::vector<uint8_t> failed; bool due; } cases[] = {
        {{0xE9, 0x07, 12, 0, 1, 0, 29, 0, 15, 0, 4, 0, 6, 0, 0, 0}, false},  // a second short of a week
        {{0xE9, 0x07, 12, 0, 1, 0, 29, 0, 15, 0, 4, 0, 5, 0, 0, 0}, true},   // a week to the second
        {{0xEA, 0x07, 1, 0, 1, 0, 5, 0, 15, 0, 4, 0, 6, 0, 0, 0}, true},     // a second ahead of the clock
        {{0xE8, 0x07, 2, 0, 4, 0, 29, 0, 12, 0, 0, 0, 0, 0, 0, 0}, true},
    };
    const std::vector<std::string> keys = StartAndKill({testmachine::SataDrive("S1", 1)});
    for (const auto& c : cases) {
        monitortest::Store(keys[0], "ReadTestFailed", REG_BINARY, c.failed);
        StartResidentProgram();
        EXPECT_EQ(DriveForCommands(0).PerformanceTestPending, c.due) << int(c.failed[0]) << " " << int(c.failed[12]);
        KillResidentProgram();
    }
}

// Values another program left in the drive's key. The drive is at 35 °C.
const struct Untrusted {
    const char* what;
    const char* name;
    uint32_t type;
    std::vector<uint8_t> data;
    Field field;
    uint32_t expected;
} UntrustedCases[] = {
    {"a number as text", "TopTemperature", REG_SZ, {'6', '0', 0}, FIELD(TopTemperature), 35},
    {"a number as binary", "PreFailureReport", REG_BINARY, Dword(1), FIELD(PreFailureReport), 0},
    {"a number of 2 bytes", "WarrantyReport", REG_DWORD, {1, 0}, FIELD(WarrantyReport), 0},
    {"a number of 3 bytes", "MaxRecommendedTempReport", REG_DWORD, {1, 0, 0}, FIELD(MaxRecommendedTempReport), 0},
    {"a number of 5 bytes", "PowerOffDetected", REG_DWORD, {1, 0, 0, 0, 0}, FIELD(PowerOffDetected), 0},
    {"a number of 8 bytes", "PowerOnTimerPeriod_v3", REG_DWORD, {60, 0, 0, 0, 0, 0, 0, 0}, FIELD(PowerOnTimerPeriod), 0},
    {"a number of no bytes", "PreFailureReport", REG_DWORD, {}, FIELD(PreFailureReport), 0},
    {"a top temperature of 1000", "TopTemperature", REG_DWORD, Dword(1000), FIELD(TopTemperature), 35},
    {"a top temperature of 256", "TopTemperature", REG_DWORD, Dword(256), FIELD(TopTemperature), 35},
    {"a top temperature of 255", "TopTemperature", REG_DWORD, Dword(255), FIELD(TopTemperature), 255},
    {"a 15-byte date", "StartMonitoringDate", REG_BINARY,
     std::vector<uint8_t>(Date2020.begin(), Date2020.end() - 1), FIELD(StartMonitoringDate.Year), 2026},
    {"a date as text", "StartMonitoringDate", REG_SZ, Date2020, FIELD(StartMonitoringDate.Year), 2026},
};

TEST_F(DriveState, MalformedStoredValuesReadAsAbsent) {
    for (const Untrusted& c : UntrustedCases) {
        Fresh();
        const std::vector<std::string> keys = StartAndKill({testmachine::SataDrive("S1")});
        monitortest::Store(keys[0], c.name, c.type, c.data);
        StartResidentProgram();
        ASSERT_EQ(DriveCount(), 1) << c.what;
        EXPECT_EQ(c.field(DriveForCommands(0)), c.expected) << c.what;
    }
}

// The "alert seen" flag an earlier run stored, against the condition the scan finds now: attribute 5
// below its threshold makes the drive pre-failure, attribute 12 unreliable. A minute later the flag's
// own condition appears (again): a flag the start cleared lets it alert.
enum class Found { Healthy, PreFailure, Unreliable };

void Make(sim::Drive& d, Found found) {
    if (found == Found::PreFailure) sim::SetAttributeValue(d, 5, 30);
    if (found == Found::Unreliable) sim::SetAttributeValue(d, 12, 10);
}

const struct Reconciled {
    const char* what;
    Found found;
    const char* stored;  // set to 1
    Field flag;
    bool kept;
    std::vector<uint32_t> written;  // by the start
    size_t boxes, boxesAfterRelapse;
} ReconciledCases[] = {
    {"pre-failure ended while off", Found::Healthy, "PreFailureReport", FIELD(PreFailureReport), false, {0}, 0, 1},
    {"pre-failure still there", Found::PreFailure, "PreFailureReport", FIELD(PreFailureReport), true, {}, 0, 0},
    {"non-critical ended while off", Found::Healthy, "WarrantyReport", FIELD(WarrantyReport), false, {0}, 0, 1},
    {"non-critical still there", Found::Unreliable, "WarrantyReport", FIELD(WarrantyReport), true, {}, 0, 0},
    {"non-critical turned pre-failure", Found::PreFailure, "WarrantyReport", FIELD(WarrantyReport), false, {0}, 1, 1},
};

TEST_F(DriveState, StartUpClearsAStoredAlertFlagWhoseConditionEndedWhileTheProgramWasOff) {
    for (const Reconciled& c : ReconciledCases) {
        Fresh();
        sim::Drive drive = testmachine::SataDrive("EPISODE", 1);
        Make(drive, c.found);
        const std::vector<std::string> keys = StartAndKill({drive});
        monitortest::Store(keys[0], c.stored, REG_DWORD, Dword(1));
        sim::ClearRegistryWrites();
        StartResidentProgram();
        EXPECT_EQ(c.flag(DriveForCommands(0)) != 0, c.kept) << c.what;
        EXPECT_EQ(monitortest::Written(c.stored), c.written) << c.what;
        RunTimeline(1, nullptr);
        EXPECT_EQ(sim::MessageBoxCalls().size(), c.boxes) << c.what;
        Make(Drive(0), std::string(c.stored) == "PreFailureReport" ? Found::PreFailure : Found::Unreliable);
        RunTimeline(1, nullptr);
        EXPECT_EQ(sim::MessageBoxCalls().size(), c.boxesAfterRelapse) << c.what;
    }
}

const struct RemapCase {
    const char* what;
    uint32_t stored, atStart, inCycle;
    std::vector<uint32_t> written;  // "Remaped", from the start on
    size_t boxes, fallsLogged;
} RemapCases[] = {
    {"never stored: stored, no alert", Absent, 3, 3, {3}, 0, 0},
    {"as stored: nothing", 3, 3, 3, {}, 0, 0},
    {"more while the program was off: one alert", 1, 3, 3, {3}, 1, 0},
    {"fewer while the program was off (another drive in the slot)", 5, 3, 3, {3}, 0, 1},
    {"more in the cycle: one alert", 3, 3, 4, {4}, 1, 0},
    {"fewer in the cycle (a firmware reset)", 3, 3, 0, {0}, 0, 1},
};

TEST_F(DriveState, RemapsAreComparedWithTheStoredCountAtStartUpAndOnlyARiseAlerts) {
    const std::string fell = "Remapped sector count fell";
    for (const RemapCase& c : RemapCases) {
        Fresh();
        sim::Drive drive = testmachine::SataDrive("REMAPS", 1);
        SetRemappedSectors(drive, c.stored == Absent ? c.atStart : c.stored);
        if (c.stored == Absent)
            Install({}).Drives = {drive};
        else
            StartAndKill({drive});  // the first start stores the count
        SetRemappedSectors(Drive(0), c.atStart);
        sim::ClearRegistryWrites();
        StartResidentProgram();
        RunTimeline(2, [&](unsigned minute) {
            if (minute == 1) SetRemappedSectors(Drive(0), c.inCycle);
        });
        EXPECT_EQ(monitortest::Written("Remaped"), c.written) << c.what;
        const std::vector<sim::MessageBoxCall> boxes = sim::MessageBoxCalls();
        ASSERT_EQ(boxes.size(), c.boxes) << c.what;
        for (const sim::MessageBoxCall& b : boxes)
            EXPECT_NE(b.Text.find("New remapped sector is found!"), std::string::npos) << c.what;
        const std::string log = DriveLogText(DriveForCommands(0));
        size_t logged = 0;
        for (size_t at = log.find(fell); at != std::string::npos; at = log.find(fell, at + 1)) ++logged;
        EXPECT_EQ(logged, c.fallsLogged) << c.what << "\n" << log;
    }
}

// Settings key refused: no drive key can be made under it. Drive key refused: the settings key opens.
const struct Unavailable {
    const char* what;
    bool settingsKey;
} UnavailableCases[] = {{"the settings key refused", false}, {"the drive's key refused", true}};

TEST_F(DriveState, WithoutItsKeyADriveReadsNothingWritesNothingAndIsStillMonitored) {
    for (const Unavailable& c : UnavailableCases) {
        Fresh();
        sim::Drive drive = monitortest::SataDriveWithoutPowerOnCounter("S1");
        drive.Events = {{2 * 60000, sim::EventKind::Temperature, 60}, {3 * 60000, sim::EventKind::Sleep, 0}};
        const std::vector<std::string> keys = StartAndKill({drive});
        monitortest::Store(keys[0], "TopTemperature", REG_DWORD, Dword(70));
        monitortest::Store(keys[0], "PreFailureReport", REG_DWORD, Dword(1));
        ASSERT_TRUE(sim::DenyKeyRights(platform::HKEY_LOCAL_MACHINE, c.settingsKey ? keys[0] : "Software\\KORVANTE",
                                       platform::KEY_SET_VALUE));
        sim::ClearRegistryWrites();
        StartResidentProgram();
        ASSERT_EQ(DriveCount(), 1) << c.what;
        const DriveRecord& d = DriveForCommands(0);
        EXPECT_EQ(SettingsKey != 0, c.settingsKey) << c.what;
        EXPECT_EQ(d.RegKey, 0u) << c.what;
        EXPECT_EQ(DriveValue(d, DriveKeyValue::TopTemperature), 0u) << c.what;
        EXPECT_EQ(d.TopTemperature, 35) << c.what;
        EXPECT_FALSE(d.PreFailureReport) << c.what;
        RunTimeline(4, nullptr);
        EXPECT_TRUE(sim::RegistryWrites().empty()) << c.what;
        EXPECT_EQ(CycleCounter, 4u) << c.what;
        EXPECT_EQ(d.Temperature, 60) << c.what;
        EXPECT_EQ(d.TopTemperature, 60) << c.what;
        EXPECT_TRUE(d.Sleeping && d.PowerOffDetected && d.MaxRecommendedTempReport) << c.what;
        EXPECT_EQ(sim::MessageBoxCalls().size(), 1u) << c.what << ": the temperature alert";
    }
}

using testmachine::TunableDrive;

struct Sent {
    uint8_t features, count;
    bool operator==(const Sent& o) const { return features == o.features && count == o.count; }
};

std::vector<Sent> SetFeaturesSent(const sim::Drive& d) {
    std::vector<Sent> sent;
    for (const sim::Request& r : d.History)
        if (r.taskFile.Command == ATA_SET_FEATURES) sent.push_back({r.taskFile.Features, r.taskFile.SectorCount});
    return sent;
}

// The record must show what the drive now reports in IDENTIFY words 86, 91 and 94.
void ExpectRecordFollowsDrive(const DriveRecord& r, const sim::Drive& d, const char* what) {
    const auto word = [&d](unsigned w) { return static_cast<unsigned>(d.Identify[2 * w] | d.Identify[2 * w + 1] << 8); };
    EXPECT_EQ(r.AAM_Enabled, (word(86) & 0x0200) != 0) << what;
    EXPECT_EQ(r.APM_Enabled, (word(86) & 0x0008) != 0) << what;
    EXPECT_EQ(r.AAM_Level, word(94) & 0xFF) << what;
    EXPECT_EQ(r.APM_Level, word(91) & 0xFF) << what;
}

const struct StoredTuning {
    const char* what;
    uint8_t aamLevel, apmLevel;  // the drive's state before: 0 off
    bool apm;                    // the drive has APM
    uint32_t aam, aamValue, apmState, apmValue;  // Absent: not stored
    std::vector<Sent> sent;
} TuningCases[] = {
    {"AAM stored, APM absent: APM switched off", 0x80, 0x80, true, 1, 0x80, Absent, Absent, {{0x85, 0}}},
    {"stored levels differ: sent", 0x80, 0x80, true, 1, 0xFE, 1, 0xC0, {{0x42, 0xFE}, {0x05, 0xC0}}},
    {"stored as the drive is: nothing sent", 0x80, 0x80, true, 1, 0x80, 1, 0x80, {}},
    {"nothing stored: nothing sent", 0x80, 0x80, true, Absent, Absent, Absent, Absent, {}},
    {"APM stored without AAM: nothing sent", 0x80, 0x80, true, Absent, Absent, 0, 0, {}},
    {"stored off: switched off, the level not sent", 0x80, 0, true, 0, 0xFE, 0, 0xC0, {{0xC2, 0}}},
    {"stored on: switched on at the level", 0, 0, true, 1, 0xFE, 1, 0x40, {{0x42, 0xFE}, {0x05, 0x40}}},
    {"no APM on the drive: none sent for it", 0x80, 0, false, 1, 0x80, 1, 0xC0, {}},
};

TEST_F(DriveState, StoredTuningIsSentOnlyWhereItDiffersFromTheDrive) {
    for (const StoredTuning& c : TuningCases) {
        Fresh();
        const std::vector<std::string> keys = StartAndKill({TunableDrive("T1", c.aamLevel, c.apmLevel, c.apm)});
        const std::pair<const char*, uint32_t> stored[] = {
            {"AAM", c.aam}, {"AAM_value", c.aamValue}, {"APM", c.apmState}, {"APM_value", c.apmValue}};
        for (const auto& [name, value] : stored)
            if (value != Absent) monitortest::Store(keys[0], name, REG_DWORD, Dword(value));
        StartResidentProgram();
        ASSERT_EQ(DriveCount(), 1) << c.what;
        EXPECT_EQ(SetFeaturesSent(Drive(0)), c.sent) << c.what;
        ExpectRecordFollowsDrive(DriveForCommands(0), Drive(0), c.what);
    }
}

TEST_F(DriveState, AfterAResumeEverySupportingDriveGetsItsAamThenItsApm) {
    sim::Machine m;
    m.Drives = {TunableDrive("T1", 0x80, 0, true, 1), testmachine::SataDrive("S2", 2), TunableDrive("T3", 0, 0xC0, true, 3)};
    m.SystemEvents = {{90000, sim::SystemEventKind::Suspend}, {150000, sim::SystemEventKind::Resume}};
    Install(std::move(m));
    StartResidentProgram();
    RunTimeline(3, nullptr);
    EXPECT_EQ(SetFeaturesSent(Drive(0)), (std::vector<Sent>{{0x42, 0x80}, {0x85, 0}}));
    EXPECT_TRUE(SetFeaturesSent(Drive(1)).empty()) << "a drive without either feature";
    EXPECT_EQ(SetFeaturesSent(Drive(2)), (std::vector<Sent>{{0xC2, 0}, {0x05, 0xC0}}));
    // The resume's cycle read the drive before the tuning went out.
    const std::vector<sim::Request>& h = Drive(0).History;
    ASSERT_GE(h.size(), 3u);
    EXPECT_EQ(h[h.size() - 3].taskFile.Command, ATA_SMART);
}

}  // namespace
