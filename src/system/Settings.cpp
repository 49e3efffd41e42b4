#include "system/Settings.h"

SettingsType Settings;

void ResetSettings() {
    Settings.Fahrenheit = false;
    Settings.ShowHottestDiskOnly = false;
    Settings.ShowCPU_usage = false;
    Settings.CheckUpdate = false;
}
