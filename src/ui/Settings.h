// The user's settings on the user-interface side: reading them at start-up, and the settings dialog,
// four check boxes whose states are stored when it closes, however it closes.
#pragma once

#include <cstdint>

#include "platform/Windowing.h"

// Control identifiers of the settings dialog's check boxes, in the order they are stored.
enum SettingsControl : uint32_t {
    FahrenheitBoxId = 101,
    HottestDiskOnlyBoxId,
    CpuUsageBoxId,
    CheckUpdateBoxId,
};

// Start-up, with the settings key open: when all four settings are stored they are read (each its
// lowest byte; a value of another type or length reads 0), otherwise the first-run dialog asks.
void LoadSettings();

// The dialog with its boxes, placed and hidden; 0 when it cannot be made.
platform::HWnd CreateSettingsDialog();

// Shows the dialog modally over the main window and stores the four boxes when it closes. After a
// dialog that is not the first run, a change of "Show CPU usage" starts or stops the processor-load
// icon.
void RunSettingsDialog(bool firstRun);

// The tray menu's "Settings": the dialog, unless it is open already, then the drive icons redrawn
// so that a new unit or hottest-only choice shows at once.
void RunSettingsCommand();
