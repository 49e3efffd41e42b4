// File helpers (FileUtils.h).
#include "system/FileUtils.h"

#include <cstdio>

#include "platform/FileVersion.h"

FileVersion GetFileVersion(const std::string& path) {
    platform::FixedFileVersion fixed{};
    if (!platform::GetFileVersionInfo(path, fixed)) return {std::string(), 0};
    char text[24];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", unsigned(fixed.FileVersionMS >> 16),
                  unsigned(fixed.FileVersionMS & 0xFFFF), unsigned(fixed.FileVersionLS >> 16),
                  unsigned(fixed.FileVersionLS & 0xFFFF));
    return {text, uint64_t{fixed.FileVersionMS} << 32 | fixed.FileVersionLS};
}

std::string ProgramVersion() { return GetFileVersion(platform::GetModuleFileName()).Text; }
