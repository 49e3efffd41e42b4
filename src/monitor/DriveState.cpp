#include "monitor/DriveState.h"

#include "monitor/Alerts.h"
#include "platform/Registry.h"
#include "platform/Time.h"
#include "system/RegUtils.h"
#include "system/Settings.h"

namespace {

const char* const ReadSpeedValues[] = {"AverageAccessTime", "AverageAccessTimeFrac", "AverageReadSpeed",
                                       "BufferingReadSpeed", "MaxReadSpeed", "StabilityReadSpeed",
                                       "MinReadSpeed"};

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

void LoadReadSpeeds(DriveRecord& d) {
    for (const char* name : ReadSpeedValues) {
        if (!DriveValueExists(d, name)) {
            d.PerformanceTestPending = true;
            d.MeasuredThisRun = true;
            return;
        }
    }
    d.AverageAccessTime = static_cast<uint8_t>(DriveValue(d, "AverageAccessTime"));
    d.AverageAccessTimeFrac = static_cast<uint8_t>(DriveValue(d, "AverageAccessTimeFrac"));
    d.AverageReadSpeed = static_cast<uint16_t>(DriveValue(d, "AverageReadSpeed"));
    d.BufferingReadSpeed = static_cast<uint16_t>(DriveValue(d, "BufferingReadSpeed"));
    d.MaxReadSpeed = static_cast<uint16_t>(DriveValue(d, "MaxReadSpeed"));
    d.StabilityReadSpeed = static_cast<uint16_t>(DriveValue(d, "StabilityReadSpeed"));
    d.MinReadSpeed = static_cast<uint16_t>(DriveValue(d, "MinReadSpeed"));
    d.PerformanceTestPending = false;
    d.MeasuredThisRun = false;
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
