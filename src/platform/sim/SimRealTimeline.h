// The simulated drives on the real clock, for a program that runs with the system's own clock, timers
// and threads and only its drives simulated (KORVANTE-sim.exe). It stands in for the simulated clock
// (SimClock.h): the drives' timeline is the real time since FollowRealClock, so they age and their
// scripted events fire as the minutes pass, and a raw read's cost is spent sleeping.
#pragma once

namespace sim {

// The drives' timeline starts now (uptime 0) and a one-second system timer keeps it up with the real
// tick count. False when the timer cannot be set.
bool FollowRealClock();

}  // namespace sim
