// The foreground facility of the platform interface: keeping a window of the program in front and out
// of the user's reach while it reports long work (user32, gdi32).
#pragma once

#include <cstdint>

#include "platform/Windowing.h"

namespace platform {

// LockSetForegroundWindow codes.
constexpr uint32_t LSFW_LOCK = 1;
constexpr uint32_t LSFW_UNLOCK = 2;

// LockSetForegroundWindow: while locked, no other process can bring a window to the foreground.
bool LockSetForegroundWindow(uint32_t code);

// GetSystemMenu(window, FALSE), then DeleteMenu(that menu, command, MF_BYCOMMAND): the window's system
// menu, and with SC_CLOSE its close button, lose the command. False when there was none to delete.
bool DeleteSystemMenuCommand(HWnd window, WParam command);

// The answer to WM_CTLCOLORSTATIC (wParam the control's device context) that draws a read-only edit
// control on the system window colour (COLOR_WINDOW) rather than on the button face: SetBkColor and
// the colour's GetSysColorBrush.
LParam WindowColourBackground(WParam deviceContext);

}  // namespace platform
