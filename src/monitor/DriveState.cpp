#include "monitor/DriveState.h"

#include <type_traits>

#include "monitor/Alerts.h"
#include "platform/Registry.h"
#include "platform/Time.h"
#include "system/RegUtils.h"
#include "system/Settings.h"

namespace {

// A result field read and set as the REG_DWORD that stores it.
template <auto Field>
uint32_t GetResult(const DriveRecord& d) {
    return d.*Field;
}
template <auto Field>
void SetResult(DriveRecord& d, uint32_t value) {
    d.*Field = static_cast<std::remove_reference_t<decltype(d.*Field)>>(value);
}

// The seven read-test results, in the order a measurement stores them.
const struct ReadSpeedValue {
    const char* Name;
    uint32_t (*Get)(const DriveRecord&);
    void (*Set)(DriveRecord&, uint32_t);
} ReadSpeedValues[] = {
#define RESULT(field) {#field, GetResult<&DriveRecord::field>, SetResult<&DriveRecord::field>}
    RESULT(AverageReadSpeed),
    RESULT(BufferingReadSpeed),
    RESULT(MaxReadSpeed),
    RESULT(StabilityReadSpeed),
    RESULT(MinReadSpeed),
    RESULT(AverageAccessTime),
    RESULT(AverageAccessTimeFrac),
#undef RESULT
};

// Written 0 before a set's first value and 1 after its last, so that a set cut short by a kill is
// never taken for a whole one.
constexpr const char* ReadSpeedsComplete = "ReadSpeedsComplete";

void LoadStartMonitoringDate(DriveRecord& d) {
    d.StartMonitoringDate = RegistryDate(d.RegKey, "StartMonitoringDate");
    if (d.StartMonitoringDate.Year != 0) return;
    platform::GetSystemTime(d.StartMonitoringDate);
    if (d.RegKey) SetRegistryDate(d.RegKey, "StartMonitoringDate", d.StartMonitoringDate);
}

// A stored maximum above 255 is not a temperature this program wrote: it is ignored.
void LoadTopTemperature(DriveRecord& d) {
    const uint32_t stored = DriveValue(d, "TopTemperature");
    if (stored <= 255 && stored > d.TopTemperature) d.TopTemperature = static_cast<uint8_t>(stored);
    if (d.Temperature > d.TopTemperature) d.TopTemperature = d.Temperature;
}

// A stored "alert seen" whose condition no longer holds (it cleared while the program was off) is
// cleared, so that the next episode alerts again.
bool LoadEpisodeFlag(DriveRecord& d, const char* name, bool conditionHolds) {
    if (DriveValue(d, name) == 0) return false;
    if (conditionHolds) return true;
    WriteDriveValue(d, name, 0);
    return false;
}

// Sectors remapped while the program was not running are announced once; a count never stored is
// stored without an alert.
void CompareStoredRemaps(DriveRecord& d) {
    if (d.RemapIndex == 0) return;
    if (DriveValueExists(d, "Remaped"))
        FollowRemapCount(d, DriveValue(d, "Remaped"));
    else
        WriteDriveValue(d, "Remaped", d.RemappedSectors);
}

// Taken only as a whole set. A set without the completeness value was written by an earlier
// version, which wrote the seven values one after the other at the end of its measurement: it is
// taken, since this version always writes the value (0) before the first of its own, and measuring
// every drive again after an update would cost each of them a minute of reads for nothing.
bool StoredReadSpeedsWhole(const DriveRecord& d) {
    for (const ReadSpeedValue& v : ReadSpeedValues)
        if (!DriveValueExists(d, v.Name)) return false;
    return !DriveValueExists(d, ReadSpeedsComplete) || DriveValue(d, ReadSpeedsComplete) == 1;
}

void LoadReadSpeeds(DriveRecord& d) {
    const bool whole = StoredReadSpeedsWhole(d);
    if (whole)
        for (const ReadSpeedValue& v : ReadSpeedValues) v.Set(d, DriveValue(d, v.Name));
    d.PerformanceTestPending = !whole;
    d.MeasuredThisRun = !whole;
}

}  // namespace

void OpenDriveKey(DriveRecord& d) {
    platform::HKey key = 0;
    if (platform::RegCreateKeyEx(SettingsKey, d.Model + "\\" + d.SerialNumber, platform::KEY_ALL_ACCESS, key) !=
        platform::ERROR_SUCCESS)
        key = 0;
    d.RegKey = key;
}

void LoadDriveState(DriveRecord& d) {
    OpenDriveKey(d);
    LoadStartMonitoringDate(d);
    if (!d.IsNVMe && d.PowerTimeIndex != 0) d.PowerOnTimerPeriod = DriveValue(d, "PowerOnTimerPeriod_v3");
    LoadTopTemperature(d);
    d.PreFailureReport = LoadEpisodeFlag(d, "PreFailureReport", d.PreFailure);
    d.WarrantyReport = LoadEpisodeFlag(d, "WarrantyReport", d.Unreliable);
    CompareStoredRemaps(d);
    LoadReadSpeeds(d);
    d.MaxRecommendedTempReport = DriveValue(d, "MaxRecommendedTempReport") != 0;
    d.PowerOffDetected = DriveValue(d, "PowerOffDetected") != 0;
}

uint32_t DriveValue(const DriveRecord& d, const char* name) { return d.RegKey ? RegistryDword(d.RegKey, name) : 0; }

bool DriveValueExists(const DriveRecord& d, const char* name) {
    return d.RegKey != 0 && RegistryValueExists(d.RegKey, name);
}

void WriteDriveValue(const DriveRecord& d, const char* name, uint32_t value) {
    if (d.RegKey) SetRegistryDword(d.RegKey, name, value);
}

void StoreReadSpeeds(const DriveRecord& d) {
    WriteDriveValue(d, ReadSpeedsComplete, 0);
    for (const ReadSpeedValue& v : ReadSpeedValues) WriteDriveValue(d, v.Name, v.Get(d));
    WriteDriveValue(d, ReadSpeedsComplete, 1);
}
