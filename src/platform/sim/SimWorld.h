// The whole simulated world at once: machine, clock and timers, shell and reply hook.
#pragma once

namespace sim {

// Returns the world to its start: the clock at ClockStart with every timer killed (SimClock.h), an
// empty machine installed (no drive, device, volume or handle; tests install what they need), no
// reply hook, and the shell recorder empty and succeeding.
void ResetWorld();

}  // namespace sim
