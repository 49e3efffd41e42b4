#include "ui/Settings.h"

#include <algorithm>
#include <atomic>

#include "platform/Dialogs.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "ui/DialogFrame.h"
#include "ui/CpuIcon.h"
#include "ui/Main.h"
#include "ui/TrayIcons.h"

using namespace platform;

namespace {

constexpr char SettingsClass[] = "KorvanteSettings";
constexpr char SettingsCaption[] = "KORVANTE :: Settings";
// On the standard screen: the boxes' left edge and the first one's top, the step from one box to the
// next (or the gap below a taller box), and the space below the last.
constexpr int BoxLeft = 20, FirstBoxTop = 17, BoxStep = 24, BoxGap = 11, BottomMargin = 15;

// One setting: its value under the settings key (which holds its flag), its check box.
struct SettingItem {
    SettingsKeyValue Value;
    SettingsControl Id;
    const char* Caption;
    bool FirstRunDefault;
};

// In the order the values are written.
const SettingItem Items[] = {
    {SettingsKeyValue::Fahrenheit, FahrenheitBoxId, "Use Fahrenheit temperature scale", false},
    {SettingsKeyValue::ShowHottestDiskOnly, HottestDiskOnlyBoxId, "Show the icon of the hottest disk only", false},
    {SettingsKeyValue::ShowCPU_usage, CpuUsageBoxId, "Show CPU usage", false},
    {SettingsKeyValue::CheckUpdate, CheckUpdateBoxId, "Check for updates", true},
};

std::atomic<bool>& Flag(const SettingItem& item) { return Settings.*SettingsKeyRowOf(item.Value).Flag; }

bool StoredSetting(const SettingItem& item) { return (StoredDword(SettingsKey, Setting(item.Value)) & 0xFF) != 0; }

bool AllSettingsStored() {
    return std::all_of(std::begin(Items), std::end(Items),
                       [](const SettingItem& item) { return IsStored(SettingsKey, Setting(item.Value)); });
}

// Closing by any way ends in WM_DESTROY, while the boxes still exist: their states are stored then.
// Only the open dialog's: registering the class destroys a helper window of it.
bool SettingsDialogProcedure(HWnd dialog, uint32_t message, WParam, LParam, LParam&) {
    if (message != WM_DESTROY || dialog != SettingsDialog) return false;
    for (const SettingItem& item : Items) {
        const bool ticked = SendMessage(GetDlgItem(dialog, item.Id), BM_GETCHECK, 0, 0) == BST_CHECKED;
        Flag(item) = ticked;
        StoreDword(SettingsKey, Setting(item.Value), ticked ? 1 : 0);  // a refused write keeps the flag
    }
    SettingsDialog = 0;
    return false;
}

// The box sized to its caption in its font, below the boxes before it; false when it cannot be made.
bool AddSettingBox(Dialog& dialog, const SettingItem& item, int top) {
    const int height = std::max(DialogTextSize(item.Caption).Height, GetSystemMetrics(SM_CYMENUCHECK));
    const HWnd box = AddDialogControl(dialog, ButtonClass, item.Caption, WS_TABSTOP | BS_AUTOCHECKBOX,
                                      ScaledForScreen(BoxLeft), top, CheckBoxWidth(item.Caption), height, item.Id);
    if (!box) return false;
    const bool ticked = IsStored(SettingsKey, Setting(item.Value)) ? StoredSetting(item) : item.FirstRunDefault;
    SendMessage(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    return true;
}

}  // namespace

HWnd CreateSettingsDialog() {
    Dialog dialog = CreateFixedDialog(SettingsClass, SettingsCaption, SettingsDialogProcedure);
    if (!dialog.Window) return 0;
    SettingsDialog = dialog.Window;
    int top = ScaledForScreen(FirstBoxTop);
    for (const SettingItem& item : Items) {
        if (!AddSettingBox(dialog, item, top)) {
            DestroyWindow(dialog.Window);
            return 0;
        }
        top = std::max(top + ScaledForScreen(BoxStep), dialog.Bottom + ScaledForScreen(BoxGap));
    }
    dialog.Bottom += ScaledForScreen(BottomMargin);
    PlaceDialog(dialog);
    return dialog.Window;
}

void LoadSettings() {
    if (!AllSettingsStored()) {
        RunSettingsDialog(true);
        return;
    }
    for (const SettingItem& item : Items) Flag(item) = StoredSetting(item);
}

void RunSettingsDialog(bool firstRun) {
    const bool cpuIconBefore = Settings.ShowCPU_usage;
    const HWnd dialog = CreateSettingsDialog();
    if (!dialog) return;
    ShowWindow(dialog, SW_SHOW);
    RunModalLoop(dialog);
    DestroyWindow(dialog);  // still there when the loop ended on the program's quit
    if (firstRun || Settings.ShowCPU_usage == cpuIconBefore) return;
    if (Settings.ShowCPU_usage) StartCpuIcon();
    else StopCpuIcon();
}

void RunSettingsCommand() {
    if (SettingsDialog) return;
    RunSettingsDialog(false);
    RefreshDriveIcons();
}
