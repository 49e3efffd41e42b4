// Reading and writing one text value of the machine's registry, for the installation tests.
#pragma once

#include "platform/win32/WindowsApi.h"

#include <string>

#include "platform/Registry.h"
#include "system/RegUtils.h"

// The text `name` under HKEY_LOCAL_MACHINE\`path`; "<no key>" when the key cannot be opened.
inline std::string Text(const std::string& path, const std::string& name) {
    platform::HKey key = 0;
    if (platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, path, platform::KEY_READ, key) != ERROR_SUCCESS)
        return "<no key>";
    const std::string text = RegistryText(key, name);
    platform::RegCloseKey(key);
    return text;
}

inline bool SetText(const std::string& path, const std::string& name, const std::string& text) {
    platform::HKey key = 0;
    if (platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, path, platform::KEY_ALL_ACCESS, key) != ERROR_SUCCESS)
        return false;
    const bool set = SetRegistryText(key, name, text);
    platform::RegCloseKey(key);
    return set;
}
