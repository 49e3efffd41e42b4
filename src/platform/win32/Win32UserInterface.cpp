// The user-interface facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

#include "platform/UserInterface.h"

namespace platform {

int MessageBox(std::uintptr_t owner, const std::string& text, const std::string& caption, uint32_t flags) {
    return ::MessageBoxA(reinterpret_cast<HWND>(owner), text.c_str(), caption.c_str(), flags);
}

void PumpMessages(std::uintptr_t window) {
    if (window) ::PostMessageA(reinterpret_cast<HWND>(window), WM_NULL, 0, 0);
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

}  // namespace platform
