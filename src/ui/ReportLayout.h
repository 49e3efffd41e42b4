// The arithmetic that sizes the main window around the report: the client area from the report's
// plain text, the report box's height and width within the work area, the two rows of three buttons
// and the window centred in the work area, at the screen's density.
#pragma once

#include <string>

#include "platform/Types.h"

// The report's plain text measured: L = its longest line in characters (at least 38), N = its lines
// ("\r\n", "\r", "\n" and the soft break "\v" end a line).
struct ReportTextSize {
    unsigned LongestLine = 0;
    unsigned Lines = 0;
};
ReportTextSize MeasureReportText(const std::string& plainText);

// The window's size before the scroll bar is known, in pixels of the standard screen (96 per inch)
// scaled to `dpi`: client width = scroll bar + 8 L + 16, but no wider than the work area (the box
// then wraps its lines), report box 16 N + 13 high and 95 more for the buttons; a window taller than
// the work area gets a box two thirds of the work area high.
struct ReportSize {
    int ClientWidth = 0, ClientHeight = 0, BoxHeight = 0;
};
ReportSize SizeReportWindow(const ReportTextSize& text, int scrollBarWidth, int frameWidth, int frameHeight,
                            const platform::Rect& workArea, int dpi);

// Where everything goes once the box says whether it shows its scroll bar (without it the client
// area is narrower by the bar). Buttons in creation order: "Expert mode", "Database", "Publish" in the
// upper row, "Defragmentation", "Diagnostics", "Tuning" in the lower; rectangles in the client area,
// the window's on the screen.
struct ReportPlaces {
    int ClientWidth = 0, ClientHeight = 0;
    platform::Rect Box{};
    platform::Rect Buttons[6]{};
    platform::Rect Window{};
};
ReportPlaces PlaceReportWindow(const ReportSize& size, bool scrollBarShown, int scrollBarWidth, int frameWidth,
                               int frameHeight, const platform::Rect& workArea, int dpi);
