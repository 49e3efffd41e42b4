// The tray icons' popup menu and what the icons do with the mouse.
//
// The main window procedure routes two things here: the tray entries' callback message
// (TrayCallbackMessage, 0x8001 = WM_APP + 1) to OnTrayIconMessage, and WM_COMMAND with a
// TrayMenuCommand id (TrayIcons.h) to OnTrayMenuCommand.
#pragma once

#include <cstdint>

#include "platform/Menus.h"

// The popup menu; 0 until CreateTrayMenu.
extern platform::HMenu TrayMenu;

// "Open", separator, "Settings", "Help", "Update", separator, "Exit". False when the menu cannot be
// made.
bool CreateTrayMenu();

// "Exit" grayed (false) while work that must not be cut short runs, and enabled again (true).
void EnableTrayExit(bool enable);

// One of the menu's commands ("Open" the report, "Settings" with the icons redrawn after it, "Help",
// "Update" the manual check and download, "Exit"); false for an id that is not one.
bool OnTrayMenuCommand(uint32_t id);

// The callback message of a tray entry: wParam its id, lParam the mouse message. The right button
// pops the menu up at the cursor, the left button opens the report; true when it did either.
bool OnTrayIconMessage(platform::WParam wParam, platform::LParam lParam);

// No menu (a simulated restart).
void ResetTrayMenu();
