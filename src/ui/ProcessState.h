// The process's state as a whole: what a program restart on the simulated machine, and every test,
// starts from.
#pragma once

// Every piece of process state back to its start: the processor-load icon and the monitoring timer
// stopped, the cycle's counters, flags, calls and random seed; the main window, its dialogs and tray
// menu forgotten, and the drive icons (the tray is the world's); the installer's, the update's and
// publishing's state and the network's calls; no drives, empty logs, cleared flags, default settings.
// The registry, the machine and the rest of the world stay. Call it once no worker thread of the
// program runs any more (the simulated world waits for them, sim::ResetWorld): an alert's worker
// holds its drive's record.
void ResetProcessState();
