// The process's state as a whole (ProcessState.h).
#include "ui/ProcessState.h"

#include "device/DiagnosticLog.h"
#include "device/TIOCTL.h"
#include "discovery/Scan.h"
#include "monitor/Monitor.h"
#include "net/Installer.h"
#include "net/NetCalls.h"
#include "net/Publish.h"
#include "net/Update.h"
#include "system/Settings.h"
#include "ui/CpuIcon.h"
#include "ui/Main.h"
#include "ui/TrayIcons.h"
#include "ui/TrayMenu.h"

void ResetProcessState() {
    // The threads that run until they are told to stop go first: the sampler draws into its icon and
    // the timer's cycle reads the drive table, both reset below.
    StopCpuIcon();
    ResetMonitorState();
    ResetMainWindow();
    ResetTrayMenu();
    ForgetDriveIcons();
    ResetInstaller();
    ResetUpdate();
    ResetPublishing();
    ResetNetCalls();
    ResetScan();
    ClearGlobalLog();
    SelfTestThrottled = false;
    ResetSettings();
}
