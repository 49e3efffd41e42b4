// The time facility of the simulated machine: one virtual timeline (SimClock.h), the periodic timers
// on it, and local time and date texts the way an English (United States) user's default formats show them.
#include "platform/sim/SimClock.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Time.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

constexpr int64_t MsPerDay = 86400000;
constexpr uint64_t UsPerMs = 1000;

struct Timer {
    uint32_t Id;
    uint64_t Period;  // microseconds
    uint64_t Due;     // uptime of the next call
    platform::TimerCallback Callback;
    std::uintptr_t User;
};

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back.
constexpr int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

// The day a time since 1970 falls on, counting days before 1970 negative.
int64_t DayOf(int64_t ms) { return (ms >= 0 ? ms : ms - (MsPerDay - 1)) / MsPerDay; }

platform::SystemTime FromMilliseconds(int64_t ms) {
    const int64_t days = DayOf(ms);
    const int64_t inDay = ms - days * MsPerDay;
    const int64_t z = days + 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    platform::SystemTime t{};
    t.Year = static_cast<uint16_t>(yearOfEra + era * 400 + (month <= 2));
    t.Month = static_cast<uint16_t>(month);
    t.Day = static_cast<uint16_t>(dayOfYear - (153 * mp + 2) / 5 + 1);
    t.DayOfWeek = static_cast<uint16_t>(((days + 4) % 7 + 7) % 7);  // 1970-01-01 was a Thursday
    t.Hour = static_cast<uint16_t>(inDay / 3600000);
    t.Minute = static_cast<uint16_t>(inDay / 60000 % 60);
    t.Second = static_cast<uint16_t>(inDay / 1000 % 60);
    t.Milliseconds = static_cast<uint16_t>(inDay % 1000);
    return t;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// The range SYSTEMTIME holds, and only dates that exist.
bool Exists(const platform::SystemTime& t) {
    return t.Year >= 1601 && t.Year <= 30827 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 &&
           t.Day <= DaysInMonth(t.Year, t.Month) && t.Hour < 24 && t.Minute < 60 && t.Second < 60 &&
           t.Milliseconds < 1000;
}

constexpr int64_t ToMilliseconds(const platform::SystemTime& t) {
    return DaysFromCivil(t.Year, t.Month, t.Day) * MsPerDay + t.Hour * 3600000ll + t.Minute * 60000ll +
           t.Second * 1000ll + t.Milliseconds;
}

// Lock order: the machine's lock before ClockLock; nothing is called out while ClockLock is held.
std::mutex ClockLock;
uint64_t Uptime = 0;        // microseconds since start-up: the timeline
int64_t UtcAtStartup = ToMilliseconds(ClockStart);  // milliseconds since 1970-01-01 UTC at uptime 0
int BiasMinutes = 0;
std::vector<Timer> Timers;
uint32_t LastTimerId = 0;
std::vector<ClockListener> Listeners;

// One advance at a time; a callback's own sleeping goes past it (the advance waits for the callback).
std::mutex AdvanceLock;
thread_local bool OnTimerThread = false;

// Caller holds ClockLock.
int64_t UtcNow() { return UtcAtStartup + static_cast<int64_t>(Uptime / UsPerMs); }
int64_t LocalNow() { return UtcNow() + BiasMinutes * 60000ll; }

// Moves the timeline to `uptime` (never back) and ages the drives by the whole seconds it crossed.
void MoveUptimeTo(uint64_t uptime) {
    uint64_t seconds = 0;
    {
        std::lock_guard<std::mutex> lock(ClockLock);
        if (uptime <= Uptime) return;
        seconds = uptime / (1000 * UsPerMs) - Uptime / (1000 * UsPerMs);
        Uptime = uptime;
    }
    AgeDrives(seconds);
}

// Moves the timeline to `uptime`, firing the drives' events at their times on the way, and tells
// the listeners.
void MoveClockTo(uint64_t uptime) {
    std::lock_guard<std::recursive_mutex> machine(MachineLock());
    uint64_t eventMs = 0;
    while (NextEventDue(uptime / UsPerMs, eventMs)) {
        MoveUptimeTo(eventMs * UsPerMs);
        FireEventsDueBy(eventMs);
    }
    MoveUptimeTo(uptime);
    std::vector<ClockListener> listeners;
    uint64_t now = 0;
    {
        std::lock_guard<std::mutex> lock(ClockLock);
        listeners = Listeners;
        now = Uptime / UsPerMs;
    }
    for (ClockListener listener : listeners) listener(now);
}

// Takes the earliest call due by `until` (ties: the older timer first) and schedules the timer's next.
bool TakeNextCall(uint64_t until, Timer& call) {
    std::lock_guard<std::mutex> lock(ClockLock);
    Timer* next = nullptr;
    for (Timer& t : Timers)
        if (t.Due <= until && (!next || t.Due < next->Due)) next = &t;  // Timers is in creation order
    if (!next) return false;
    call = *next;
    next->Due += next->Period;
    return true;
}

void RunTimersUntil(uint64_t until) {
    OnTimerThread = true;
    Timer call{};
    while (TakeNextCall(until, call)) {
        MoveClockTo(call.Due);
        call.Callback(call.Id, call.User);
    }
    MoveClockTo(until);
}

bool AnyTimerDueBy(uint64_t until) {
    std::lock_guard<std::mutex> lock(ClockLock);
    for (const Timer& t : Timers)
        if (t.Due <= until) return true;
    return false;
}

uint64_t CurrentUptime() {
    std::lock_guard<std::mutex> lock(ClockLock);
    return Uptime;
}

}  // namespace

void ResetClock() {
    std::lock_guard<std::mutex> lock(ClockLock);
    Uptime = 0;
    UtcAtStartup = ToMilliseconds(ClockStart);
    BiasMinutes = 0;
    Timers.clear();
}

bool SetSystemTime(const platform::SystemTime& utc) {
    if (!Exists(utc)) return false;
    std::lock_guard<std::mutex> lock(ClockLock);
    UtcAtStartup = ToMilliseconds(utc) - static_cast<int64_t>(Uptime / sim::UsPerMs);
    return true;
}

void SetLocalTime(unsigned hour, unsigned minute, unsigned second) {
    std::lock_guard<std::mutex> lock(ClockLock);
    const int64_t local = LocalNow();
    const int64_t wanted = DayOf(local) * MsPerDay + (hour % 24) * 3600000ll + (minute % 60) * 60000ll + (second % 60) * 1000ll;
    UtcAtStartup += wanted - local;
}

void SetTimeZoneBias(int minutes) {
    std::lock_guard<std::mutex> lock(ClockLock);
    BiasMinutes = minutes;
}

void AdvanceTime(uint64_t milliseconds) { AdvanceTimeMicroseconds(milliseconds * UsPerMs); }

void AdvanceTimeMicroseconds(uint64_t microseconds) {
    if (OnTimerThread) return MoveClockTo(CurrentUptime() + microseconds);
    std::lock_guard<std::mutex> advancing(AdvanceLock);
    const uint64_t until = CurrentUptime() + microseconds;
    if (!AnyTimerDueBy(until)) return MoveClockTo(until);
    std::thread timerThread(RunTimersUntil, until);
    timerThread.join();
}

void AdvanceTimeLeavingTimers(uint64_t microseconds) { MoveClockTo(CurrentUptime() + microseconds); }

void AddClockListener(ClockListener listener) {
    std::lock_guard<std::mutex> lock(ClockLock);
    if (std::find(Listeners.begin(), Listeners.end(), listener) == Listeners.end()) Listeners.push_back(listener);
}

unsigned TimerCount() {
    std::lock_guard<std::mutex> lock(ClockLock);
    return static_cast<unsigned>(Timers.size());
}

uint64_t UptimeMicroseconds() {
    std::lock_guard<std::mutex> lock(ClockLock);
    return Uptime;
}

}  // namespace sim

namespace platform {

void GetSystemTime(SystemTime& utc) {
    std::lock_guard<std::mutex> lock(sim::ClockLock);
    utc = sim::FromMilliseconds(sim::UtcNow());
}

void GetLocalTime(SystemTime& local) {
    std::lock_guard<std::mutex> lock(sim::ClockLock);
    local = sim::FromMilliseconds(sim::LocalNow());
}

uint32_t GetTickCount() {
    std::lock_guard<std::mutex> lock(sim::ClockLock);
    return static_cast<uint32_t>(sim::Uptime / sim::UsPerMs);
}

bool QueryPerformanceCounter(int64_t& count) {
    std::lock_guard<std::mutex> lock(sim::ClockLock);
    count = static_cast<int64_t>(sim::Uptime * (sim::PerformanceFrequency / 1000000));
    return true;
}

bool QueryPerformanceFrequency(int64_t& countsPerSecond) {
    countsPerSecond = static_cast<int64_t>(sim::PerformanceFrequency);
    return true;
}

void Sleep(uint32_t milliseconds) { sim::AdvanceTime(milliseconds); }

uint32_t timeSetEvent(uint32_t periodMs, TimerCallback callback, std::uintptr_t user, uint32_t) {
    if (!callback || periodMs == 0 || periodMs > TIMER_MAX_PERIOD) return 0;
    std::lock_guard<std::mutex> lock(sim::ClockLock);
    if (++sim::LastTimerId == 0) ++sim::LastTimerId;  // 0 means failure
    const uint64_t period = periodMs * sim::UsPerMs;
    sim::Timers.push_back({sim::LastTimerId, period, sim::Uptime + period, callback, user});
    return sim::LastTimerId;
}

bool timeKillEvent(uint32_t timerId) {
    std::lock_guard<std::mutex> lock(sim::ClockLock);
    for (auto t = sim::Timers.begin(); t != sim::Timers.end(); ++t) {
        if (t->Id != timerId) continue;
        sim::Timers.erase(t);
        return true;
    }
    return false;
}

std::string GetTimeFormat() {
    SystemTime now{};
    GetLocalTime(now);
    const unsigned h12 = now.Hour % 12 == 0 ? 12 : now.Hour % 12;
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u %s", h12, unsigned(now.Minute), unsigned(now.Second),
                  now.Hour < 12 ? "AM" : "PM");
    return text;
}

// The short date of an English (United States) user: month/day/year. Like Windows, only the date
// fields are checked.
std::string GetDateFormat(const SystemTime& date, uint32_t bufferSize) {
    const bool exists = date.Year >= 1601 && date.Year <= 30827 && date.Month >= 1 && date.Month <= 12 &&
                        date.Day >= 1 && date.Day <= sim::DaysInMonth(date.Year, date.Month);
    if (!exists) return std::string();
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%u/%u/%u", unsigned(date.Month), unsigned(date.Day),
                                     unsigned(date.Year));
    if (length <= 0 || static_cast<uint32_t>(length) + 1 > bufferSize) return std::string();
    return text;
}

}  // namespace platform
