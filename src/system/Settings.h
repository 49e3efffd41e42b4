// The user's four settings as process-wide values. The user-interface thread writes them; the
// monitoring thread and the alert threads read them, so each is an atomic flag. The interpretation
// never reads them: what it needs comes in as an argument.
#pragma once

#include <atomic>

#include "platform/Registry.h"

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
