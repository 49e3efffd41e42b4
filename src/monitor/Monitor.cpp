#include "monitor/Monitor.h"

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
#include "smart/Condition.h"
#include "smart/NvmeHealth.h"
#include "smart/PowerOnTime.h"
#include "smart/SmartData.h"
#include "system/FileUtils.h"
#include "system/RegUtils.h"
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
constexpr uint8_t SelfTestInProgress = 15;

std::atomic<uint32_t> RandomSeed{0};
std::atomic<uint32_t> MonitorTimerId{0};

void PumpAndPause() {
    platform::PumpMessages(ApplicationWindow);
    platform::Sleep(RetryPauseMs);
}

// The drive's power state, asked again up to 40 times while the question fails. False when it
// never answered.
bool QueryPowerState(platform::Handle handle, bool& on) {
    if (platform::GetDevicePowerState(handle, on)) return true;
    for (unsigned retry = 0; retry < PowerStateRetries; ++retry) {
        PumpAndPause();
        if (platform::GetDevicePowerState(handle, on)) return true;
    }
    return false;
}

// After a read that wakes the drive: gives it up to ten seconds to spin up. The last answer stands.
void WaitForSpinUp(platform::Handle handle, bool& on) {
    for (unsigned retry = 0; retry < PowerStateRetries && !on; ++retry) {
        PumpAndPause();
        platform::GetDevicePowerState(handle, on);
    }
}

// Whether the value page just read can be evaluated. A wrong checksum is logged the first time and
// never examined again; an empty attribute table is logged every time. Either way only this drive
// waits for the next cycle: the others are still watched.
bool AtaPageUsable(DriveRecord& d) {
    if (!d.ChecksumErrorLogged && !SmartChecksumOk(d)) {
        d.ChecksumErrorLogged = true;
        WriteLog("Checksum error of SMART attributes log.", &d);
        return false;
    }
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
        WriteDriveValue(d, "TopTemperature", d.TopTemperature);
    }
    if (!d.MaxRecommendedTempReport && d.Temperature >= d.TemperatureLimit) AlertTemperature(d);
}

// An episode ends when its condition clears, so that a relapse alerts again.
void FollowEpisodes(DriveRecord& d, bool wasPreFailure, bool wasUnreliable) {
    if (wasPreFailure && !d.PreFailure) {
        d.PreFailureReport = false;
        WriteDriveValue(d, "PreFailureReport", 0);
    }
    if (d.PreFailure && !d.PreFailureReport) AlertPreFailure(d);
    if (wasUnreliable && !d.Unreliable) {
        d.WarrantyReport = false;
        WriteDriveValue(d, "WarrantyReport", 0);
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
    if (CalibratePowerOnTimer(d, platform::GetTickCount())) WriteDriveValue(d, "PowerOnTimerPeriod_v3", d.PowerOnTimerPeriod);
}

// An awake drive: a new value page, evaluated and compared with the one before. False when this
// cycle could not use the page.
bool RefreshDrive(DriveRecord& d) {
    const uint32_t remapped = d.RemappedSectors;
    const bool wasPreFailure = d.PreFailure, wasUnreliable = d.Unreliable;
    const uint8_t temperature = d.Temperature;
    ReadSmartData(d);
    if (!d.IsNVMe && !AtaPageUsable(d)) return false;
    ExtractSmartValues(d);
    if (PowerOnTimerCalibrating(d)) TimePowerOnCounter(d);
    EvaluateCondition(d);
    RecordTemperature(d, temperature);
    if (d.RemapIndex != 0 && d.RemappedSectors != remapped) AlertRemap(d);
    FollowEpisodes(d, wasPreFailure, wasUnreliable);
    return true;
}

enum class SelfTestEnd { Passed, Interrupted, Failed };

void ConcludeSelfTest(DriveRecord& d, SelfTestEnd end, unsigned code) {
    d.ShortSelfTestRunning = false;
    d.ExtendedSelfTestRunning = false;
    switch (end) {
        case SelfTestEnd::Passed: AlertSelfTestPassed(d); break;
        case SelfTestEnd::Interrupted: AlertSelfTestInterrupted(d); break;
        case SelfTestEnd::Failed:
            AlertSelfTestFailed(d);
            WriteLog("Self test failure. Error code - " + std::to_string(code), &d);
            break;
    }
}

// The newest entry of the NVMe self-test log, once no test is running.
void CheckNvmeSelfTest(DriveRecord& d) {
    uint8_t log[NvmeSelfTestLogSize] = {};
    AtaTaskFile tf{};
    tf.Command = ATA_SMART;
    tf.Features = SMART_READ_LOG;
    tf.SectorNumber = NvmeSelfTestLogPage;
    if (!ExecuteCommand(d, tf, log, sizeof log) || (log[0] & 0x0F) != 0) return;
    const unsigned result = log[4] & 0x0F;
    const bool interrupted = (result >= 1 && result <= 4) || result == 8 || result == 9;
    ConcludeSelfTest(d, result == 0 ? SelfTestEnd::Passed : interrupted ? SelfTestEnd::Interrupted : SelfTestEnd::Failed,
                     result);
}

// The self-test execution status of the value page; a test in progress keeps the drive reading.
void CheckAtaSelfTest(DriveRecord& d) {
    const unsigned status = d.SmartData[AtaSelfTestStatusOffset] >> 4;
    if (status == SelfTestInProgress) {
        RandomBlockRead(d);
        return;
    }
    ConcludeSelfTest(d, status == 0 ? SelfTestEnd::Passed : status == 1 ? SelfTestEnd::Interrupted : SelfTestEnd::Failed,
                     status);
}

void CheckSelfTest(DriveRecord& d) {
    if (!d.ShortSelfTestRunning && !d.ExtendedSelfTestRunning) return;
    if (d.IsNVMe) CheckNvmeSelfTest(d);
    else CheckAtaSelfTest(d);
}

void MonitorDrive(DriveRecord& d) {
    {
        DriveReader reader;
        if (d.SmartLost) return;
    }
    // The handle never changes after the scan; the waits below hold no lock.
    const platform::Handle handle = d.Handle;
    bool on = false;
    if (!QueryPowerState(handle, on)) {
        DriveWriter writer;
        d.SmartLost = true;
        WriteLog("GetDevicePowerState failed.", &d);
        AlertDriveLost(d);
        return;
    }
    bool woken = false;
    {
        DriveWriter writer;
        if (d.PowerOnTimerPeriod == 0 && d.PowerTimeIndex != 0) {  // keep a calibrating drive running
            RandomBlockRead(d);
            woken = true;
        }
    }
    if (woken) WaitForSpinUp(handle, on);
    DriveWriter writer;
    d.Sleeping = !on;
    if (d.Sleeping) {  // not read, so as not to wake it
        if (!d.PowerOffDetected) {
            d.PowerOffDetected = true;
            WriteDriveValue(d, "PowerOffDetected", 1);
        }
    } else if (!RefreshDrive(d)) {
        return;
    }
    CheckSelfTest(d);
}

bool PromptShowing(bool (*showing)()) { return showing && showing(); }

// Every sixty cycles: publishing offered for drives whose data was not published by this version,
// else an update looked for.
void RunHourlyStep() {
    const std::string version = ProgramVersion();
    unsigned unpublished = 0;
    for (unsigned i = 0; i < DriveTable.Count; ++i) {
        DriveRecord& d = *DriveTable.Drives[i];
        DriveWriter writer;
        if (d.SmartLost) continue;
        if ((d.RegKey ? RegistryText(d.RegKey, "LastReportVersion") : std::string()) != version) ++unpublished;
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
    const uint32_t block = RawBlockSize(d);
    const int64_t position = RandomBlockPosition(d);
    std::unique_ptr<uint8_t[], AlignedFree> buffer(new (std::align_val_t(PageAlignment)) uint8_t[block]);
    uint32_t read = 0;
    if (platform::SetFilePointerEx(d.Handle, position)) platform::ReadFile(d.Handle, buffer.get(), block, read);
}

void RunMonitorCycle() {
    for (unsigned i = 0; i < DriveTable.Count; ++i) MonitorDrive(*DriveTable.Drives[i]);
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
