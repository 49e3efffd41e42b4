// The registry facility of the platform interface on Windows (advapi32), ANSI forms.
#include "platform/win32/WindowsApi.h"

namespace platform {
namespace {

::HKEY ToHkey(HKey key) { return reinterpret_cast<::HKEY>(key); }

}  // namespace

int32_t RegCreateKeyEx(HKey parent, const std::string& path, uint32_t access, HKey& key) {
    ::HKEY opened = nullptr;
    const LONG status = ::RegCreateKeyExA(ToHkey(parent), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                          nullptr, &opened, nullptr);
    if (status == ERROR_SUCCESS) key = reinterpret_cast<HKey>(opened);
    return status;
}

int32_t RegOpenKeyEx(HKey parent, const std::string& path, uint32_t access, HKey& key) {
    ::HKEY opened = nullptr;
    const LONG status = ::RegOpenKeyExA(ToHkey(parent), path.c_str(), 0, access, &opened);
    if (status == ERROR_SUCCESS) key = reinterpret_cast<HKey>(opened);
    return status;
}

int32_t RegCloseKey(HKey key) { return ::RegCloseKey(ToHkey(key)); }

// A value may grow between the size query and the read: then the read is tried again.
int32_t RegQueryValueEx(HKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data) {
    for (;;) {
        DWORD valueType = 0, size = 0;
        LONG status = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, nullptr, &size);
        if (status != ERROR_SUCCESS) return status;
        std::vector<uint8_t> buffer(size);
        status = ::RegQueryValueExA(ToHkey(key), name.c_str(), nullptr, &valueType, buffer.data(), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS) return status;
        buffer.resize(std::min<size_t>(size, buffer.size()));
        type = valueType;
        data = std::move(buffer);
        return ERROR_SUCCESS;
    }
}

int32_t RegSetValueEx(HKey key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    return ::RegSetValueExA(ToHkey(key), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
}

int32_t RegDeleteValue(HKey key, const std::string& name) { return ::RegDeleteValueA(ToHkey(key), name.c_str()); }

int32_t RegDeleteKey(HKey parent, const std::string& path) { return ::RegDeleteKeyA(ToHkey(parent), path.c_str()); }

int32_t RegEnumKeyEx(HKey key, uint32_t index, uint32_t bufferSize, std::string& name) {
    std::vector<char> buffer(bufferSize + 1, '\0');
    DWORD length = bufferSize;
    const LONG status =
        ::RegEnumKeyExA(ToHkey(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) name.assign(buffer.data(), strnlen(buffer.data(), std::min<size_t>(length, bufferSize)));
    return status;
}

int32_t RegQueryInfoKey(HKey key, uint32_t& subKeys, uint32_t& maxSubKeyLength) {
    DWORD count = 0, longest = 0;
    const LONG status = ::RegQueryInfoKeyA(ToHkey(key), nullptr, nullptr, nullptr, &count, &longest, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
        subKeys = count;
        maxSubKeyLength = longest;
    }
    return status;
}

}  // namespace platform
