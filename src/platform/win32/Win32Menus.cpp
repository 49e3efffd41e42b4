// The menus facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

namespace platform {

HMenu CreatePopupMenu() { return reinterpret_cast<HMenu>(::CreatePopupMenu()); }

bool AppendMenu(HMenu menu, uint32_t flags, uint32_t id, const std::string& text) {
    const char* item = (flags & MF_SEPARATOR) ? nullptr : text.c_str();
    return ::AppendMenuA(reinterpret_cast<HMENU>(menu), flags, id, item) != FALSE;
}

bool GetCursorPos(Point& position) {
    POINT p{};
    if (!::GetCursorPos(&p)) return false;
    position = {p.x, p.y};
    return true;
}

bool SetForegroundWindow(HWnd window) { return ::SetForegroundWindow(reinterpret_cast<HWND>(window)) != FALSE; }

bool EnableMenuItem(HMenu menu, uint32_t id, bool enable) {
    return ::EnableMenuItem(reinterpret_cast<HMENU>(menu), id, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED)) != -1;
}

bool TrackPopupMenu(HMenu menu, int x, int y, HWnd window) {
    const BOOL picked = ::TrackPopupMenu(reinterpret_cast<HMENU>(menu), TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0,
                                         reinterpret_cast<HWND>(window), nullptr);
    // A menu opened from a tray icon closes properly the next time only after its window took a
    // message of its own.
    ::PostMessageA(reinterpret_cast<HWND>(window), WM_NULL, 0, 0);
    return picked != FALSE;
}

}  // namespace platform
