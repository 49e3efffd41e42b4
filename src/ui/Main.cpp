#include "ui/Main.h"

#include "drivetools/Tuning.h"
#include "monitor/Alerts.h"
#include "monitor/DriveState.h"
#include "monitor/Monitor.h"
#include "knowledge/VendorSite.h"
#include "platform/Entry.h"
#include "platform/Shell.h"
#include "platform/SystemInfo.h"
#include "platform/Threads.h"
#include "platform/UserInterface.h"

using namespace platform;

HWnd MainWindow = 0;
HWnd ReportBox = 0;
std::atomic<HWnd> SettingsDialog{0}, TuningDialog{0}, DiagnosticsDialog{0};
MainWindowCalls MainCalls;

namespace {

constexpr char MainWindowClass[] = "KorvanteMainWindow";
constexpr int DesignWidth = 400, DesignHeight = 284;
constexpr uint32_t ReportTextLimit = 262144;
constexpr int ReportFontTwips = 195;
constexpr uint32_t EM_SETBKGNDCOLOR = WM_USER + 67;
constexpr WParam PBT_APMSUSPEND = 4, PBT_APMRESUMESUSPEND = 7;

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

bool DrivesPresent() { return DriveTable.Count > 0; }

void Call(void (*call)()) {
    if (call) call();
}

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
        case ExpertModeId:
            ShowWindow(MainWindow, SW_HIDE);
            Call(MainCalls.ShowReport);
            return true;
        case DatabaseId: Call(MainCalls.OpenDatabasePage); return true;
        case PublishId: Call(MainCalls.Publish); return true;
        case DefragmentationId: RunIdleTasks(); return true;
        case DiagnosticsId:
            if (DrivesPresent()) Call(MainCalls.RunDiagnostics);
            return true;
        case TuningId:
            if (DrivesPresent()) Call(MainCalls.RunTuning);
            return true;
        default: return false;
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

bool MainWindowProcedure(HWnd, uint32_t message, WParam w, LParam, LParam& result) {
    switch (message) {
        case WM_POWERBROADCAST:
            if (w == PBT_APMSUSPEND) OnSystemSuspend();
            else if (w == PBT_APMRESUMESUSPEND) OnSystemResume();
            else return false;
            result = 1;
            return true;
        case WM_SYSCOMMAND: return (w & 0xFFF0) == SC_CLOSE && OnCloseRequest();
        case WM_KEYDOWN: return w == VK_ESCAPE && OnCloseRequest();
        case WM_COMMAND: return (w >> 16) == BN_CLICKED && OnCommand(static_cast<uint32_t>(w & 0xFFFF));
        case WM_CLOSE: ExitProcess(0); return true;
        default: return false;
    }
}

bool CreateButtons() {
    for (const Control& c : Buttons) {
        const HWnd button = CreateWindowEx(0, ButtonClass, c.Caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | c.Style, c.X,
                                           c.Y, ButtonWidth, ButtonHeight, MainWindow, c.Id);
        if (!button) return false;
        SetWindowFont(button, "MS Sans Serif", -11);
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
    return true;
}

}  // namespace

bool CreateMainWindow() {
    if (!RegisterWindowClass(MainWindowClass, MainWindowProcedure)) return false;
    Rect frame{0, 0, DesignWidth, DesignHeight};
    AdjustWindowRectEx(frame, WS_OVERLAPPEDWINDOW, WS_EX_TOOLWINDOW);
    MainWindow = CreateWindowEx(WS_EX_TOOLWINDOW, MainWindowClass, "", WS_OVERLAPPEDWINDOW, 0, 0,
                                frame.Right - frame.Left, frame.Bottom - frame.Top, 0, 0);
    if (!MainWindow) return false;
    SetWindowFont(MainWindow, "MS Sans Serif", -11);
    return CreateReportBox() && CreateButtons();
}

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

void ResetMainWindow() {
    MainWindow = 0;
    ReportBox = 0;
    SettingsDialog = TuningDialog = DiagnosticsDialog = 0;
    MainCalls = MainWindowCalls{};
}
