#include "ui/TuningDialog.h"

#include <algorithm>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "drivetools/Tuning.h"
#include "monitor/Alerts.h"
#include "monitor/Monitor.h"
#include "platform/Dialogs.h"
#include "platform/Threads.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "ui/DialogFrame.h"
#include "ui/Main.h"
#include "ui/PerformanceWindow.h"
#include "ui/ReportWindow.h"

using namespace platform;

namespace {

constexpr char TuningClass[] = "KorvanteTuning";
constexpr char TuningCaption[] = "KORVANTE :: Tuning";
constexpr char RefusedText[] = "Tuning is blocked by the driver";
constexpr char NothingToTuneText[] = "Data drives do not support tuning.";

// One feature's group box and the controls in it, placed relative to the group.
struct FeatureGroup {
    TuningFeature Feature;
    const char* Caption;
    const char* LowLabel;
    const char* HighLabel;
    int Minimum;
    TuningControl Group, Enabled, Disabled, Slider, Low, High;
};

const FeatureGroup Groups[] = {
    {TuningFeature::Acoustic, "Automatic acoustic management", "Quieter", "Louder", 128, AamGroupId, AamEnabledId,
     AamDisabledId, AamSliderId, AamLowLabelId, AamHighLabelId},
    {TuningFeature::Power, "Advanced power management", "More efficient", "More wasteful", 1, ApmGroupId,
     ApmEnabledId, ApmDisabledId, ApmSliderId, ApmLowLabelId, ApmHighLabelId},
};
// On the standard screen; the widths grow with what the group must show (see GroupInnerWidth).
constexpr int Margin = 8, GroupHeight = 89, GroupPadding = 12;
constexpr int SliderY = 44, SliderWidth = 241, SliderHeight = 16, SliderMaximum = 254;
constexpr int RadioY = 20, RadioHeight = 17, LabelY = 65, LabelHeight = 13;

// The table index of each drive in the list, in list order.
std::vector<unsigned> Listed;

// The background reader: one thread reading the selected drive until told to stop.
struct ReaderState {
    std::atomic<bool> Stop{false};
    std::promise<void> Ended;
};
std::shared_ptr<ReaderState> Reader;
std::future<void> ReaderEnded;

void StopReader() {
    if (!Reader) return;
    Reader->Stop = true;
    ReaderEnded.wait();
    Reader.reset();
}

// One random block after another keeps the drive's heads moving, so that the acoustic level shows.
void StartReader(unsigned index) {
    auto state = std::make_shared<ReaderState>();
    std::future<void> ended = state->Ended.get_future();
    const bool started = CreateThread([state, index] {
        while (!state->Stop) {
            {
                DriveWriter writer(index);
                RandomBlockRead(*writer);
            }
            Sleep(0);
        }
        state->Ended.set_value();
    });
    if (!started) return;
    Reader = state;
    ReaderEnded = std::move(ended);
}

HWnd Control(HWnd dialog, TuningControl id) { return GetDlgItem(dialog, id); }

// The table index of the selected drive; the list always has a selection while it has drives.
bool SelectedDrive(HWnd dialog, unsigned& index) {
    const LParam selected = SendMessage(Control(dialog, TuningDriveListId), CB_GETCURSEL, 0, 0);
    if (selected < 0 || static_cast<size_t>(selected) >= Listed.size()) return false;
    index = Listed[static_cast<size_t>(selected)];
    return true;
}

void ShowFeature(HWnd dialog, const FeatureGroup& g, const TuningState& state) {
    const bool on = state.Supported && state.Enabled;
    SendMessage(Control(dialog, g.Enabled), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessage(Control(dialog, g.Disabled), BM_SETCHECK, on ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessage(Control(dialog, g.Slider), TBM_SETPOS, 1, on ? state.Level : g.Minimum);
    SetWindowText(Control(dialog, g.Group), on ? std::string(g.Caption) + " - " + std::to_string(state.Level) : g.Caption);
    for (const TuningControl id : {g.Group, g.Disabled, g.Slider, g.Low, g.High}) EnableWindow(Control(dialog, id), on);
    EnableWindow(Control(dialog, g.Enabled), state.Supported);
}

void ShowDrive(HWnd dialog) {
    unsigned index = 0;
    if (!SelectedDrive(dialog, index)) return;
    StopReader();
    const DriveRecord d = SnapshotDrive(index);
    for (const FeatureGroup& g : Groups) ShowFeature(dialog, g, CurrentTuning(d, g.Feature));
    if (d.AAM_Support) StartReader(index);
}

// A refused command: the box, and a dialog with nothing else to tune closes.
void Refused(HWnd dialog) {
    MessageBox(dialog, RefusedText, InfoCaption, MB_ICONEXCLAMATION | OwnedBoxFlags);
    if (Listed.size() == 1) PostMessage(dialog, WM_CLOSE, 0, 0);
}

// The user's action on a group, sent to the selected drive; the group then shows what the drive has.
void Act(HWnd dialog, const FeatureGroup& g, uint32_t id) {
    unsigned index = 0;
    if (!SelectedDrive(dialog, index)) return;
    bool accepted = true;
    {
        DriveWriter writer(index);
        DriveRecord& d = *writer;
        const TuningState state = CurrentTuning(d, g.Feature);
        if (id == g.Enabled && !state.Enabled) accepted = SwitchTuningOn(d, g.Feature);
        else if (id == g.Disabled && state.Enabled) accepted = SwitchTuningOff(d, g.Feature);
        else if (id == g.Slider && state.Enabled) {
            const LParam position = SendMessage(Control(dialog, g.Slider), TBM_GETPOS, 0, 0);
            accepted = SetTuningLevel(d, g.Feature, position);
        }
    }
    if (!accepted) Refused(dialog);
    if (IsWindow(dialog)) ShowFeature(dialog, g, CurrentTuning(SnapshotDrive(index), g.Feature));
}

bool OnCommand(HWnd dialog, uint32_t id, uint32_t code) {
    if (id == TuningDriveListId && code == CBN_SELCHANGE) {
        ShowDrive(dialog);
        return true;
    }
    if (code != BN_CLICKED) return false;
    for (const FeatureGroup& g : Groups)
        if (id == g.Enabled || id == g.Disabled) {
            Act(dialog, g, id);
            return true;
        }
    return false;
}

// Only the end of a drag or of a key move sends the level, never the positions in between.
bool OnSlider(HWnd dialog, WParam w, LParam slider) {
    if ((w & 0xFFFF) != TB_ENDTRACK) return false;
    for (const FeatureGroup& g : Groups)
        if (static_cast<HWnd>(slider) == Control(dialog, g.Slider)) {
            Act(dialog, g, g.Slider);
            return true;
        }
    return false;
}

bool TuningProcedure(HWnd dialog, uint32_t message, WParam w, LParam l, LParam& result) {
    if (dialog != TuningDialog) return false;  // the class's helper window
    switch (message) {
        case WM_COMMAND:
            result = 0;
            return OnCommand(dialog, static_cast<uint32_t>(w & 0xFFFF), static_cast<uint32_t>(w >> 16));
        case WM_HSCROLL: result = 0; return OnSlider(dialog, w, l);
        case WM_DESTROY:
            StopReader();
            TuningDialog = 0;
            return false;
        default: return false;
    }
}

// The width inside a group: the slider, or the two radio buttons, the two labels or the caption
// with its highest level, whichever is widest in the dialog's font. Both groups take the wider.
int GroupInnerWidth() {
    const int gap = ScaledForScreen(Margin);
    int widest = ScaledForScreen(SliderWidth);
    for (const FeatureGroup& g : Groups)
        widest = std::max({widest, CheckBoxWidth("Enabled") + gap + CheckBoxWidth("Disabled"),
                           LabelWidth(g.LowLabel) + gap + LabelWidth(g.HighLabel),
                           DialogTextSize(std::string(g.Caption) + " - " + std::to_string(SliderMaximum)).Width});
    return widest;
}

int TextHeight(int standard) {
    return std::max(ScaledForScreen(standard), DialogTextSize("Ag").Height);
}

// The group box first, so that the controls inside it are drawn over it; the radio buttons and labels
// at the ends of the slider. The right label is left-aligned in a box as wide as its text: right-aligned,
// a disabled label's text is drawn a little past its right edge and cut.
bool AddGroup(Dialog& dialog, const FeatureGroup& g, int x, int y, int inner) {
    const int left = x + ScaledForScreen(GroupPadding), right = left + inner;
    const int enabled = CheckBoxWidth("Enabled"), disabled = CheckBoxWidth("Disabled");
    const int low = LabelWidth(g.LowLabel), high = LabelWidth(g.HighLabel);
    const int radioY = y + ScaledForScreen(RadioY), labelY = y + ScaledForScreen(LabelY);
    const int radioHeight = TextHeight(RadioHeight), labelHeight = TextHeight(LabelHeight);
    if (!AddDialogControl(dialog, ButtonClass, g.Caption, BS_GROUPBOX, x, y, inner + 2 * ScaledForScreen(GroupPadding),
                          ScaledForScreen(GroupHeight), g.Group) ||
        !AddDialogControl(dialog, ButtonClass, "Enabled", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, left, radioY,
                          enabled, radioHeight, g.Enabled) ||
        !AddDialogControl(dialog, ButtonClass, "Disabled", BS_AUTORADIOBUTTON, right - disabled, radioY, disabled,
                          radioHeight, g.Disabled))
        return false;
    const HWnd slider = AddDialogControl(dialog, TrackbarClass, "", WS_TABSTOP | WS_GROUP, left,
                                         y + ScaledForScreen(SliderY), inner, ScaledForScreen(SliderHeight), g.Slider);
    if (!slider) return false;
    SendMessage(slider, TBM_SETRANGEMIN, 0, g.Minimum);
    SendMessage(slider, TBM_SETRANGEMAX, 0, SliderMaximum);
    return AddDialogControl(dialog, StaticClass, g.LowLabel, 0, left, labelY, low, labelHeight, g.Low) &&
           AddDialogControl(dialog, StaticClass, g.HighLabel, 0, right - high, labelY, high, labelHeight, g.High);
}

// The drive list over the groups, and the groups side by side, or one above the other when side by
// side they would not fit in the work area; the list as wide as the groups.
bool AddControls(Dialog& dialog, const std::vector<std::string>& captions) {
    const int margin = ScaledForScreen(Margin), inner = GroupInnerWidth();
    const int width = inner + 2 * ScaledForScreen(GroupPadding), height = ScaledForScreen(GroupHeight);
    const bool sideBySide = 2 * width + 3 * margin <= WidestClient(dialog.Window);
    if (!AddDriveList(dialog, margin, margin, sideBySide ? 2 * width + margin : width, TuningDriveListId, captions))
        return false;
    const int top = dialog.Bottom + margin;
    for (size_t i = 0; i < std::size(Groups); ++i) {
        const int step = static_cast<int>(i);
        const int x = sideBySide ? margin + step * (width + margin) : margin;
        const int y = sideBySide ? top : top + step * (height + margin);
        if (!AddGroup(dialog, Groups[i], x, y, inner)) return false;
    }
    return true;
}

void ListTunableDrives() {
    Listed.clear();
    for (unsigned i = 0; i < DriveCount(); ++i)
        if (IsTunable(*DriveReader(i))) Listed.push_back(i);
}

}  // namespace

HWnd CreateTuningDialog() {
    ListTunableDrives();
    if (Listed.empty()) return 0;
    Dialog dialog = CreateFixedDialog(TuningClass, TuningCaption, TuningProcedure);
    if (!dialog.Window) return 0;
    TuningDialog = dialog.Window;
    std::vector<std::string> captions;
    for (const unsigned i : Listed) captions.push_back(SnapshotDrive(i).Caption);
    if (!AddControls(dialog, captions)) {
        DestroyWindow(dialog.Window);
        return 0;
    }
    PlaceDialog(dialog);
    ShowDrive(dialog.Window);
    return dialog.Window;
}

void RunTuningCommand() {
    if (RefusedForReadTest()) return;
    const HWnd dialog = CreateTuningDialog();
    if (!dialog) {
        if (Listed.empty()) MessageBox(MainWindow, NothingToTuneText, InfoCaption, MB_ICONEXCLAMATION | OwnedBoxFlags);
        return;
    }
    ShowWindow(MainWindow, SW_HIDE);
    RunDialog(dialog);
    PersistChangedTuning();
    RunPerformanceWindow();
    BuildReport();
}
