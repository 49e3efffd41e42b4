#include "ui/SelfTestDialog.h"

#include <string>
#include <vector>

#include "drivetools/SelfTest.h"
#include "monitor/Alerts.h"
#include "platform/Dialogs.h"
#include "platform/Tray.h"
#include "platform/UserInterface.h"
#include "system/Settings.h"
#include "ui/DialogFrame.h"
#include "ui/Main.h"
#include "ui/ReportWindow.h"
#include "ui/TrayIcons.h"

using namespace platform;

namespace {

constexpr char SelfTestClass[] = "KorvanteSelfTest";
constexpr char SelfTestCaption[] = "KORVANTE :: Diagnostics";
constexpr int ClientWidth = 549, ClientHeight = 82;
constexpr int GroupX = 8, GroupY = 32;
constexpr uint32_t InfoBox = MB_ICONINFORMATION | OwnedBoxFlags;

const char BlockingDriverText[] =
    "The \"Samsung NVMe Controller\" driver blocks the launch of self-diagnosis. Change it to \"Standard NVM Express "
    "Controller\".";
const char AlreadyRunningText[] = "Self-diagnostics has already been started";
const char ThrottledText[] =
    "The NVMe driver limits the frequency of running the disk self-test. Try running the self-test later.";
const char FailedText[] = "Error starting drive self-test.";
const char StartedText[] = "Self-diagnosis has started.";

// The controls in the group, placed relative to it: what its enabling covers.
struct PanelControl {
    SelfTestControl Id;
    const char* Class;
    const char* Text;
    uint32_t Style;
    int X, Y, Width, Height;
};

constexpr int DurationX = 405, DurationLabelWidth = 150;
const PanelControl Panel[] = {
    {FastTestId, ButtonClass, "Fast", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 16, 19, 60, 17},
    {FullTestId, ButtonClass, "Full", BS_AUTORADIOBUTTON, 84, 19, 60, 17},
    {DurationLabelId, StaticClass, "Duration in minutes", SS_RIGHT, DurationX - DurationLabelWidth, 21,
     DurationLabelWidth, 13},
    {DurationValueId, StaticClass, "", 0, DurationX, 22, 36, 13},
    {StartTestId, ButtonClass, "Start", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 443, 15, 81, 27},
};

unsigned SelectedDrive(HWnd dialog) {
    const LParam selected = SendMessage(GetDlgItem(dialog, SelfTestDriveListId), CB_GETCURSEL, 0, 0);
    return selected < 0 ? 0 : static_cast<unsigned>(selected);
}

SelfTestKind CheckedKind(HWnd dialog) {
    return SendMessage(GetDlgItem(dialog, FastTestId), BM_GETCHECK, 0, 0) == BST_CHECKED ? SelfTestKind::Short
                                                                                         : SelfTestKind::Extended;
}

void ShowDrive(HWnd dialog) {
    if (SelectedDrive(dialog) >= DriveCount()) return;
    const DriveRecord d = SnapshotDrive(SelectedDrive(dialog));
    EnableWindow(GetDlgItem(dialog, SelfTestGroupId), d.SelfTestSupport);
    for (const PanelControl& c : Panel) EnableWindow(GetDlgItem(dialog, c.Id), d.SelfTestSupport);
    SetWindowText(GetDlgItem(dialog, DurationValueId), SelfTestDurationText(d, CheckedKind(dialog)));
}

void Start(HWnd dialog) {
    const unsigned index = SelectedDrive(dialog);
    if (index >= DriveCount()) return;
    switch (StartSelfTest(DriveForCommands(index), CheckedKind(dialog))) {
        case SelfTestStart::BlockingDriver: MessageBox(dialog, BlockingDriverText, InfoCaption, InfoBox); return;
        case SelfTestStart::AlreadyRunning: MessageBox(dialog, AlreadyRunningText, InfoCaption, InfoBox); return;
        case SelfTestStart::Throttled: MessageBox(dialog, ThrottledText, InfoCaption, InfoBox); break;
        case SelfTestStart::Failed: MessageBox(dialog, FailedText, InfoCaption, MB_ICONERROR | OwnedBoxFlags); break;
        case SelfTestStart::Started:
            ShowBalloon(InfoCaption, StartedText, NIIF_INFO, Settings.ShowHottestDiskOnly ? 0 : index);
            break;
    }
    PostMessage(dialog, WM_CLOSE, 0, 0);
}

bool SelfTestProcedure(HWnd dialog, uint32_t message, WParam w, LParam, LParam& result) {
    if (dialog != DiagnosticsDialog) return false;  // the class's helper window
    if (message == WM_DESTROY) {
        DiagnosticsDialog = 0;
        return false;
    }
    if (message != WM_COMMAND) return false;
    const uint32_t id = static_cast<uint32_t>(w & 0xFFFF), code = static_cast<uint32_t>(w >> 16);
    result = 0;
    if (id == SelfTestDriveListId && code == CBN_SELCHANGE) ShowDrive(dialog);
    else if ((id == FastTestId || id == FullTestId) && code == BN_CLICKED) ShowDrive(dialog);
    else if (id == StartTestId && code == BN_CLICKED) Start(dialog);
    else return false;
    return true;
}

HWnd CreateSelfTestDialog() {
    const HWnd dialog = CreateFixedDialog(SelfTestClass, SelfTestCaption, SelfTestProcedure, ClientWidth, ClientHeight);
    if (!dialog) return 0;
    DiagnosticsDialog = dialog;
    std::vector<std::string> captions;
    for (unsigned i = 0; i < DriveCount(); ++i) captions.push_back(DriveReader(i)->Caption);
    bool made = AddDriveList(dialog, 8, 8, 543, SelfTestDriveListId, captions) &&
                AddDialogControl(dialog, ButtonClass, "", BS_GROUPBOX, GroupX, GroupY, 543, 52, SelfTestGroupId);
    for (const PanelControl& c : Panel)
        made = made && AddDialogControl(dialog, c.Class, c.Text, c.Style, GroupX + c.X, GroupY + c.Y, c.Width, c.Height, c.Id);
    if (!made) {
        DestroyWindow(dialog);
        return 0;
    }
    SendMessage(GetDlgItem(dialog, FastTestId), BM_SETCHECK, BST_CHECKED, 0);
    ShowDrive(dialog);
    return dialog;
}

}  // namespace

void RunSelfTestCommand() {
    ShowWindow(MainWindow, SW_HIDE);
    if (const HWnd dialog = CreateSelfTestDialog()) RunDialog(dialog);
    BuildReport();
}
