// The dialog facility of the simulated machine. A modal loop has no user: it runs the script a test
// set, which may click the dialog's controls and close it, then dispatches what was posted, and
// closes the window itself (as the close button does) when it is still open. Text is measured at a
// fixed size per character, whatever the font; the screen is 1024 x 768 a check mark 13 x 13 and a
// vertical scroll bar 17 wide.
#pragma once

#include <functional>

#include "platform/Dialogs.h"

namespace sim {

constexpr int CharacterWidth = 6, LineHeight = 13;
constexpr int ScreenWidth = 1024, ScreenHeight = 768;
constexpr int CheckMarkSize = 13;
constexpr int ScrollBarWidth = 17;

// What every following modal loop does with its window; an empty script just closes it.
void SetModalScript(std::function<void(platform::HWnd)> script);

// Whether RemoveWindowIcon was called for the window.
bool WindowIconRemoved(platform::HWnd window);

// No script, no window without icon.
void ResetDialogs();

}  // namespace sim
