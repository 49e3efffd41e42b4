// The whole simulated world at once: machine, clock and timers, shell, message boxes, tray, worker
// threads, reply hook, registry and system facilities.
#pragma once

namespace sim {

// Returns the world to its start: every worker thread ended and no process exit recorded (open message boxes answered with their
// default button so that they can; SimThreads.h), no message box recorded, held or queued, the
// clock at ClockStart with every timer killed (SimClock.h), an empty machine installed (no drive,
// device, volume or handle; tests install what they need), no reply hook, the shell recorder empty
// and succeeding, the network empty (SimNetwork.h), the tray empty (SimTray.h), no modal script (SimDialogs.h), the registry empty with no key open (SimRegistry.h), and the system facilities at
// their start (SimSystem.h).
void ResetWorld();

}  // namespace sim
