// The time facility of the platform interface on Windows: the kernel's clocks and winmm's timers.
#include "platform/win32/WindowsApi.h"

#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/Time.h"

namespace platform {
namespace {

SystemTime Portable(const SYSTEMTIME& t) {
    return {t.wYear, t.wMonth, t.wDayOfWeek, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

struct Registration {
    TimerCallback Callback;
    std::uintptr_t User;
};

// The callbacks of the running timers by id. winmm's thread looks its timer up here rather than
// trusting a pointer, so a timer killed while its call was on the way is simply not called.
std::mutex TimersLock;
std::map<UINT, Registration> Timers;

void CALLBACK TimerProc(UINT timerId, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    Registration call{};
    {
        std::lock_guard<std::mutex> lock(TimersLock);
        const auto found = Timers.find(timerId);
        if (found == Timers.end()) return;
        call = found->second;
    }
    call.Callback(timerId, call.User);
}

}  // namespace

void GetSystemTime(SystemTime& utc) {
    SYSTEMTIME t{};
    ::GetSystemTime(&t);
    utc = Portable(t);
}

void GetLocalTime(SystemTime& local) {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    local = Portable(t);
}

uint32_t GetTickCount() { return ::GetTickCount(); }

bool QueryPerformanceCounter(int64_t& count) {
    LARGE_INTEGER value{};
    if (!::QueryPerformanceCounter(&value)) return false;
    count = value.QuadPart;
    return true;
}

bool QueryPerformanceFrequency(int64_t& countsPerSecond) {
    LARGE_INTEGER value{};
    if (!::QueryPerformanceFrequency(&value)) return false;
    countsPerSecond = value.QuadPart;
    return true;
}

void Sleep(uint32_t milliseconds) { ::Sleep(milliseconds); }

uint32_t timeSetEvent(uint32_t periodMs, TimerCallback callback, std::uintptr_t user, uint32_t resolutionMs) {
    if (!callback || periodMs == 0 || periodMs > TIMER_MAX_PERIOD) return 0;
    // Held across the call: a first tick that comes early waits until its timer is registered.
    std::lock_guard<std::mutex> lock(TimersLock);
    const UINT id = ::timeSetEvent(periodMs, resolutionMs, TimerProc, 0, TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
    if (id != 0) Timers[id] = {callback, user};
    return id;
}

bool timeKillEvent(uint32_t timerId) {
    {
        std::lock_guard<std::mutex> lock(TimersLock);
        if (Timers.erase(timerId) == 0) return false;
    }
    // Outside the lock: a synchronous kill waits for a call in progress, which may be waiting for it.
    return ::timeKillEvent(timerId) == TIMERR_NOERROR;
}

// A user's time format may be longer than the usual "15:04:05": the call says what it needs first,
// for the same moment as the text then written.
std::string GetTimeFormat() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    const int needed = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, nullptr, 0);
    if (needed <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(needed), '\0');
    const int written = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, text.data(), needed);
    if (written <= 0) return std::string();
    return std::string(text.data(), strnlen(text.data(), static_cast<size_t>(written)));
}

std::string GetDateFormat(const SystemTime& date, uint32_t bufferSize) {
    const SYSTEMTIME d = {date.Year, date.Month, date.DayOfWeek, date.Day,
                          date.Hour, date.Minute, date.Second,   date.Milliseconds};
    std::vector<char> text(bufferSize + 1, '\0');
    const int written = ::GetDateFormatA(LOCALE_USER_DEFAULT, 0, &d, nullptr, text.data(), static_cast<int>(bufferSize));
    if (written <= 0) return std::string();
    return std::string(text.data(), strnlen(text.data(), bufferSize));
}

}  // namespace platform
