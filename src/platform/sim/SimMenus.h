// The menus facility of the simulated machine: popup menus are recorded with their items, every
// popup shown is recorded with its position and window, the cursor stands where a test puts it, and
// a test picks the item the next popup returns.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Menus.h"

namespace sim {

struct MenuItem {
    uint32_t Flags;
    uint32_t Id;
    std::string Text;
};

struct PopupCall {
    platform::HMenu Menu;
    int X, Y;
    platform::HWnd Window;
};

// The items of a menu in order; empty for an unknown menu.
std::vector<MenuItem> MenuItems(platform::HMenu menu);
std::vector<PopupCall> Popups();

void SetCursorPosition(int x, int y);
// The window last brought to the front, 0 before any.
platform::HWnd ForegroundWindow();

// The user picks the item with this id in the next popup: the menu posts WM_COMMAND with the id to
// its window, as Windows does. Without a pick, or for an item the menu lacks, a separator or a grayed
// item, the popup closes with nothing picked.
void PickMenuItem(uint32_t id);

// No menu, popup, pick or foreground window; the cursor at (0, 0).
void ResetMenus();

}  // namespace sim
