// The persisted state of each drive: its key under the settings key, the values taken in at
// start-up, and the writes made the moment a value changes (never at exit).
#pragma once

#include <cstdint>

#include "device/DriveRecord.h"

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

// A REG_DWORD of the drive's key; 0 when absent or malformed.
uint32_t DriveValue(const DriveRecord& drive, const char* name);
bool DriveValueExists(const DriveRecord& drive, const char* name);
// Writes a REG_DWORD to the drive's key; failures are ignored.
void WriteDriveValue(const DriveRecord& drive, const char* name, uint32_t value);

// Stores the seven read-test results as one set: start-up takes them only when the last write went
// through, and measures the drive again otherwise.
void StoreReadSpeeds(const DriveRecord& drive);
