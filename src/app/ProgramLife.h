// The resident program's life on the simulated machine, as far as the program is built: its start-up
// for the drives (scan, settings key, every drive's persisted state, the monitoring timer), the
// timeline with the machine's power broadcasts, and a kill that loses everything not yet written.
#pragma once

#include <cstdint>
#include <functional>

// Start-up: the drives scanned, the settings key opened, each drive's persisted state taken in and
// its tuning applied, the monitoring timer started.
void StartResidentProgram();

// The process dies: writes from now on are lost, its open boxes vanish, its threads end, the
// timer stops and its memory is gone. The registry and the machine stay.
void KillResidentProgram();

// Moves the timeline on `minutes` minutes from now, a minute at a time, delivering the installed
// machine's power events on this thread (as the user-interface thread would) when they fall due.
// After each minute, with every alert thread ended, `afterMinute` gets the minute's number (1-based).
void RunTimeline(unsigned minutes, const std::function<void(unsigned minute)>& afterMinute);
