// The persisted state of each drive: its key under the settings key, the table of the key's values,
// the values taken in at start-up, and the writes made the moment a value changes (never at exit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>

#include "device/DriveRecord.h"
#include "system/RegUtils.h"

// Every value of a drive's key; LastReportVersion is the last.
enum class DriveKeyValue : uint8_t {
    StartMonitoringDate,
    PowerOnTimerPeriod,
    TopTemperature,
    Remaped,
    PreFailureReport,
    WarrantyReport,
    MaxRecommendedTempReport,
    PowerOffDetected,
    AverageReadSpeed,
    BufferingReadSpeed,
    MaxReadSpeed,
    StabilityReadSpeed,
    MinReadSpeed,
    AverageAccessTime,
    AverageAccessTimeFrac,
    ReadSpeedsComplete,
    AAM,
    AAM_value,
    APM,
    APM_value,
    ReadTestFailed,
    LastReportVersion,  // the program version that last published the drive's data
};
constexpr std::size_t DriveKeyValueCount = static_cast<std::size_t>(DriveKeyValue::LastReportVersion) + 1;

// The record field a value holds; none for a value that holds no field.
using DriveField = std::variant<std::monostate, bool DriveRecord::*, uint8_t DriveRecord::*, uint16_t DriveRecord::*,
                                uint32_t DriveRecord::*, SystemTime DriveRecord::*>;

struct DriveKeyRow {
    DriveKeyValue Id;
    PersistedValue Value;
    DriveField Field;
};

// One row per value, in the order of DriveKeyValue.
extern const DriveKeyRow DriveKeyTable[DriveKeyValueCount];
const DriveKeyRow& DriveKeyRowOf(DriveKeyValue value);

// The seven read-test results, in the order a measurement stores them.
extern const DriveKeyValue ReadResults[7];

// Opens or creates the drive's key (model, a backslash and serial under SettingsKey) with full
// access into RegKey. RegKey stays 0 when it cannot: every read then gives 0 and every write is
// skipped.
void OpenDriveKey(DriveRecord& drive);

// Start-up: opens the drive's key and takes in its stored state (the monitoring date, the power-on
// timer period, the highest temperature, the once-only alert flags, the read-speed results and the
// sleep flag), reconciled with what the scan found: an episode flag whose condition cleared is
// cleared, and a remapped-sector count above the stored one is alerted. The stored tuning is
// applied by ApplyStoredTuning.
void LoadDriveState(DriveRecord& drive);

// A value of the drive's key; 0 or empty when absent or malformed.
uint32_t DriveValue(const DriveRecord& drive, DriveKeyValue value);
std::string DriveText(const DriveRecord& drive, DriveKeyValue value);
bool DriveValueExists(const DriveRecord& drive, DriveKeyValue value);
// Writes a value to the drive's key; failures are ignored.
void WriteDriveValue(const DriveRecord& drive, DriveKeyValue value, uint32_t number);
void WriteDriveText(const DriveRecord& drive, DriveKeyValue value, const std::string& text);

// The field the value holds, as a number (0 for a date or no field), taken from the drive's key, or
// written to it.
uint32_t DriveFieldNumber(const DriveRecord& drive, DriveKeyValue value);
void LoadDriveField(DriveRecord& drive, DriveKeyValue value);
void StoreDriveField(const DriveRecord& drive, DriveKeyValue value);

// Stores the seven read-test results as one set: start-up takes them only when the last write went
// through, and measures the drive again otherwise.
void StoreReadSpeeds(const DriveRecord& drive);
// After a read test: a success stores the results and clears a stored failure; a failure stores its
// date and makes the stored set incomplete, so that start-up tries the drive again only once a week.
void RecordReadTestSuccess(DriveRecord& drive);
void RecordReadTestFailure(DriveRecord& drive);
