// The simulated machine's clock: one virtual timeline that only moves when a test (or simulated code
// that sleeps, or a raw read) moves it. The uptime in microseconds is the timeline; the tick count,
// the performance counter (10 MHz), UTC (the date and time at start-up plus the uptime) and local
// time (UTC plus the time zone bias) are all derived from it, so they never disagree.
//
// Moving the timeline (AdvanceTime, platform::Sleep; platform::ReadFile leaves the timers to the next
// advance) ages every drive of the
// installed machine, fires the drives' scripted events and the periodic timers that fall due, in
// order of due time (then of creation), each at its due
// time: inside a callback GetTickCount returns exactly the time the call was due. The callbacks run
// on a simulated timer thread, a real thread the advance starts and joins before it returns: code
// under test meets the thread change it meets on Windows, and tests stay deterministic. A callback
// that sleeps moves the clock on without firing timers; the advance fires the ones it overtook
// afterwards. Code must not sleep while holding a lock that a timer callback takes.
#pragma once

#include <cstdint>

#include "platform/Types.h"

namespace sim {

// Where the world's clock starts: Monday 2026-01-05 12:00:00.000 UTC, bias 0, uptime 0 (the tick
// count and the performance counter read 0).
constexpr platform::SystemTime ClockStart = {2026, 1, 1, 5, 12, 0, 0, 0};
constexpr uint64_t PerformanceFrequency = 10000000;

// The clock back at its start, every timer killed.
void ResetClock();

// Sets the UTC date and time (the day of the week is derived). The uptime does not move, nor do the
// timers. False, and nothing changed, for a date or time that does not exist.
bool SetSystemTime(const platform::SystemTime& utc);
// The local clock shows this time of day; the local date stays.
void SetLocalTime(unsigned hour, unsigned minute, unsigned second);
// Local time = UTC + bias, in minutes (east of Greenwich positive: +60 for Central European Time).
void SetTimeZoneBias(int minutes);

// Moves the timeline on: every clock, the drives' aging, the drives' scripted events (each when the
// timeline reaches its time, before a timer due at the same time) and the timers that fall due.
void AdvanceTime(uint64_t milliseconds);
// The same in microseconds: the timeline keeps them, so the performance counter sees a raw read's
// fraction of a millisecond; the tick count and the dates show whole milliseconds.
void AdvanceTimeMicroseconds(uint64_t microseconds);

// The same without running the timers that fall due meanwhile: they run, late, at the next advance.
// A raw read moves the clock so, as its caller may hold a lock that a timer's callback takes (on
// Windows that callback would only wait for it).
void AdvanceTimeLeavingTimers(uint64_t microseconds);

// Called with the uptime in milliseconds after every move of the timeline, under the machine's lock
// and outside the clock's own; a listener is added once however often it is given.
using ClockListener = void (*)(uint64_t uptimeMs);
void AddClockListener(ClockListener listener);

// The timeline: microseconds since the machine started.
uint64_t UptimeMicroseconds();
inline uint64_t UptimeMilliseconds() { return UptimeMicroseconds() / 1000; }
// Number of timers running.
unsigned TimerCount();

}  // namespace sim
