// The rich-edit facility on Windows: the box of riched20.dll (loaded by the windowing facility when
// the box is created), its scroll bar, its link notifications, and the desktop's work area.
#include "platform/win32/WindowsApi.h"

#include <vector>

#include "platform/RtfText.h"

namespace platform {
namespace {

HWND Native(HWnd window) { return reinterpret_cast<HWND>(window); }

// The text as the box counts its characters: a paragraph mark is one CR.
std::string BoxCharacters(HWND box) {
    GETTEXTLENGTHEX length = {GTL_NUMCHARS, CP_ACP};
    const LRESULT size = ::SendMessageA(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    if (size <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(size) * 2 + 1, '\0');  // room for double-byte characters
    GETTEXTEX how = {static_cast<DWORD>(text.size()), GT_DEFAULT, CP_ACP, nullptr, nullptr};
    ::SendMessageA(box, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data());  // the buffer keeps its last zero
}

// Wine's box drops a field's result, which leaves every linked label blank.
bool DropsFieldResults() {
    static const bool wine = ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

}  // namespace

bool SetRichText(HWnd box, const std::string& rtf) {
    const std::string shown = DropsFieldResults() ? RtfWithFieldResults(rtf) : rtf;
    SETTEXTEX how = {ST_DEFAULT, CP_ACP};
    return ::SendMessageA(Native(box), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how),
                          reinterpret_cast<LPARAM>(shown.c_str())) != 0;
}

// A soft line break is no line break in the box's text (Wine gives a blank), so the lines are taken from its
// rows, read while it does not wrap: each row but the last ends with the character that breaks it.
std::string GetRichEditText(HWnd window) {
    const HWND box = Native(window);
    const std::string text = BoxCharacters(box);
    std::vector<bool> breaks(text.size(), false);
    ::SendMessageA(box, EM_SETTARGETDEVICE, 0, 1);  // no wrapping
    const LRESULT rows = ::SendMessageA(box, EM_GETLINECOUNT, 0, 0);
    for (LRESULT row = 1; row < rows; ++row) {
        const LRESULT start = ::SendMessageA(box, EM_LINEINDEX, static_cast<WPARAM>(row), 0);
        if (start > 0 && static_cast<size_t>(start) <= text.size()) breaks[static_cast<size_t>(start) - 1] = true;
    }
    ::SendMessageA(box, EM_SETTARGETDEVICE, 0, 0);  // wrapped at the box's width again
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (breaks[i]) plain += "\r\n";
        else plain += text[i];
    }
    return plain;
}

bool HasVerticalScrollBar(HWnd window) {
    SCROLLBARINFO info = {};
    info.cbSize = sizeof info;
    if (!::GetScrollBarInfo(Native(window), OBJID_VSCROLL, &info)) return false;
    return (info.rgstate[0] & STATE_SYSTEM_INVISIBLE) == 0;
}

bool GetWorkArea(Rect& area) {
    RECT r = {};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) return false;
    area = {r.left, r.top, r.right, r.bottom};
    return true;
}

bool ReadLinkNotification(LParam lParam, LinkNotification& notification) {
    if (!lParam) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code != EN_LINK) return false;
    const auto* link = reinterpret_cast<const ENLINK*>(lParam);
    const LONG first = link->chrg.cpMin, last = link->chrg.cpMax;
    if (first < 0 || last <= first) return false;
    std::vector<char> text(static_cast<size_t>(last - first) * 2 + 1, '\0');  // a CR may become CR LF
    TEXTRANGEA range = {{first, last}, text.data()};
    ::SendMessageA(header->hwndFrom, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    notification.Box = reinterpret_cast<HWnd>(header->hwndFrom);
    notification.Code = header->code;
    notification.MouseMessage = link->msg;
    notification.Text = text.data();
    return true;
}

}  // namespace platform
