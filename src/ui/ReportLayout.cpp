#include "ui/ReportLayout.h"

#include <algorithm>

#include "ui/DialogFrame.h"

namespace {

// On the standard screen (96 pixels per inch): a character and a line of the report's 10-point font,
// and the buttons' area.
constexpr unsigned MinimumLineLength = 38;
constexpr int StandardDpi = 96;
constexpr int CharacterWidth = 8, LineHeight = 16, BoxMargin = 13, TextMargin = 16;
constexpr int ButtonArea = 95;                   // below the report box
constexpr int ButtonHeight = 27, ButtonGap = 8;  // three columns between four gaps of 8
constexpr int UpperRowFromBottom = 80, LowerRowFromBottom = 42;

int Scaled(int standardPixels, int dpi) { return (standardPixels * dpi + StandardDpi / 2) / StandardDpi; }

}  // namespace

ReportTextSize MeasureReportText(const std::string& plainText) {
    ReportTextSize size{0, 1};
    unsigned line = 0;
    for (size_t i = 0; i < plainText.size(); ++i) {
        const char c = plainText[i];
        if (c == '\r' && i + 1 < plainText.size() && plainText[i + 1] == '\n') continue;  // one break
        if (c == '\r' || c == '\n' || c == '\v') {
            size.LongestLine = std::max(size.LongestLine, line);
            line = 0;
            ++size.Lines;
        } else {
            ++line;
        }
    }
    size.LongestLine = std::max({size.LongestLine, line, MinimumLineLength});
    return size;
}

ReportSize SizeReportWindow(const ReportTextSize& text, int scrollBarWidth, int frameWidth, int frameHeight,
                            const platform::Rect& workArea, int dpi) {
    const int areaWidth = workArea.Right - workArea.Left, areaHeight = workArea.Bottom - workArea.Top;
    ReportSize size;
    const int textWidth = Scaled(CharacterWidth, dpi) * static_cast<int>(text.LongestLine) + Scaled(TextMargin, dpi);
    size.ClientWidth = std::min(scrollBarWidth + textWidth, areaWidth - frameWidth);
    size.BoxHeight = Scaled(LineHeight, dpi) * static_cast<int>(text.Lines) + Scaled(BoxMargin, dpi);
    size.ClientHeight = size.BoxHeight + Scaled(ButtonArea, dpi);
    if (size.ClientHeight + frameHeight > areaHeight) {
        size.BoxHeight = areaHeight * 2 / 3;
        size.ClientHeight = size.BoxHeight + Scaled(ButtonArea, dpi);
    }
    return size;
}

ReportPlaces PlaceReportWindow(const ReportSize& size, bool scrollBarShown, int scrollBarWidth, int frameWidth,
                               int frameHeight, const platform::Rect& workArea, int dpi) {
    ReportPlaces p;
    // A width the work area cut keeps the scroll bar's room: the box wraps its lines in it.
    const bool cut = size.ClientWidth + frameWidth >= workArea.Right - workArea.Left;
    p.ClientWidth = size.ClientWidth - (scrollBarShown || cut ? 0 : scrollBarWidth);
    p.ClientHeight = size.ClientHeight;
    p.Box = {0, 0, p.ClientWidth, size.BoxHeight};
    const int gap = Scaled(ButtonGap, dpi), w = (p.ClientWidth - 4 * gap) / 3;
    const int lefts[3] = {gap, w + 2 * gap, 2 * w + 3 * gap};
    const int tops[2] = {p.ClientHeight - Scaled(UpperRowFromBottom, dpi), p.ClientHeight - Scaled(LowerRowFromBottom, dpi)};
    for (int i = 0; i < 6; ++i)
        p.Buttons[i] = {lefts[i % 3], tops[i / 3], lefts[i % 3] + w, tops[i / 3] + Scaled(ButtonHeight, dpi)};
    p.Window = FitInWorkArea(p.ClientWidth + frameWidth, p.ClientHeight + frameHeight, workArea);
    return p;
}
