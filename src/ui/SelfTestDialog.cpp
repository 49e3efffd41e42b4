#include "ui/SelfTestDialog.h"

#include <algorithm>
#include <iterator>
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
// On the standard screen; the row grows with its texts in the dialog's font.
constexpr int Margin = 8, GroupPadding = 16, GroupTop = 15, GroupBottom = 10, ListWidth = 543;
constexpr int RadioHeight = 17, LabelHeight = 13, ButtonWidth = 81, ButtonHeight = 27;
constexpr char LongestDuration[] = " > 255";  // SelfTestDurationText's longest
constexpr uint32_t InfoBox = MB_ICONINFORMATION | OwnedBoxFlags;

const char BlockingDriverText[] =
    "The \"Samsung NVMe Controller\" driver blocks the launch of self-diagnosis. Change it to \"Standard NVM Express "
    "Controller\".";
const char AlreadyRunningText[] = "Self-diagnostics has already been started";
const char ThrottledText[] =
    "The NVMe driver limits the frequency of running the disk self-test. Try running the self-test later.";
const char FailedText[] = "Error starting drive self-test.";
const char NotThroughBridgeText[] =
    "The USB bridge of this drive does not pass a self-test command on to it. Connect the drive directly to run "
    "its self-test.";
const char StartedText[] = "Self-diagnosis has started.";

// The controls in the group from left to right, each as wide as its text needs (the duration as its
// longest value): what the group's enabling covers.
struct PanelControl {
    SelfTestControl Id;
    const char* Class;
    const char* Text;
    uint32_t Style;
    int Height;      // on the standard screen
    int GapBefore;   // from the control before it, on the standard screen
};

const PanelControl Panel[] = {
    {FastTestId, ButtonClass, "Fast", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, RadioHeight, 0},
    {FullTestId, ButtonClass, "Full", BS_AUTORADIOBUTTON, RadioHeight, 8},
    {DurationLabelId, StaticClass, "Duration in minutes", 0, LabelHeight, 24},
    {DurationValueId, StaticClass, "", 0, LabelHeight, 6},
    {StartTestId, ButtonClass, "Start", BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, ButtonHeight, 24},
};

int PanelControlWidth(const PanelControl& c) {
    const int text = LabelWidth(c.Id == DurationValueId ? LongestDuration : c.Text);
    if (c.Id == StartTestId) return std::max(ScaledForScreen(ButtonWidth), text + ScaledForScreen(2 * Margin));
    return (c.Style & 0xF) == BS_AUTORADIOBUTTON ? CheckBoxWidth(c.Text) : text;
}

// The group box first, so that the controls inside it are drawn over it, as wide as the drive list
// or wider when its row needs it; the row's controls centred on its height.
bool AddPanel(Dialog& dialog, int top) {
    const int rowTop = top + ScaledForScreen(GroupTop), left = ScaledForScreen(Margin);
    const int textHeight = DialogTextSize("Ag").Height;
    const int rowHeight = std::max(ScaledForScreen(ButtonHeight), textHeight);
    int lefts[std::size(Panel)], x = left + ScaledForScreen(GroupPadding);
    for (size_t i = 0; i < std::size(Panel); ++i) {
        lefts[i] = x + ScaledForScreen(Panel[i].GapBefore);
        x = lefts[i] + PanelControlWidth(Panel[i]);
    }
    const int right = std::max(dialog.Right, x + ScaledForScreen(GroupPadding));
    bool made = AddDialogControl(dialog, ButtonClass, "", BS_GROUPBOX, left, top, right - left,
                                 rowTop + rowHeight + ScaledForScreen(GroupBottom) - top, SelfTestGroupId) != 0;
    for (size_t i = 0; i < std::size(Panel) && made; ++i) {
        const PanelControl& c = Panel[i];
        const int height = std::max(ScaledForScreen(c.Height), textHeight);
        made = AddDialogControl(dialog, c.Class, c.Text, c.Style, lefts[i], rowTop + (rowHeight - height) / 2,
                                PanelControlWidth(c), height, c.Id) != 0;
    }
    return made;
}

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
        case SelfTestStart::NotThroughBridge: MessageBox(dialog, NotThroughBridgeText, InfoCaption, InfoBox); return;
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

}  // namespace

HWnd CreateSelfTestDialog() {
    Dialog dialog = CreateFixedDialog(SelfTestClass, SelfTestCaption, SelfTestProcedure);
    if (!dialog.Window) return 0;
    DiagnosticsDialog = dialog.Window;
    std::vector<std::string> captions;
    for (unsigned i = 0; i < DriveCount(); ++i) captions.push_back(DriveReader(i)->Caption);
    const int margin = ScaledForScreen(Margin);
    bool made = AddDriveList(dialog, margin, margin, ScaledForScreen(ListWidth), SelfTestDriveListId, captions) != 0;
    made = made && AddPanel(dialog, dialog.Bottom + margin);
    if (!made) {
        DestroyWindow(dialog.Window);
        return 0;
    }
    SendMessage(GetDlgItem(dialog.Window, FastTestId), BM_SETCHECK, BST_CHECKED, 0);
    PlaceDialog(dialog);
    ShowDrive(dialog.Window);
    return dialog.Window;
}

void RunSelfTestCommand() {
    ShowWindow(MainWindow, SW_HIDE);
    if (const HWnd dialog = CreateSelfTestDialog()) RunDialog(dialog);
    BuildReport();
}
