// The user's settings as process-wide flags. The settings dialog and their registry values come
// later; until then every flag keeps its default.
#pragma once

#include <atomic>

// Temperatures are shown in degrees Fahrenheit (the tray, the report, the alerts). Written by the
// user-interface thread, read by the monitoring thread too.
extern std::atomic<bool> Fahrenheit;
