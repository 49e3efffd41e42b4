#include "monitor/Monitor.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "device/DiagnosticLog.h"
#include "device/TIOCTL.h"
#include "monitor/Alerts.h"
#include "monitor/DriveState.h"
#include "platform/Storage.h"
#include "platform/Threads.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "protocol/Bytes.h"
#include "smart/Condition.h"
#include "smart/NvmeHealth.h"
#include "smart/PowerOnTime.h"
#include "smart/SmartData.h"
#include "system/FileUtils.h"
#include "system/Settings.h"

std::atomic<uint32_t> CycleCounter{0};
std::atomic<bool> SkipNextCycle{false};
std::atomic<bool> SuspendSeen{false};
MonitorCallouts Callouts;

namespace {

constexpr unsigned PowerStateRetries = 40;
constexpr uint32_t RetryPauseMs = 250;
constexpr uint32_t CyclePeriodMs = 60000;
constexpr uint32_t CycleResolutionMs = 16;
constexpr uint32_t CyclesPerHour = 60;
constexpr size_t PageAlignment = 4096;
constexpr unsigned AtaSelfTestStatusOffset = 363;
constexpr unsigned AtaExtendedSelfTestTimeOffset = 375;  // the minutes when byte 373 says 255
constexpr unsigned NvmeExtendedSelfTestTimeOffset = 316;  // EDSTT of Identify Controller
constexpr uint8_t TimeTooLongForItsByte = 255;
constexpr uint8_t SelfTestInProgress = 15;
constexpr uint32_t SelfTestMarginMinutes = 30;
constexpr uint64_t MillisecondsPerMinute = 60000;

std::atomic<uint32_t> RandomSeed{0};
std::atomic<uint32_t> MonitorTimerId{0};

void PumpAndPause() {
    platform::PumpMessages(ApplicationWindow);
    platform::Sleep(RetryPauseMs);
}

// One question to the drive, in the dispatcher's slot: a query-remove may reset the handle meanwhile.
bool AskPowerState(DriveRecord& d, bool& on) {
    DriveCallSlot slot;
    return platform::GetDevicePowerState(d.Handle, on);
}

// The drive's power state, asked again up to 40 times while the question fails. False when it
// never answered.
bool QueryPowerState(DriveRecord& d, bool& on) {
    if (AskPowerState(d, on)) return true;
    for (unsigned retry = 0; retry < PowerStateRetries; ++retry) {
        PumpAndPause();
        if (AskPowerState(d, on)) return true;
    }
    return false;
}

// After a read that wakes the drive: gives it up to ten seconds to spin up. The last answer stands.
void WaitForSpinUp(DriveRecord& d, bool& on) {
    for (unsigned retry = 0; retry < PowerStateRetries && !on; ++retry) {
        PumpAndPause();
        AskPowerState(d, on);
    }
}

// What the cycle must know of a drive before it reads it, taken under the reader lock.
struct DriveBefore {
    bool Calibrating;
    bool SctTemperature;
    bool NvmeSelfTestRunning;
    uint32_t SmartFailures;
};

DriveBefore BeforeReading(const DriveRecord& d) {
    return {d.PowerOnTimerPeriod == 0 && d.PowerTimeIndex != 0, TakesSctTemperature(d),
            d.IsNVMe && (d.ShortSelfTestRunning || d.ExtendedSelfTestRunning), d.SmartFailures};
}

// What one cycle reads from a drive without the table lock, recorded afterwards under the writer.
struct DriveReadings {
    bool On = false;
    ValuePageRead Page;
    SctReading Sct;
    bool SelfTestLogRead = false;
    NvmeSelfTestLog SelfTestLog{};
};

void ReadDrive(DriveRecord& d, const DriveBefore& before, DriveReadings& r) {
    if (r.On) {
        ReadValuePage(d, before.SmartFailures, r.Page);
        if (before.SctTemperature) ReadSctTemperature(d, r.Sct);
    }
    if (before.NvmeSelfTestRunning) r.SelfTestLogRead = ReadNvmeSelfTestLog(d, r.SelfTestLog);
}

// Whether the page just read, or after a failed read the last good one, can be evaluated. A damaged
// page is never taken (logged once per drive); an empty attribute table is logged every time; a
// drive whose reads keep failing is given up and announced. Only this drive waits for the next
// cycle: the others are still watched.
bool TakeValuePage(DriveRecord& d, const ValuePageRead& read) {
    switch (RecordValuePage(d, read)) {
        case PageOutcome::DriveLost:
            WriteLog("SMART data could not be read " + std::to_string(d.SmartFailures) + " times.", &d);
            AlertDriveLost(d);
            return false;
        case PageOutcome::Damaged: return false;
        case PageOutcome::Taken:
        case PageOutcome::Unread: break;
    }
    if (d.IsNVMe) return true;
    d.AttributeCount = CountAttributes(d);
    if (d.AttributeCount == 0) {
        WriteLog("SMART attributes count = 0.", &d);
        return false;
    }
    return true;
}

void RecordTemperature(DriveRecord& d, uint8_t before) {
    if (d.Temperature != before) d.TemperatureChanged = true;
    if (d.Temperature == 0) return;
    if (d.Temperature > d.TopTemperature) {
        d.TopTemperature = d.Temperature;
        StoreDriveField(d, DriveKeyValue::TopTemperature);
    }
    if (!d.MaxRecommendedTempReport && d.Temperature >= d.TemperatureLimit) AlertTemperature(d);
}

// An episode ends when its condition clears, so that a relapse alerts again.
void FollowEpisodes(DriveRecord& d, bool wasPreFailure, bool wasUnreliable) {
    if (wasPreFailure && !d.PreFailure) {
        d.PreFailureReport = false;
        StoreDriveField(d, DriveKeyValue::PreFailureReport);
    }
    if (d.PreFailure && !d.PreFailureReport) AlertPreFailure(d);
    if (wasUnreliable && !d.Unreliable) {
        d.WarrantyReport = false;
        StoreDriveField(d, DriveKeyValue::WarrantyReport);
    }
    if (!d.PreFailure && d.Unreliable && !d.WarrantyReport) AlertNonCritical(d);
}

// The calibration hour is measured on the clock from the first page a cycle reads (start-up may
// take long before the first cycle); after a resume it starts again.
void TimePowerOnCounter(DriveRecord& d) {
    if (SkipNextCycle) {
        RestartPowerOnCalibration(d);
        CycleCounter = 0;
    }
    if (CalibratePowerOnTimer(d, platform::GetTickCount())) StoreDriveField(d, DriveKeyValue::PowerOnTimerPeriod);
}

// An awake drive: the new value page, evaluated and compared with the one before. False when this
// cycle could not use the page.
bool RefreshDrive(DriveRecord& d, const DriveReadings& r) {
    const uint32_t remapped = d.RemappedSectors;
    const bool wasPreFailure = d.PreFailure, wasUnreliable = d.Unreliable;
    const uint8_t temperature = d.Temperature;
    if (!TakeValuePage(d, r.Page)) return false;
    ExtractSmartValues(d, r.Sct);
    if (PowerOnTimerCalibrating(d)) TimePowerOnCounter(d);
    EvaluateCondition(d);
    RecordTemperature(d, temperature);
    if (d.RemapIndex != 0) FollowRemapCount(d, remapped);
    FollowEpisodes(d, wasPreFailure, wasUnreliable);
    return true;
}

// The self-test execution status of the value page (high nibble of byte 363) as the ATA standard
// defines it. 15 is a test in progress.
const SelfTestOutcome AtaSelfTestOutcomes[15] = {
    SelfTestOutcome::Passed,       // 0 completed without error
    SelfTestOutcome::Interrupted,  // 1 aborted by the host
    SelfTestOutcome::Interrupted,  // 2 interrupted by a host reset (the computer went to sleep)
    SelfTestOutcome::Failed,       // 3 a fatal or unknown error kept it from completing
    SelfTestOutcome::Failed,       // 4 completed with an unknown element failing
    SelfTestOutcome::Failed,       // 5 ... the electrical element
    SelfTestOutcome::Failed,       // 6 ... the servo or seek element
    SelfTestOutcome::Failed,       // 7 ... the read element
    SelfTestOutcome::Failed,       // 8 ... handling damage suspected
    SelfTestOutcome::Interrupted,  // 9..14 reserved: no verdict
    SelfTestOutcome::Interrupted, SelfTestOutcome::Interrupted, SelfTestOutcome::Interrupted,
    SelfTestOutcome::Interrupted, SelfTestOutcome::Interrupted,
};

void ConcludeSelfTest(DriveRecord& d, SelfTestOutcome outcome, unsigned code) {
    d.ShortSelfTestRunning = false;
    d.ExtendedSelfTestRunning = false;
    switch (outcome) {
        case SelfTestOutcome::Passed: AlertSelfTestPassed(d); break;
        case SelfTestOutcome::Interrupted: AlertSelfTestInterrupted(d); break;
        case SelfTestOutcome::Failed:
            AlertSelfTestFailed(d);
            WriteLog("Self test failure. Error code - " + std::to_string(code), &d);
            break;
    }
}

// The minutes the drive states for the test it runs: the short test's time; the extended test's from
// the value page (its 16-bit field when the byte says 255) or, on NVMe, the controller's EDSTT.
uint32_t StatedSelfTestMinutes(const DriveRecord& d) {
    if (d.ShortSelfTestRunning) return d.ShortSelfTestTime;
    if (d.IsNVMe) return Get16(d.NVMeIdentifyController, NvmeExtendedSelfTestTimeOffset);
    if (d.ExtendedSelfTestTime == TimeTooLongForItsByte)
        return std::max<uint32_t>(TimeTooLongForItsByte, Get16(d.SmartData, AtaExtendedSelfTestTimeOffset));
    return d.ExtendedSelfTestTime;
}

// A test that never reports an end is given twice its stated time and half an hour for the host's
// own commands, which the drive serves first; then it counts as interrupted and is no longer awaited.
bool GiveUpOverdueSelfTest(DriveRecord& d) {
    const uint32_t limitMinutes = 2 * StatedSelfTestMinutes(d) + SelfTestMarginMinutes;
    const uint32_t elapsedMs = platform::GetTickCount() - d.SelfTestStartTick;
    if (elapsedMs < limitMinutes * MillisecondsPerMinute) return false;
    WriteLog("Self test gave no result in " + std::to_string(limitMinutes) + " minutes.", &d);
    ConcludeSelfTest(d, SelfTestOutcome::Interrupted, 0);
    return true;
}

// The newest entry of the NVMe self-test log, once no test is running. True while no end is seen.
bool CheckNvmeSelfTest(DriveRecord& d, const DriveReadings& r) {
    if (!r.SelfTestLogRead || r.SelfTestLog.Running) return true;
    ConcludeSelfTest(d, NvmeSelfTestOutcome(r.SelfTestLog.NewestResult), r.SelfTestLog.NewestResult);
    return false;
}

// The self-test execution status of the value page. True while the test is in progress.
bool CheckAtaSelfTest(DriveRecord& d) {
    const unsigned status = d.SmartData[AtaSelfTestStatusOffset] >> 4;
    if (status == SelfTestInProgress) return true;
    ConcludeSelfTest(d, AtaSelfTestOutcomes[status], status);
    return false;
}

// A running self-test's end. True when an ATA test goes on: the drive is then kept reading.
bool CheckSelfTest(DriveRecord& d, const DriveReadings& r) {
    if (!d.ShortSelfTestRunning && !d.ExtendedSelfTestRunning) return false;
    const bool going = d.IsNVMe ? CheckNvmeSelfTest(d, r) : CheckAtaSelfTest(d);
    return going && !GiveUpOverdueSelfTest(d) && !d.IsNVMe;
}

// Under the DriveWriter: what the cycle read, recorded, evaluated and alerted. True when a running
// ATA self-test wants one block read.
bool RecordReadings(DriveRecord& d, const DriveReadings& r) {
    d.Sleeping = !r.On;
    if (d.Sleeping) {  // not read, so as not to wake it
        if (!d.PowerOffDetected) {
            d.PowerOffDetected = true;
            StoreDriveField(d, DriveKeyValue::PowerOffDetected);
        }
    } else if (!RefreshDrive(d, r)) {
        return false;
    }
    return CheckSelfTest(d, r);
}

// The drive is asked, woken and read without the table lock, so that readers of the records (the
// user-interface thread) never wait for it; the results go into the record under the writer.
void MonitorDrive(DriveRecord& d) {
    DriveBefore before;
    {
        DriveReader reader(d);
        if (d.SmartLost) return;
        before = BeforeReading(d);
    }
    DriveReadings r;
    if (!QueryPowerState(d, r.On)) {
        DriveWriter writer(d);
        d.SmartLost = true;
        WriteLog("GetDevicePowerState failed.", &d);
        AlertDriveLost(d);
        return;
    }
    if (before.Calibrating) {  // keep a calibrating drive running
        RandomBlockRead(d);
        WaitForSpinUp(d, r.On);
    }
    ReadDrive(d, before, r);
    bool keepReading = false;
    {
        DriveWriter writer(d);
        keepReading = RecordReadings(d, r);
    }
    if (keepReading) RandomBlockRead(d);
}

bool PromptShowing(bool (*showing)()) { return showing && showing(); }

// Every sixty cycles: publishing offered for drives whose data was not published by this version,
// else an update looked for.
void RunHourlyStep() {
    const std::string version = ProgramVersion();
    unsigned unpublished = 0;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveWriter writer(i);
        const DriveRecord& d = *writer;
        if (d.SmartLost) continue;
        if (DriveText(d, DriveKeyValue::LastReportVersion) != version) ++unpublished;
    }
    if (unpublished > 0) {
        if (Callouts.PublishPrompt && !PromptShowing(Callouts.PublishPromptShowing))
            platform::CreateThread(Callouts.PublishPrompt);
        return;
    }
    if (Settings.CheckUpdate && Callouts.CheckForUpdate && !PromptShowing(Callouts.UpdatePromptShowing))
        Callouts.CheckForUpdate();
}

void OnMonitorTimer(uint32_t, std::uintptr_t) { RunMonitorCycle(); }

struct AlignedFree {
    void operator()(uint8_t* p) const { ::operator delete[](p, std::align_val_t(PageAlignment)); }
};

}  // namespace

double NextRandom() {
    uint32_t seed = RandomSeed.load();
    uint32_t next = 0;
    do next = seed * 134775813u + 1u;
    while (!RandomSeed.compare_exchange_weak(seed, next));
    return next / 4294967296.0;
}

void ResetRandomSeed() { RandomSeed = 0; }

uint32_t RawBlockSize(const DriveRecord& d) { return d.PhysicalSectorSize ? d.PhysicalSectorSize : 512; }

int64_t RandomBlockPosition(const DriveRecord& d) {
    // Rounded to the nearest integer, halves to even (the default rounding mode), then to its block.
    const int64_t position = static_cast<int64_t>(std::nearbyint(NextRandom() * static_cast<double>(d.AvailableSize)));
    return position - position % RawBlockSize(d);
}

void RandomBlockRead(DriveRecord& d) {
    DriveCallSlot slot;
    const uint32_t block = RawBlockSize(d);
    const int64_t position = RandomBlockPosition(d);
    std::unique_ptr<uint8_t[], AlignedFree> buffer(new (std::align_val_t(PageAlignment)) uint8_t[block]);
    uint32_t read = 0;
    if (platform::SetFilePointerEx(d.Handle, position)) platform::ReadFile(d.Handle, buffer.get(), block, read);
}

void RunMonitorCycle() {
    for (unsigned i = 0; i < DriveCount(); ++i) MonitorDrive(DriveForCommands(i));
    if (Callouts.RefreshDriveIcons) Callouts.RefreshDriveIcons();
    if (SkipNextCycle.exchange(false)) return;
    if (++CycleCounter % CyclesPerHour != 0) return;
    RunHourlyStep();
}

bool StartMonitorTimer() {
    if (MonitorTimerId != 0) return true;
    MonitorTimerId = platform::timeSetEvent(CyclePeriodMs, OnMonitorTimer, 0, CycleResolutionMs);
    return MonitorTimerId != 0;
}

void StopMonitorTimer() {
    const uint32_t id = MonitorTimerId.exchange(0);
    if (id != 0) platform::timeKillEvent(id);
}

void SuspendMonitoring() {
    StopMonitorTimer();
    SuspendSeen = true;
    SkipNextCycle = true;
}

// A resume can come without a suspend before it: the timer is stopped first so that two cycles never
// run at once.
void ResumeMonitoring() {
    StopMonitorTimer();
    RunMonitorCycle();
    StartMonitorTimer();
}

void ResetMonitorState() {
    StopMonitorTimer();
    CycleCounter = 0;
    SkipNextCycle = false;
    SuspendSeen = false;
    Callouts = MonitorCallouts{};
    ApplicationWindow = 0;
    ResetRandomSeed();
}
