#include "system/Settings.h"

SettingsType Settings;
platform::HKey SettingsKey = 0;

namespace {
using S = SettingsKeyValue;
constexpr ValueType Dword = ValueType::Dword;
}  // namespace

const SettingsKeyRow SettingsKeyTable[SettingsKeyValueCount] = {
    {S::Fahrenheit, {"Fahrenheit", Dword}, &SettingsType::Fahrenheit},
    {S::ShowHottestDiskOnly, {"ShowHottestDiskOnly", Dword}, &SettingsType::ShowHottestDiskOnly},
    {S::ShowCPU_usage, {"ShowCPU_usage", Dword}, &SettingsType::ShowCPU_usage},
    {S::CheckUpdate, {"CheckUpdate", Dword}, &SettingsType::CheckUpdate},
    {S::InstallationPath, {"InstallationPath", ValueType::Text}, nullptr},
    {S::InstallationSuccess, {"InstallationSuccess", Dword}, nullptr},
};

const SettingsKeyRow& SettingsKeyRowOf(SettingsKeyValue value) { return SettingsKeyTable[static_cast<size_t>(value)]; }

const PersistedValue& Setting(SettingsKeyValue value) { return SettingsKeyRowOf(value).Value; }

bool OpenSettingsKey() {
    platform::HKey key = 0;
    if (platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, "Software\\KORVANTE", platform::KEY_ALL_ACCESS, key) !=
        platform::ERROR_SUCCESS)
        return false;
    SettingsKey = key;
    return true;
}

void ResetSettings() {
    Settings.Fahrenheit = false;
    Settings.ShowHottestDiskOnly = false;
    Settings.ShowCPU_usage = false;
    Settings.CheckUpdate = false;
    SettingsKey = 0;
}
