// Registry helpers (RegUtils.h).
#include "system/RegUtils.h"

#include <vector>

using namespace platform;

namespace {

constexpr size_t DwordSize = 4;
constexpr size_t DateSize = 16;

// The value's data when it exists with this type; empty otherwise.
std::vector<uint8_t> ValueOfType(HKey key, const std::string& name, uint32_t wanted) {
    uint32_t type = REG_NONE;
    std::vector<uint8_t> data;
    if (RegQueryValueEx(key, name, type, data) != ERROR_SUCCESS || type != wanted) data.clear();
    return data;
}

// Little-endian 16-bit words, the layout of a SYSTEMTIME.
uint16_t WordAt(const std::vector<uint8_t>& data, size_t offset) {
    return static_cast<uint16_t>(data[offset] | data[offset + 1] << 8);
}

}  // namespace

// The subkeys go first, each by the same rule; a subkey that stays is stepped over, so the next one
// moves down to the index after it.
bool DeleteRegistryTree(HKey root, const std::string& path) {
    HKey opened = 0;
    if (RegOpenKeyEx(root, path, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE, opened) == ERROR_SUCCESS) {
        const OwnedKey key(opened);
        uint32_t subKeys = 0, longest = 0;
        if (RegQueryInfoKey(key, subKeys, longest) == ERROR_SUCCESS) {
            if (longest < 1) longest = 1;
            std::string name;
            for (uint32_t i = 0; RegEnumKeyEx(key, i, longest + 1, name) == ERROR_SUCCESS;)
                if (!DeleteRegistryTree(key, name)) ++i;
        }
    }
    return RegDeleteKey(root, path) == ERROR_SUCCESS;
}

uint32_t RegistryDword(HKey key, const std::string& name) {
    const std::vector<uint8_t> data = ValueOfType(key, name, REG_DWORD);
    if (data.size() != DwordSize) return 0;
    return uint32_t{data[0]} | uint32_t{data[1]} << 8 | uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24;
}

std::string RegistryText(HKey key, const std::string& name) {
    const std::vector<uint8_t> data = ValueOfType(key, name, REG_SZ);
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
}

bool RegistryValueExists(HKey key, const std::string& name) {
    uint32_t type = 0;
    std::vector<uint8_t> data;
    return RegQueryValueEx(key, name, type, data) == ERROR_SUCCESS;
}

SystemTime RegistryDate(HKey key, const std::string& name) {
    const std::vector<uint8_t> data = ValueOfType(key, name, REG_BINARY);
    if (data.size() != DateSize) return SystemTime{};
    return {WordAt(data, 0),  WordAt(data, 2),  WordAt(data, 4),  WordAt(data, 6),
            WordAt(data, 8),  WordAt(data, 10), WordAt(data, 12), WordAt(data, 14)};
}

bool SetRegistryDword(HKey key, const std::string& name, uint32_t value) {
    const std::vector<uint8_t> data = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return RegSetValueEx(key, name, REG_DWORD, data) == ERROR_SUCCESS;
}

// Stored with its terminating zero, as Windows programs store REG_SZ texts.
bool SetRegistryText(HKey key, const std::string& name, const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return RegSetValueEx(key, name, REG_SZ, data) == ERROR_SUCCESS;
}

bool SetRegistryDate(HKey key, const std::string& name, const SystemTime& date) {
    const uint16_t words[] = {date.Year, date.Month, date.DayOfWeek, date.Day,
                              date.Hour, date.Minute, date.Second,   date.Milliseconds};
    std::vector<uint8_t> data;
    for (const uint16_t word : words) {
        data.push_back(static_cast<uint8_t>(word));
        data.push_back(static_cast<uint8_t>(word >> 8));
    }
    return RegSetValueEx(key, name, REG_BINARY, data) == ERROR_SUCCESS;
}

bool IsStored(HKey key, const PersistedValue& value) { return RegistryValueExists(key, value.Name); }

uint32_t StoredDword(HKey key, const PersistedValue& value) {
    return value.Type == ValueType::Dword ? RegistryDword(key, value.Name) : 0;
}

std::string StoredText(HKey key, const PersistedValue& value) {
    return value.Type == ValueType::Text ? RegistryText(key, value.Name) : std::string();
}

SystemTime StoredDate(HKey key, const PersistedValue& value) {
    return value.Type == ValueType::Date ? RegistryDate(key, value.Name) : SystemTime{};
}

bool StoreDword(HKey key, const PersistedValue& value, uint32_t number) {
    return value.Type == ValueType::Dword && SetRegistryDword(key, value.Name, number);
}

bool StoreText(HKey key, const PersistedValue& value, const std::string& text) {
    return value.Type == ValueType::Text && SetRegistryText(key, value.Name, text);
}

bool StoreDate(HKey key, const PersistedValue& value, const SystemTime& date) {
    return value.Type == ValueType::Date && SetRegistryDate(key, value.Name, date);
}
