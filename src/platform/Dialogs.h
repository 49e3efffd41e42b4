// The dialog facility of the platform interface: what a small modal window of the program needs
// beyond the windowing facility (user32, gdi32): a modal loop of its own, the size of a caption in
// its control's font, the screen's metrics for centring, and a caption without an icon.
#pragma once

#include <string>

#include "platform/Windowing.h"

namespace platform {

// GetSystemMetrics indexes.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CXVSCROLL = 2;     // the width of a vertical scroll bar
constexpr int SM_CXMENUCHECK = 71;  // the check mark of a check box
constexpr int SM_CYMENUCHECK = 72;

struct TextSize {
    int Width = 0, Height = 0;
};

int GetSystemMetrics(int index);

// GetTextExtentPoint32A of `text` drawn in the font the window was given (WM_SETFONT); a zero size
// when it cannot be measured.
TextSize GetTextExtent(HWnd window, const std::string& text);

// IsWindow: the window exists and is not destroyed.
bool IsWindow(HWnd window);

// Takes the icon off the window's caption (WM_SETICON with none, big and small) and off its class,
// so the class must be the window's own. False when the window does not exist.
bool RemoveWindowIcon(HWnd window);

// Runs the window modally: its owner is disabled, messages are pumped until the window is destroyed
// (or WM_QUIT arrives, which is posted again for the outer loop), then the owner is enabled again.
// Esc closes the window wherever its focus is, as its close button does (WM_SYSCOMMAND, SC_CLOSE),
// unless the focused control asks for the key (WM_GETDLGCODE: an open drop-down list).
// False when the window does not exist.
bool RunModalLoop(HWnd window);

}  // namespace platform
