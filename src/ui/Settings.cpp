#include "ui/Settings.h"

#include <algorithm>
#include <atomic>

#include "platform/Dialogs.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "ui/CpuIcon.h"
#include "ui/Main.h"
#include "ui/TrayIcons.h"

using namespace platform;

namespace {

constexpr char SettingsClass[] = "KorvanteSettings";
constexpr char SettingsCaption[] = "KORVANTE :: Settings";
constexpr int BoxLeft = 20, RightMargin = 12, ClientHeight = 125;
constexpr int CheckMarkGap = 6;  // between the check mark and the caption

// One setting: its value under the settings key (which holds its flag), its check box.
struct SettingItem {
    SettingsKeyValue Value;
    SettingsControl Id;
    const char* Caption;
    int Y;
    bool FirstRunDefault;
};

// In the order the values are written.
const SettingItem Items[] = {
    {SettingsKeyValue::Fahrenheit, FahrenheitBoxId, "Use Fahrenheit temperature scale", 17, false},
    {SettingsKeyValue::ShowHottestDiskOnly, HottestDiskOnlyBoxId, "Show the icon of the hottest disk only", 41, false},
    {SettingsKeyValue::ShowCPU_usage, CpuUsageBoxId, "Show CPU usage", 65, false},
    {SettingsKeyValue::CheckUpdate, CheckUpdateBoxId, "Check for updates", 89, true},
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

// The box sized to its caption in its font; its width, 0 when it cannot be made.
int CreateSettingBox(HWnd dialog, const SettingItem& item) {
    const HWnd box = CreateWindowEx(0, ButtonClass, item.Caption, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                                    BoxLeft, item.Y, 0, 0, dialog, item.Id);
    if (!box) return 0;
    SetWindowFont(box, "MS Sans Serif", -11);
    const TextSize text = GetTextExtent(box, item.Caption);
    const int width = GetSystemMetrics(SM_CXMENUCHECK) + CheckMarkGap + text.Width;
    MoveWindow(box, BoxLeft, item.Y, width, std::max(text.Height, GetSystemMetrics(SM_CYMENUCHECK)));
    const bool ticked = IsStored(SettingsKey, Setting(item.Value)) ? StoredSetting(item) : item.FirstRunDefault;
    SendMessage(box, BM_SETCHECK, ticked ? BST_CHECKED : BST_UNCHECKED, 0);
    return width;
}

// The window sized around its client area and centred on the screen.
void PlaceDialog(HWnd dialog, uint32_t style, uint32_t exStyle, int clientWidth) {
    Rect frame{0, 0, clientWidth, ClientHeight};
    AdjustWindowRectEx(frame, style, exStyle);
    const int width = frame.Right - frame.Left, height = frame.Bottom - frame.Top;
    MoveWindow(dialog, (GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width,
               height);
}

// The dialog with its boxes, hidden; 0 when it cannot be made.
HWnd CreateSettingsDialog() {
    RegisterWindowClass(SettingsClass, SettingsDialogProcedure);  // fails harmlessly when already registered
    const uint32_t style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    const uint32_t exStyle = WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_TOPMOST;
    const HWnd dialog = CreateWindowEx(exStyle, SettingsClass, SettingsCaption, style, 0, 0, 0, 0, MainWindow, 0);
    if (!dialog) return 0;
    SettingsDialog = dialog;
    RemoveWindowIcon(dialog);
    SetWindowFont(dialog, "MS Sans Serif", -11);
    int widest = 0;
    for (const SettingItem& item : Items) widest = std::max(widest, CreateSettingBox(dialog, item));
    PlaceDialog(dialog, style, exStyle, widest + BoxLeft + RightMargin);
    return dialog;
}

}  // namespace

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
