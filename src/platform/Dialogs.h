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
constexpr int SM_CXSIZE = 30;       // a button of a window's caption
constexpr int SM_CXSMICON = 49;     // the small icon: the tray's and a caption's
constexpr int SM_CXSMSIZE = 52;     // a button of a tool window's caption
constexpr int SM_CXMENUCHECK = 71;  // the check mark of a check box
constexpr int SM_CYMENUCHECK = 72;

// GetDeviceCaps index: the screen's pixels per logical inch (96 at 100 %, 144 at 150 %).
constexpr int LOGPIXELSY = 90;

struct TextSize {
    int Width = 0, Height = 0;
};

int GetSystemMetrics(int index);
// GetDeviceCaps of the screen's device context; 0 when it cannot be read.
int GetDeviceCaps(int index);

// GetTextExtentPoint32A of `text` drawn in the font the window was given (WM_SETFONT); a zero size
// when it cannot be measured.
TextSize GetTextExtent(HWnd window, const std::string& text);

// GetTextExtentPoint32A of `text` in the font SetWindowFont(window, face, height) gives a window, on
// the screen; a zero size when it cannot be measured. A window of the program's own class keeps no
// font of its own, so its text is measured this way.
TextSize GetFontTextExtent(const std::string& face, int height, const std::string& text);

// GetTextExtentPoint32A of a window caption's `text` in the caption font the system draws it with
// (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS): the small caption font for a tool window).
TextSize GetCaptionTextExtent(const std::string& text, bool toolWindow);

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
