// Acoustic (AAM) and power (APM) management of ATA drives: the stored settings applied at start-up,
// and every drive's settings sent again after a resume from sleep.
#pragma once

#include "device/DriveRecord.h"

// The levels SET FEATURES takes: AAM 128..254, APM 1..254. Every level is checked before it is sent,
// and one out of range is refused or clamped, with a line in the drive's log, as each call says.

// Start-up: when the drive's key holds "AAM", its stored AAM and APM settings ("AAM", "AAM_value",
// "APM", "APM_value"; an absent one reads as 0) are sent where they differ from what the drive
// reported, and the record follows what the drive took. A stored level out of range is not applied.
// The caller holds a DriveWriter.
void ApplyStoredTuning(DriveRecord& drive);

// The two features a drive may be tuned in.
enum class TuningFeature { Acoustic, Power };

// What the record says of one feature.
struct TuningState {
    bool Supported = false, Enabled = false;
    uint8_t Level = 0;
};
TuningState CurrentTuning(const DriveRecord& drive, TuningFeature feature);

// The user's changes, sent at once with SET FEATURES; each returns whether the drive took it. On
// success the record follows and the drive is due for a new read measurement
// (PerformanceTestPending); on failure the record keeps the state the drive still has. The caller
// holds a DriveWriter.
// Switching on: AAM at the drive's recommended level brought into range (128 when it recommends none),
// APM at 128.
bool SwitchTuningOn(DriveRecord& drive, TuningFeature feature);
// Switching off: the level reads 0 afterwards.
bool SwitchTuningOff(DriveRecord& drive, TuningFeature feature);
// A new level for a feature that is on, brought into range; the same level is not sent again.
bool SetTuningLevel(DriveRecord& drive, TuningFeature feature, int64_t level);

// Whether the drive supports either feature.
bool IsTunable(const DriveRecord& drive);

// The tuning dialog closed: every drive changed since its last measurement gets its four tuning
// values stored ("AAM", "AAM_value", "APM", "APM_value") and is marked as measured in this run, so
// publishing sends its new figures.
void PersistChangedTuning();

// After a resume: every monitored drive that supports AAM or APM gets its current state again,
// AAM first. Failures are ignored.
void ReapplyTuning();
