// The system-information facility of the platform interface.
#pragma once

#include <cstdint>

namespace platform {

// The parts of SYSTEM_INFO the program uses.
struct SystemInfo {
    uint32_t PageSize;  // dwPageSize
};

void GetSystemInfo(SystemInfo& info);

}  // namespace platform
