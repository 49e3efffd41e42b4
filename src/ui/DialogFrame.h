// What the tuning and diagnostics dialogs share: a fixed-border modal window over the main window,
// centred on the screen, without a caption icon, and its controls in "MS Sans Serif".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Windowing.h"

// The dialog, hidden, with the client area given; 0 when it cannot be made.
platform::HWnd CreateFixedDialog(const char* className, const char* caption, platform::WindowProcedure procedure,
                                 int clientWidth, int clientHeight);

// A visible child control at its place in the dialog's client area; 0 when it cannot be made.
platform::HWnd AddDialogControl(platform::HWnd dialog, const char* className, const char* text, uint32_t style, int x,
                                int y, int width, int height, uint32_t id);

// A drop-down list in "Courier New" filled with `items` (the first selected, when there is one).
platform::HWnd AddDriveList(platform::HWnd dialog, int x, int y, int width, uint32_t id,
                            const std::vector<std::string>& items);

// Shows the dialog, runs it modally and destroys it (still there when the loop ended on the program's
// quit).
void RunDialog(platform::HWnd dialog);
