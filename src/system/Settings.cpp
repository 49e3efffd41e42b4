#include "system/Settings.h"

SettingsType Settings;
platform::HKey SettingsKey = 0;

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
