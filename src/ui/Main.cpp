#include "ui/Main.h"

#include <utility>

#include "device/TIOCTL.h"
#include "discovery/Scan.h"
#include "drivetools/Tuning.h"
#include "monitor/Alerts.h"
#include "monitor/DriveState.h"
#include "monitor/Monitor.h"
#include "net/Installer.h"
#include "net/NetCalls.h"
#include "net/Publish.h"
#include "net/Update.h"
#include "knowledge/VendorSite.h"
#include "platform/Entry.h"
#include "platform/FileVersion.h"
#include "platform/RichEdit.h"
#include "platform/Storage.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"
#include "platform/Threads.h"
#include "platform/UserInterface.h"
#include "system/OSInfo.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "system/Utils.h"
#include "ui/CpuIcon.h"
#include "ui/DatabasePages.h"
#include "ui/DialogFrame.h"
#include "ui/FirstRunTray.h"
#include "ui/LicenseDialog.h"
#include "ui/PerformanceWindow.h"
#include "ui/ReportWindow.h"
#include "ui/SelfTestDialog.h"
#include "ui/Settings.h"
#include "ui/TrayMenu.h"
#include "ui/TrayIcons.h"
#include "ui/TuningDialog.h"

using namespace platform;

HWnd MainWindow = 0;
HWnd ReportBox = 0;
std::atomic<HWnd> SettingsDialog{0}, TuningDialog{0}, DiagnosticsDialog{0};

namespace {

constexpr char MainWindowClass[] = "KorvanteMainWindow";
constexpr char ProgramPublisher[] = "KORVANTE Software";
constexpr int DesignWidth = 400, DesignHeight = 284;
constexpr uint32_t ReportTextLimit = 262144;
constexpr int ReportFontTwips = 195;
constexpr uint32_t EM_SETBKGNDCOLOR = WM_USER + 67;
constexpr WParam PBT_APMSUSPEND = 4, PBT_APMRESUMESUSPEND = 7, PBT_APMRESUMEAUTOMATIC = 0x12;
constexpr WParam DBT_DEVICEARRIVAL = 0x8000, DBT_DEVICEQUERYREMOVE = 0x8001, DBT_DEVICEQUERYREMOVEFAILED = 0x8002,
                 DBT_DEVICEREMOVECOMPLETE = 0x8004;
constexpr uint32_t EM_SETEDITSTYLEEX = 0x513;
constexpr LParam SES_EX_HANDLEFRIENDLYURL = 0x100;
constexpr uint32_t CheckBoxFlags = MB_ICONERROR | OwnedBoxFlags;  // 0x50010
const char OldSystemText[] = "KORVANTE requires the operating system \"Windows 7\" or higher.";
const char NoAdministratorText[] = "Run as administrator is required.";

ProgramKind Kind = ProgramKind::Simulated;
std::atomic<bool> RestartPending{false};
// Read by the tray's last box, on whichever thread found no tray.
std::atomic<const char*> Caption{""};

// Explorer's message to every top-level window once its taskbar is (again) there; 0 until the main
// window exists.
std::atomic<uint32_t> TaskbarCreatedMessage{0};

// Set when a wake was resumed on PBT_APMRESUMEAUTOMATIC; the PBT_APMRESUMESUSPEND that follows when
// the user is there belongs to the same wake.
bool AutomaticWakeResumed = false;

struct Control {
    MainControl Id;
    const char* Caption;
    uint32_t Style;
    int X, Y;
};

constexpr int ButtonWidth = 115, ButtonHeight = 27;
const Control Buttons[] = {
    {ExpertModeId, "Expert mode", BS_AUTOCHECKBOX | BS_PUSHLIKE, 18, 204},
    {DatabaseId, "Database", BS_PUSHBUTTON, 143, 204},
    {PublishId, "Publish", BS_PUSHBUTTON, 268, 204},
    {DefragmentationId, "Defragmentation", BS_PUSHBUTTON, 18, 242},
    {DiagnosticsId, "Diagnostics", BS_PUSHBUTTON, 143, 242},
    {TuningId, "Tuning", BS_PUSHBUTTON, 268, 242},
};

bool AnyDialogOpen() { return SettingsDialog || TuningDialog || DiagnosticsDialog; }

bool DrivesPresent() { return DriveCount() > 0; }

void SetButtonsEnabled(std::initializer_list<MainControl> ids, bool enabled) {
    for (const MainControl id : ids) EnableWindow(GetDlgItem(MainWindow, id), enabled);
}

// Windows runs its idle tasks (defragmentation among them) on a worker; the two buttons that start
// long work stay disabled until it is done.
void RunIdleTasks() {
    const IdleTasksCall idleTasks = GetProcessIdleTasks();
    if (!DrivesPresent() || !idleTasks) return;
    SetButtonsEnabled({DefragmentationId, PublishId}, false);
    const bool started = CreateThread([idleTasks] {
        idleTasks();
        MessageBox(0, "Defragmentation of the file system is completed.", InfoCaption,
                   MB_OK | MB_ICONINFORMATION | WorkerBoxFlags);
        SetButtonsEnabled({DefragmentationId, PublishId}, true);
    });
    if (!started) SetButtonsEnabled({DefragmentationId, PublishId}, true);
}

void HideWindow() {
    ShowWindow(MainWindow, SW_HIDE);
    SetProcessWorkingSetSize();
}

bool OnCommand(uint32_t id) {
    switch (id) {
        case ExpertModeId: RebuildReport(); return true;
        case DatabaseId: OpenDatabasePages(); return true;
        case PublishId: PublishData(); return true;
        case DefragmentationId: RunIdleTasks(); return true;
        case DiagnosticsId:
            if (DrivesPresent()) RunSelfTestCommand();
            return true;
        case TuningId:
            if (DrivesPresent()) RunTuningCommand();
            return true;
        default: return OnTrayMenuCommand(id);
    }
}

// Close and Esc hide the resident program's window (and close the one without drives), unless a
// dialog is open: then Windows does what it does.
bool OnCloseRequest() {
    if (AnyDialogOpen()) return false;
    if (DrivesPresent()) HideWindow();
    else SendMessage(MainWindow, WM_CLOSE, 0, 0);
    return true;
}

// A drive came or went: the drive set is never changed in place, the program restarts (once) and
// scans again.
void RestartForDeviceChange() {
    if (Kind == ProgramKind::Simulated || RestartPending.exchange(true)) return;
    RemoveAllIcons();
    if (Kind == ProgramKind::Installed) RestartViaTask();
}

// The table owns its drives' handles: closing one there keeps the table from closing it again later.
void CloseDeviceHandle(Handle handle) {
    if (!CloseDriveHandle(handle)) CloseHandle(handle);
}

bool OnDeviceChange(WParam event, LParam l, LParam& result) {
    DeviceBroadcast broadcast;
    if (!ReadDeviceBroadcast(l, broadcast)) return false;
    const bool ofDrive = broadcast.DeviceType == DBT_DEVTYP_DEVICEINTERFACE || broadcast.DeviceType == DBT_DEVTYP_HANDLE;
    if (event == DBT_DEVICEQUERYREMOVE && broadcast.DeviceType == DBT_DEVTYP_HANDLE) {
        StopMonitorTimer();  // the drive's handle goes, so that the device can be removed
        CloseDeviceHandle(broadcast.DeviceHandle);
        result = 1;
        return true;
    }
    if (ofDrive && (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEQUERYREMOVEFAILED || event == DBT_DEVICEREMOVECOMPLETE))
        RestartForDeviceChange();
    return false;
}

// The process ends at once, its icons out of the tray; a download run from the temporary folder
// deletes itself first.
void OnClose() {
    RemoveAllIcons();
    if (!DrivesPresent() && Kind == ProgramKind::Installed) {
        const std::string program = GetModuleFileName();
        const std::string folder = program.substr(0, program.find_last_of('\\') + 1);
        if (folder == GetTempPath()) SelfDeleteBatch("KORVANTE");
    }
    ExitProcess(0);
}

// Windows sends PBT_APMRESUMEAUTOMATIC at every wake, and PBT_APMRESUMESUSPEND too when the user is
// there: at once, or later when the user touches a machine a timer woke. Each wake resumes once.
bool OnPowerBroadcast(WParam event) {
    switch (event) {
        case PBT_APMSUSPEND:
            AutomaticWakeResumed = false;
            OnSystemSuspend();
            return true;
        case PBT_APMRESUMEAUTOMATIC:
            AutomaticWakeResumed = true;
            OnSystemResume();
            return true;
        case PBT_APMRESUMESUSPEND:
            if (!std::exchange(AutomaticWakeResumed, false)) OnSystemResume();
            return true;
        default: return false;
    }
}

bool MainWindowProcedure(HWnd, uint32_t message, WParam w, LParam l, LParam& result) {
    if (message == TaskbarCreatedMessage && message != 0) {
        RestoreAllIcons();
        return false;
    }
    switch (message) {
        case WM_POWERBROADCAST:
            if (!OnPowerBroadcast(w)) return false;
            result = 1;
            return true;
        case WM_SYSCOMMAND: return (w & 0xFFF0) == SC_CLOSE && OnCloseRequest();
        case WM_KEYDOWN: return w == VK_ESCAPE && OnCloseRequest();
        case WM_COMMAND: return (w >> 16) == BN_CLICKED && OnCommand(static_cast<uint32_t>(w & 0xFFFF));
        case WM_DEVICECHANGE: return OnDeviceChange(w, l, result);
        case WM_NOTIFY: return OnReportNotification(l);
        case ShowReportAgainMessage: RebuildReport(); return true;
        case TrayCallbackMessage: return OnTrayIconMessage(w, l);
        case WM_CLOSE: OnClose(); return true;
        default: return false;
    }
}

bool CreateButtons() {
    for (const Control& c : Buttons) {
        const HWnd button = CreateWindowEx(0, ButtonClass, c.Caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | c.Style, c.X,
                                           c.Y, ButtonWidth, ButtonHeight, MainWindow, c.Id);
        if (!button) return false;
        SetWindowFont(button, "MS Sans Serif", DialogFontHeight());
    }
    return true;
}

bool CreateReportBox() {
    ReportBox = CreateWindowEx(0, RichEditClass, "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
                               0, 0, DesignWidth, 179, MainWindow, ReportBoxId);
    if (!ReportBox) return false;
    SendMessage(ReportBox, EM_EXLIMITTEXT, 0, ReportTextLimit);
    SendMessage(ReportBox, EM_SETBKGNDCOLOR, 1, 0);  // the system's window colour
    SetRichEditFont(ReportBox, "Courier New", ReportFontTwips);
    SendMessage(ReportBox, EM_SETEVENTMASK, 0, ENM_LINK);  // clicks on the report's links
    return true;
}

void EndWithBox(const char* text) {
    MessageBox(MainWindow, text, InfoCaption, CheckBoxFlags);
    ExitProcess(0);
}

void FirstStartAfterInstallation() {
    if (IsStored(SettingsKey, Setting(SettingsKeyValue::InstallationSuccess))) return;
    StoreDword(SettingsKey, Setting(SettingsKeyValue::InstallationSuccess), 1);
    FirstRunTrayRegistration();
    ShowBalloon(InfoCaption, "The installation was completed successfully.", NIIF_INFO, 0);
}

bool DispatchInstaller(const std::string& commandLine) {
    return RunInstaller({"KORVANTE", "KORVANTE", ProgramPublisher, true}, commandLine);
}

// False when the installer ended the process.
bool StartResident(const std::string& commandLine) {
    if (Kind != ProgramKind::Installed) OpenSettingsKey();
    else if (!DispatchInstaller(commandLine)) return false;
    LoadSettings();
    if (!GetProcessIdleTasks()) EnableWindow(GetDlgItem(MainWindow, DefragmentationId), false);
    for (unsigned i = 0; i < DriveCount(); ++i) LoadPersistedDriveState(DriveForCommands(i));
    RunPerformanceWindow();
    SetWindowLong(MainWindow, GWL_STYLE, GetWindowLong(MainWindow, GWL_STYLE) & ~(WS_MAXIMIZEBOX | WS_THICKFRAME));
    ApplicationWindow = MainWindow;
    CreateDriveIcons();
    if (Settings.ShowCPU_usage) StartCpuIcon();
    FirstStartAfterInstallation();
    RegisterDeviceInterfaceNotification(MainWindow, GUID_DEVINTERFACE_DISK);
    DeleteFile(GetTempPath() + "KORVANTE.exe");  // what an update download left
    SetProcessWorkingSetSize();
    StartMonitorTimer();
    SendMessage(ReportBox, EM_SETEDITSTYLEEX, 0, SES_EX_HANDLEFRIENDLYURL);
    return true;
}

}  // namespace

void ConnectUpCalls() {
    Callouts.RefreshDriveIcons = RefreshDriveIconsFromCycle;
    Callouts.PublishPromptShowing = PublishPromptShowing;
    Callouts.PublishPrompt = PublishPrompt;
    Callouts.UpdatePromptShowing = UpdatePromptShowing;
    Callouts.CheckForUpdate = HourlyUpdateCheck;
    NetCalls.SetPublishEnabled = [](bool enabled) { EnableWindow(GetDlgItem(MainWindow, PublishId), enabled); };
    NetCalls.HideMainWindow = [] { ShowWindow(MainWindow, SW_HIDE); };
    NetCalls.RunPerformanceWindow = RunPerformanceWindow;
    NetCalls.BuildPublishText = BuildPublishText;
    NetCalls.CloseMainWindow = [] { SendMessage(MainWindow, WM_CLOSE, 0, 0); };
    NetCalls.BeforeInstall = ShowLicenseAgreement;
    NetCalls.BeforeUpdate = LicenseBeforeUpdate;
    NetCalls.MainWindowHandle = [] { return static_cast<std::uintptr_t>(MainWindow); };
    NetCalls.BeforeExit = RemoveAllIcons;
}

int RunProgram(const std::string& commandLine, ProgramKind kind) {
    Kind = kind;
    ConnectUpCalls();
    if (!CreateMainWindow() || !CreateTrayMenu()) return 0;  // no desktop to show anything on
    SendEmptyInput();
    InitOSInfo();
    if (OSGeneration < 7) {
        EndWithBox(OldSystemText);
        return 0;
    }
    if (!OpenSCManager()) {
        EndWithBox(NoAdministratorText);
        return 0;
    }
    DeviceNotificationWindow = MainWindow;  // each drive's handle notification comes here
    ScanDrives();
    if (DriveCount() == 0) {
        if (commandLine == "UnInstall" && Kind == ProgramKind::Installed) DispatchInstaller(commandLine);
        BuildReport();  // says why, with only "Publish" live; the window stays resizable
    } else if (!StartResident(commandLine)) {
        return 0;
    }
    return RunMessageLoop();
}

bool CreateMainWindow() {
    if (!RegisterWindowClass(MainWindowClass, MainWindowProcedure)) return false;
    Rect frame{0, 0, DesignWidth, DesignHeight};
    AdjustWindowRectEx(frame, WS_OVERLAPPEDWINDOW, WS_EX_TOOLWINDOW);
    MainWindow = CreateWindowEx(WS_EX_TOOLWINDOW, MainWindowClass, "", WS_OVERLAPPEDWINDOW, 0, 0,
                                frame.Right - frame.Left, frame.Bottom - frame.Top, 0, 0);
    if (!MainWindow) return false;
    SetWindowFont(MainWindow, "MS Sans Serif", DialogFontHeight());
    TaskbarCreatedMessage = RegisterWindowMessage("TaskbarCreated");
    ChangeWindowMessageFilterEx(MainWindow, TaskbarCreatedMessage);  // Explorer runs with fewer rights
    return CreateReportBox() && CreateButtons();
}

void LoadPersistedDriveState(DriveRecord& drive) {
    DriveWriter writer(drive);
    LoadDriveState(drive);
    ApplyStoredTuning(drive);
}

void OnSystemSuspend() { SuspendMonitoring(); }

void OnSystemResume() {
    ResumeMonitoring();
    ReapplyTuning();
}

bool RestartRequested() { return RestartPending; }

void SetMainWindowCaption(const char* caption) {
    Caption = caption;
    SetWindowText(MainWindow, caption);
}

const char* MainWindowCaption() { return Caption; }

void ResetMainWindow() {
    MainWindow = 0;
    ReportBox = 0;
    SettingsDialog = TuningDialog = DiagnosticsDialog = 0;
    Kind = ProgramKind::Simulated;
    RestartPending = false;
    Caption = "";
    TaskbarCreatedMessage = 0;
    AutomaticWakeResumed = false;
}
