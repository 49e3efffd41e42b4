// The menus facility of the platform interface: the popup menu of the tray icons, the cursor it opens
// at, the window brought to the front for it, and the mouse messages a tray entry reports (user32).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Windowing.h"

namespace platform {

using HMenu = std::uintptr_t;

// AppendMenuA flags.
constexpr uint32_t MF_STRING = 0x0000;
constexpr uint32_t MF_GRAYED = 0x0001;
constexpr uint32_t MF_SEPARATOR = 0x0800;

// The mouse messages a tray entry's callback message carries in its lParam.
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;

struct Point {
    int X, Y;
};

// CreatePopupMenu: an empty popup menu, 0 on failure. It lives as long as the process.
HMenu CreatePopupMenu();
// AppendMenuA(menu, flags, id, text); a separator carries no text.
bool AppendMenu(HMenu menu, uint32_t flags, uint32_t id, const std::string& text);
// GetCursorPos: the cursor in screen coordinates.
bool GetCursorPos(Point& position);
bool SetForegroundWindow(HWnd window);
// EnableMenuItem(menu, id, MF_BYCOMMAND | MF_ENABLED or MF_GRAYED). False when the menu has no such item.
bool EnableMenuItem(HMenu menu, uint32_t id, bool enable);
// TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, window, none): shows the menu until
// the user picks an item or dismisses it; a picked item's id reaches `window` as WM_COMMAND. False
// when the menu could not be shown or nothing was picked.
bool TrackPopupMenu(HMenu menu, int x, int y, HWnd window);

}  // namespace platform
