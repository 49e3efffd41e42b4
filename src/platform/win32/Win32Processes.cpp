// The processes facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

namespace platform {

HWnd FindWindow(const std::string& className) {
    return reinterpret_cast<HWnd>(::FindWindowA(className.c_str(), nullptr));
}

uint32_t GetWindowThreadProcessId(HWnd window) {
    DWORD processId = 0;
    if (!::GetWindowThreadProcessId(reinterpret_cast<HWND>(window), &processId)) return 0;
    return processId;
}

Handle OpenProcess(uint32_t access, uint32_t processId) {
    return reinterpret_cast<Handle>(::OpenProcess(access, FALSE, processId));
}

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
    return ::WaitForSingleObject(reinterpret_cast<HANDLE>(object), milliseconds);
}

}  // namespace platform
