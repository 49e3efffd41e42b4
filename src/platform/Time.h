// The time facility of the platform interface: the wall clock (UTC and local), the tick count and the
// performance counter, sleeping, periodic multimedia timers and local time texts.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

// GetSystemTime: the current date and time in UTC.
void GetSystemTime(SystemTime& utc);
// GetLocalTime: the current date and time in the machine's time zone.
void GetLocalTime(SystemTime& local);

// GetTickCount: milliseconds since the machine started; wraps to 0 after 49.7 days.
uint32_t GetTickCount();

// QueryPerformanceCounter and QueryPerformanceFrequency (counts per second). False on failure.
bool QueryPerformanceCounter(int64_t& count);
bool QueryPerformanceFrequency(int64_t& countsPerSecond);

// Sleep: suspends the calling thread for at least this many milliseconds.
void Sleep(uint32_t milliseconds);

// The longest period a multimedia timer accepts (milliseconds).
constexpr uint32_t TIMER_MAX_PERIOD = 1000000;

// Called on the timer's own thread, never on the thread that set the timer, with the timer's id and
// the value given to timeSetEvent.
using TimerCallback = void (*)(uint32_t timerId, std::uintptr_t user);

// timeSetEvent(periodMs, resolutionMs, callback, user, TIME_PERIODIC | TIME_CALLBACK_FUNCTION |
// TIME_KILL_SYNCHRONOUS): calls back every periodMs milliseconds, the first time one period from
// now. Returns the timer id, 0 on failure (no callback, a period of 0 or above TIMER_MAX_PERIOD).
uint32_t timeSetEvent(uint32_t periodMs, TimerCallback callback, std::uintptr_t user, uint32_t resolutionMs = 0);
// timeKillEvent: no call of the timer starts once this returns (it may be called from inside the
// timer's own callback). False when no such timer runs.
bool timeKillEvent(uint32_t timerId);

// GetTimeFormatA(default user locale, no flags, current local time, default format), cut at the
// terminating zero; empty on failure.
std::string GetTimeFormat();
// GetDateFormatA(default user locale, no flags, date, default short format) into a buffer of
// bufferSize characters, cut at the terminating zero; empty on failure (a date that does not exist,
// a text longer than the buffer).
std::string GetDateFormat(const SystemTime& date, uint32_t bufferSize);

}  // namespace platform
