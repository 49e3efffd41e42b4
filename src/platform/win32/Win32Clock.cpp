// The clock of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

#include <cstring>
#include <vector>

#include "platform/Time.h"

namespace platform {

// A user's time format may be longer than the usual "15:04:05": the call says what it needs first,
// for the same moment as the text then written.
std::string GetTimeFormat() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const int needed = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, nullptr, 0);
    if (needed <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(needed), '\0');
    const int written = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, text.data(), needed);
    if (written <= 0) return std::string();
    return std::string(text.data(), strnlen(text.data(), static_cast<size_t>(written)));
}

}  // namespace platform
