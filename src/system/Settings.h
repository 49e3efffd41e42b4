// The user's four settings as process-wide values, and the table of the settings key's values. The
// user-interface thread writes the settings; the monitoring thread and the alert threads read them,
// so each is an atomic flag. The interpretation never reads them: what it needs comes in as an
// argument.
#pragma once

#include <atomic>
#include <cstddef>

#include "platform/Registry.h"
#include "system/RegUtils.h"

struct SettingsType {
    std::atomic<bool> Fahrenheit{false};           // temperatures in degrees Fahrenheit
    std::atomic<bool> ShowHottestDiskOnly{false};  // one tray icon, the hottest drive's
    std::atomic<bool> ShowCPU_usage{false};        // a tray icon with the processor load
    std::atomic<bool> CheckUpdate{false};          // look for a new version every hour
};

extern SettingsType Settings;

// Every setting back to its default.
void ResetSettings();

// HKEY_LOCAL_MACHINE\Software\KORVANTE, where the settings and every drive's key live; 0 while it
// is not open. Opened once at start-up, before any other thread exists.
extern platform::HKey SettingsKey;
// Opens (creating it when missing) the settings key with full access; false when it cannot.
bool OpenSettingsKey();

// Every value of the settings key; InstallationSuccess is the last.
enum class SettingsKeyValue : uint8_t {
    Fahrenheit,
    ShowHottestDiskOnly,
    ShowCPU_usage,
    CheckUpdate,
    InstallationPath,     // where the installer copied the program
    InstallationSuccess,  // the installed copy has had its first start
};
constexpr std::size_t SettingsKeyValueCount = static_cast<std::size_t>(SettingsKeyValue::InstallationSuccess) + 1;

struct SettingsKeyRow {
    SettingsKeyValue Id;
    PersistedValue Value;
    std::atomic<bool> SettingsType::*Flag;  // the setting the value holds; null for the installer's
};

// One row per value, in the order of SettingsKeyValue.
extern const SettingsKeyRow SettingsKeyTable[SettingsKeyValueCount];

const SettingsKeyRow& SettingsKeyRowOf(SettingsKeyValue value);
// The value's name and type, for the PersistedValue functions of system/RegUtils.h.
const PersistedValue& Setting(SettingsKeyValue value);
