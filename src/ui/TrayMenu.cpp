#include "ui/TrayMenu.h"

#include "knowledge/VendorSite.h"
#include "net/Update.h"
#include "platform/Shell.h"
#include "ui/Main.h"
#include "ui/ReportWindow.h"
#include "ui/Settings.h"
#include "ui/TrayIcons.h"

using namespace platform;

HMenu TrayMenu = 0;

namespace {

struct MenuEntry {
    uint32_t Id;  // 0 for a separator
    const char* Text;
};

const MenuEntry TrayMenuItems[] = {
    {TrayOpenId, "Open"}, {0, ""}, {TraySettingsId, "Settings"}, {TrayHelpId, "Help"}, {TrayUpdateId, "Update"},
    {0, ""}, {TrayExitId, "Exit"},
};

// Windows closes a tray menu on a click elsewhere only when the menu's window is in the foreground.
void PopUpTrayMenu() {
    Point cursor{0, 0};
    GetCursorPos(cursor);
    SetForegroundWindow(MainWindow);
    TrackPopupMenu(TrayMenu, cursor.X, cursor.Y, MainWindow);
}

}  // namespace

bool CreateTrayMenu() {
    TrayMenu = CreatePopupMenu();
    if (!TrayMenu) return false;
    for (const MenuEntry& item : TrayMenuItems)
        if (!AppendMenu(TrayMenu, item.Id ? MF_STRING : MF_SEPARATOR, item.Id, item.Text)) return false;
    return true;
}

void EnableTrayExit(bool enable) { EnableMenuItem(TrayMenu, TrayExitId, enable); }

bool OnTrayMenuCommand(uint32_t id) {
    switch (id) {
        case TrayOpenId: BuildReport(); return true;
        case TraySettingsId: RunSettingsCommand(); return true;
        case TrayHelpId: ShellExecute(MainWindow, "open", VendorAddress("/help.htm"), "", "", SW_SHOW); return true;
        case TrayUpdateId: CheckForUpdateFromVendor(); return true;
        case TrayExitId: SendMessage(MainWindow, WM_CLOSE, 0, 0); return true;
        default: return false;
    }
}

bool OnTrayIconMessage(WParam, LParam lParam) {
    switch (static_cast<uint32_t>(lParam & 0xFFFF)) {
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP: PopUpTrayMenu(); return true;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: RebuildReport(); return true;
        default: return false;
    }
}

void ResetTrayMenu() { TrayMenu = 0; }
