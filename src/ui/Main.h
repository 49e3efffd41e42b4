// The program's start-up and its answers to the system's power broadcasts, as far as the drives are
// concerned.
#pragma once

#include "device/DriveRecord.h"

// Start-up for one drive: its key opened, its persisted state taken in, its stored tuning applied.
void LoadPersistedDriveState(DriveRecord& drive);

// The system goes to sleep: the monitoring timer stops until the resume.
void OnSystemSuspend();
// The system woke up: one monitoring cycle at once on this thread, the timer started again, and every
// drive's tuning sent again (drives forget it in their sleep).
void OnSystemResume();
