#include "ui/ReportLayout.h"

#include <algorithm>

namespace {

constexpr unsigned MinimumLineLength = 38;
constexpr int CharacterWidth = 8, LineHeight = 16, BoxMargin = 13;
constexpr int ButtonArea = 95;                   // below the report box
constexpr int ButtonHeight = 27, ButtonGap = 8;  // three columns between four gaps of 8
constexpr int UpperRowFromBottom = 80, LowerRowFromBottom = 42;

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

ReportSize SizeReportWindow(const ReportTextSize& text, int scrollBarWidth, int frameHeight, int workAreaBottom) {
    ReportSize size;
    size.ClientWidth = scrollBarWidth + CharacterWidth * static_cast<int>(text.LongestLine) + 16;
    size.BoxHeight = LineHeight * static_cast<int>(text.Lines) + BoxMargin;
    size.ClientHeight = size.BoxHeight + ButtonArea;
    if (size.ClientHeight + frameHeight > workAreaBottom) {
        size.BoxHeight = workAreaBottom * 2 / 3;
        size.ClientHeight = size.BoxHeight + ButtonArea;
    }
    return size;
}

ReportPlaces PlaceReportWindow(const ReportSize& size, bool scrollBarShown, int scrollBarWidth, int frameWidth,
                               int frameHeight, const platform::Rect& workArea) {
    ReportPlaces p;
    p.ClientWidth = size.ClientWidth - (scrollBarShown ? 0 : scrollBarWidth);
    p.ClientHeight = size.ClientHeight;
    p.Box = {0, 0, p.ClientWidth, size.BoxHeight};
    const int w = (p.ClientWidth - 4 * ButtonGap) / 3;
    const int lefts[3] = {ButtonGap, w + 2 * ButtonGap, 2 * w + 3 * ButtonGap};
    const int tops[2] = {p.ClientHeight - UpperRowFromBottom, p.ClientHeight - LowerRowFromBottom};
    for (int i = 0; i < 6; ++i) p.Buttons[i] = {lefts[i % 3], tops[i / 3], lefts[i % 3] + w, tops[i / 3] + ButtonHeight};
    const int width = p.ClientWidth + frameWidth, height = p.ClientHeight + frameHeight;
    const int left = (workArea.Right - width) / 2, top = (workArea.Bottom - height) / 2;
    p.Window = {left, top, left + width, top + height};
    return p;
}
