// What the program's small modal windows share: a fixed-border window over the main window without a
// caption icon, its controls in "MS Sans Serif", and its size taken from what it holds.
//
// Lengths in the code are written for the standard screen (96 pixels per inch) and scaled to the
// screen's density with ScaledForScreen; text is measured in the font it is drawn with. A dialog is
// sized around its controls, wide enough for its caption, and kept inside the work area.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Types.h"
#include "platform/Windowing.h"

// The screen's density against the standard 96 pixels per inch (the standard when it cannot be read).
int ScreenDpi();
// A length of the standard screen on this one, rounded to the nearest pixel.
int ScaledForScreen(int standardPixels);
// The height to give SetWindowFont for a font 11 pixels high on the standard screen (8 points).
int DialogFontHeight();

// A dialog being built: its window and the farthest right and bottom edges of its controls.
struct Dialog {
    platform::HWnd Window = 0;
    int Right = 0, Bottom = 0;
};

// The dialog, hidden and not yet sized; its Window is 0 when it cannot be made.
Dialog CreateFixedDialog(const char* className, const char* caption, platform::WindowProcedure procedure);

// A visible child control at its place in the dialog's client area (screen pixels); 0 when it
// cannot be made.
platform::HWnd AddDialogControl(Dialog& dialog, const char* className, const char* text, uint32_t style, int x,
                                int y, int width, int height, uint32_t id);

// A drop-down list in "Courier New" filled with `items` (the first selected, when there is one), at
// least `width` wide and wider when an item needs it, as far as the work area allows.
platform::HWnd AddDriveList(Dialog& dialog, int x, int y, int width, uint32_t id,
                            const std::vector<std::string>& items);

// The size of `text` in the dialogs' font (measured in the font itself: a window of the program's own
// class keeps none).
platform::TextSize DialogTextSize(const std::string& text);
// The width of a check box or radio button whose caption is `text`: the check mark, a gap, the text.
int CheckBoxWidth(const std::string& text);
// The width of a label showing `text`: disabled, its text is drawn embossed and takes a few pixels more.
int LabelWidth(const std::string& text);

// The widest client area the window can have inside the work area.
int WidestClient(platform::HWnd window);

// A window of `clientWidth` x `clientHeight` (at least as wide as its caption needs, at most the
// work area) centred in the work area; the window's rectangle.
platform::Rect CentreInWorkArea(platform::HWnd window, int clientWidth, int clientHeight);

// The dialog sized around its controls with a margin (on the standard screen) and centred in the work
// area.
void PlaceDialog(const Dialog& dialog, int standardMargin = 8);

// Shows the dialog, runs it modally and destroys it (still there when the loop ended on the program's
// quit).
void RunDialog(platform::HWnd dialog);

// Where a window of this outer size goes in the work area: centred, and moved and cut down so that
// it lies inside it whole.
platform::Rect FitInWorkArea(int width, int height, const platform::Rect& workArea);
