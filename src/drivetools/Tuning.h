// Acoustic (AAM) and power (APM) management of ATA drives: the stored settings applied at start-up,
// and every drive's settings sent again after a resume from sleep.
#pragma once

#include "device/DriveRecord.h"

// Start-up: when the drive's key holds "AAM", its stored AAM and APM settings ("AAM", "AAM_value",
// "APM", "APM_value"; an absent one reads as 0) are sent where they differ from what the drive
// reported, and the record follows what the drive took. The caller holds a DriveWriter.
void ApplyStoredTuning(DriveRecord& drive);

// After a resume: every monitored drive that supports AAM or APM gets its current state again,
// AAM first. Failures are ignored.
void ReapplyTuning();
