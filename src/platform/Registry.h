// The registry facility of the platform interface: keys opened with access rights, their values and
// subkeys. Status results are the Windows error codes (ERROR_SUCCESS when the call worked).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform {

using HKey = std::uintptr_t;

// The predefined roots, sign-extended as Windows defines them.
constexpr HKey PredefinedKey(uint32_t code) {
    return static_cast<HKey>(static_cast<std::intptr_t>(static_cast<int32_t>(code)));
}
constexpr HKey HKEY_CLASSES_ROOT = PredefinedKey(0x80000000u);
constexpr HKey HKEY_CURRENT_USER = PredefinedKey(0x80000001u);
constexpr HKey HKEY_LOCAL_MACHINE = PredefinedKey(0x80000002u);
constexpr HKey HKEY_USERS = PredefinedKey(0x80000003u);

// Access rights a key is opened with.
constexpr uint32_t KEY_QUERY_VALUE = 0x0001;
constexpr uint32_t KEY_SET_VALUE = 0x0002;
constexpr uint32_t KEY_CREATE_SUB_KEY = 0x0004;
constexpr uint32_t KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr uint32_t KEY_NOTIFY = 0x0010;
constexpr uint32_t KEY_READ = 0x20019;
constexpr uint32_t KEY_WRITE = 0x20006;
constexpr uint32_t KEY_ALL_ACCESS = 0xF003F;

// Value types.
constexpr uint32_t REG_NONE = 0;
constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_BINARY = 3;
constexpr uint32_t REG_DWORD = 4;

// The error codes the registry calls return. Windows' own headers define them as macros with the
// same values, which the Windows platform code and its tests keep using.
#ifndef ERROR_SUCCESS
constexpr int32_t ERROR_SUCCESS = 0;
constexpr int32_t ERROR_FILE_NOT_FOUND = 2;
constexpr int32_t ERROR_ACCESS_DENIED = 5;
constexpr int32_t ERROR_INVALID_HANDLE = 6;
constexpr int32_t ERROR_MORE_DATA = 234;
constexpr int32_t ERROR_NO_MORE_ITEMS = 259;
constexpr int32_t ERROR_KEY_DELETED = 1018;
#endif

// RegCreateKeyExA(parent, path, 0, no class, REG_OPTION_NON_VOLATILE, access, no security, key, none):
// opens the key, creating it and every missing key above it.
int32_t RegCreateKeyEx(HKey parent, const std::string& path, uint32_t access, HKey& key);
// RegOpenKeyExA(parent, path, 0, access, key).
int32_t RegOpenKeyEx(HKey parent, const std::string& path, uint32_t access, HKey& key);
int32_t RegCloseKey(HKey key);

// RegQueryValueExA for the whole value: its type and data, asked for the size first.
int32_t RegQueryValueEx(HKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data);
// RegSetValueExA(key, name, 0, type, data, size).
int32_t RegSetValueEx(HKey key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data);
int32_t RegDeleteValue(HKey key, const std::string& name);
// RegDeleteKeyA: deletes a key without subkeys.
int32_t RegDeleteKey(HKey parent, const std::string& path);

// RegEnumKeyExA(key, index, buffer of bufferSize characters with the terminating zero, ...): the
// subkey's name, or ERROR_MORE_DATA when it does not fit, ERROR_NO_MORE_ITEMS past the last.
int32_t RegEnumKeyEx(HKey key, uint32_t index, uint32_t bufferSize, std::string& name);
// RegQueryInfoKeyA for the number of subkeys and the length of the longest subkey name (characters,
// without the terminating zero).
int32_t RegQueryInfoKey(HKey key, uint32_t& subKeys, uint32_t& maxSubKeyLength);

struct RegKeyCloser {
    static void Close(HKey key) { RegCloseKey(key); }
};
// An opened key, closed when it goes away. Predefined roots are never wrapped.
using OwnedKey = Owned<RegKeyCloser>;

}  // namespace platform
