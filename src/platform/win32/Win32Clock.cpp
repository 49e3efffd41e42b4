// The clock of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

#include <cstring>

#include "platform/Time.h"

namespace platform {

std::string GetTimeFormat() {
    char text[25] = {};
    if (::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, sizeof text) <= 0) return std::string();
    return std::string(text, strnlen(text, sizeof text));
}

}  // namespace platform
