// The user's four settings as process-wide values. The user-interface thread writes them; the
// monitoring thread and the alert threads read them, so each is an atomic flag. The interpretation
// never reads them: what it needs comes in as an argument.
#pragma once

#include <atomic>

struct SettingsType {
    std::atomic<bool> Fahrenheit{false};           // temperatures in degrees Fahrenheit
    std::atomic<bool> ShowHottestDiskOnly{false};  // one tray icon, the hottest drive's
    std::atomic<bool> ShowCPU_usage{false};        // a tray icon with the processor load
    std::atomic<bool> CheckUpdate{false};          // look for a new version every hour
};

extern SettingsType Settings;

// Every setting back to its default.
void ResetSettings();
