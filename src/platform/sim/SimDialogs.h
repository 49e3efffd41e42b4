// The dialog facility of the simulated machine. A modal loop has no user: it runs the script a test
// set, which may click the dialog's controls and close it, then dispatches what was posted, and
// closes the window itself (as the close button does) when it is still open. Text is measured at a
// fixed size per character, 6 x 13 in a font 11 pixels high and in proportion to the height in
// others (a caption's at the screen's scale); the screen is 1024 x 768 at 96 pixels per inch unless a
// test sets another density, which scales the system's metrics: at 96 a check mark is 13 x 13, a
// vertical scroll bar 17 wide, a caption button 18 (a tool window's 12) and the small icon 16.
#pragma once

#include <functional>

#include "platform/Dialogs.h"

namespace sim {

constexpr int CharacterWidth = 6, LineHeight = 13;
constexpr int ScreenWidth = 1024, ScreenHeight = 768;
constexpr int CheckMarkSize = 13;
constexpr int ScrollBarWidth = 17;
constexpr int CaptionButtonWidth = 18, SmallCaptionButtonWidth = 12;
constexpr int SmallIconSize = 16;
constexpr int StandardDpi = 96, StandardFontHeight = 11;

// The screen's pixels per inch from now on (GetDeviceCaps(LOGPIXELSY)).
void SetScreenDpi(int dpi);

// What every following modal loop does with its window; an empty script just closes it.
void SetModalScript(std::function<void(platform::HWnd)> script);

// Whether RemoveWindowIcon was called for the window.
bool WindowIconRemoved(platform::HWnd window);

// No script, no window without icon, the standard density.
void ResetDialogs();

}  // namespace sim
