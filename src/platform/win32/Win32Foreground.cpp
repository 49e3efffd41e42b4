// The foreground facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

namespace platform {

bool LockSetForegroundWindow(uint32_t code) { return ::LockSetForegroundWindow(code) != FALSE; }

bool DeleteSystemMenuCommand(HWnd window, WParam command) {
    const HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window), FALSE);
    return menu && ::DeleteMenu(menu, static_cast<UINT>(command), MF_BYCOMMAND) != FALSE;
}

LParam WindowColourBackground(WParam deviceContext) {
    ::SetBkColor(reinterpret_cast<HDC>(deviceContext), ::GetSysColor(COLOR_WINDOW));
    return reinterpret_cast<LParam>(::GetSysColorBrush(COLOR_WINDOW));
}

}  // namespace platform
