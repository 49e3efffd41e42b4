// The rich-edit facility on Windows: the box of riched20.dll (loaded by the windowing facility when
// the box is created), its scroll bar, its link notifications, and the desktop's work area.
#include "platform/win32/WindowsApi.h"

#include <vector>

namespace platform {
namespace {

HWND Native(HWnd window) { return reinterpret_cast<HWND>(window); }

}  // namespace

bool SetRichText(HWnd box, const std::string& rtf) {
    SETTEXTEX how = {ST_DEFAULT, CP_ACP};
    return ::SendMessageA(Native(box), EM_SETTEXTEX, reinterpret_cast<WPARAM>(&how),
                          reinterpret_cast<LPARAM>(rtf.c_str())) != 0;
}

std::string GetRichEditText(HWnd box) {
    GETTEXTLENGTHEX length = {GTL_USECRLF | GTL_NUMBYTES, CP_ACP};
    const LRESULT size = ::SendMessageA(Native(box), EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    if (size <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(size) + 1, '\0');
    GETTEXTEX how = {static_cast<DWORD>(text.size()), GT_USECRLF, CP_ACP, nullptr, nullptr};
    ::SendMessageA(Native(box), EM_GETTEXTEX, reinterpret_cast<WPARAM>(&how), reinterpret_cast<LPARAM>(text.data()));
    return std::string(text.data());  // the buffer keeps its last zero
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
