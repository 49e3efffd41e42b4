#include "platform/sim/SimRealTimeline.h"

#include "platform/Time.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimInternal.h"

namespace sim {

namespace {

// Both under the machine's lock: the drives' uptime (milliseconds) and the tick count it was last
// brought up to, so that the 32-bit tick count's wrap after 49.7 days costs nothing.
uint64_t DrivesUptimeMs = 0;
uint32_t LastTick = 0;

// Ages the drives by the whole seconds between their uptime and `uptimeMs`.
void AgeTo(uint64_t uptimeMs) {
    if (uptimeMs <= DrivesUptimeMs) return;
    const uint64_t seconds = uptimeMs / 1000 - DrivesUptimeMs / 1000;
    DrivesUptimeMs = uptimeMs;
    AgeDrives(seconds);
}

// Brings the drives up to the real time, firing each scripted event at its own time on the way.
void CatchUpWithRealClock() {
    std::lock_guard<std::recursive_mutex> machine(MachineLock());
    const uint32_t tick = platform::GetTickCount();
    const uint64_t now = DrivesUptimeMs + static_cast<uint32_t>(tick - LastTick);
    LastTick = tick;
    uint64_t eventMs = 0;
    while (NextEventDue(now, eventMs)) {
        AgeTo(eventMs);
        FireEventsDueBy(eventMs);
    }
    AgeTo(now);
}

void OnSecondTimer(uint32_t, std::uintptr_t) { CatchUpWithRealClock(); }

}  // namespace

bool FollowRealClock() {
    {
        std::lock_guard<std::recursive_mutex> machine(MachineLock());
        DrivesUptimeMs = 0;
        LastTick = platform::GetTickCount();
    }
    return platform::timeSetEvent(1000, OnSecondTimer, 0) != 0;
}

// What moves the simulated timeline elsewhere (a raw read's cost) takes real time here.
void AdvanceTimeMicroseconds(uint64_t microseconds) {
    platform::Sleep(static_cast<uint32_t>(microseconds / 1000));
    CatchUpWithRealClock();
}

void AdvanceTime(uint64_t milliseconds) { AdvanceTimeMicroseconds(milliseconds * 1000); }

// The drives' timeline, up to the real time (a drive a bridge reset comes back on it).
uint64_t UptimeMicroseconds() {
    CatchUpWithRealClock();
    std::lock_guard<std::recursive_mutex> machine(MachineLock());
    return DrivesUptimeMs * 1000;
}

// The timers are the system's own and wait for any lock the reader holds.
void AdvanceTimeLeavingTimers(uint64_t microseconds) { AdvanceTimeMicroseconds(microseconds); }

}  // namespace sim
