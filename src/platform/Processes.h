// The processes facility of the platform interface: another program's window found by its class,
// the process behind it, and waiting for that process to end (user32, kernel32).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"
#include "platform/Windowing.h"

namespace platform {

// OpenProcess access (Windows Vista and later) and WaitForSingleObject results.
constexpr uint32_t PROCESS_ALL_ACCESS = 0x001FFFFF;
constexpr uint32_t WAIT_OBJECT_0 = 0x00000000;
constexpr uint32_t WAIT_TIMEOUT = 0x00000102;
constexpr uint32_t WAIT_FAILED = 0xFFFFFFFF;

// FindWindowA(className, no title): the first top-level window of the class, 0 when there is none.
HWnd FindWindow(const std::string& className);
// GetWindowThreadProcessId: the identifier of the process that owns the window, 0 when it is gone.
uint32_t GetWindowThreadProcessId(HWnd window);
// OpenProcess(access, not inherited, processId): 0 when the process cannot be opened.
Handle OpenProcess(uint32_t access, uint32_t processId);
// WaitForSingleObject(object, milliseconds): WAIT_OBJECT_0 once it is signalled (a process has
// ended), WAIT_TIMEOUT, or WAIT_FAILED.
uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds);

}  // namespace platform
