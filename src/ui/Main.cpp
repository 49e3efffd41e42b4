#include "ui/Main.h"

#include "drivetools/Tuning.h"
#include "monitor/DriveState.h"
#include "monitor/Monitor.h"

void LoadPersistedDriveState(DriveRecord& drive) {
    DriveWriter writer;
    LoadDriveState(drive);
    ApplyStoredTuning(drive);
}

void OnSystemSuspend() { SuspendMonitoring(); }

void OnSystemResume() {
    ResumeMonitoring();
    ReapplyTuning();
}
