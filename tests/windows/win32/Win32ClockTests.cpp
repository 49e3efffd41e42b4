// The real clock calls against the Windows calls they stand for, and winmm's periodic timer.
#include "platform/Time.h"
#include "platform/Types.h"
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

std::string SystemTimeText() {
    char text[64] = {};
    const int n = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, sizeof text);
    return n > 0 ? std::string(text) : std::string();
}

TEST(Win32Clock, CurrentTimeIsTheUsersDefaultFormat) {
    // A second may turn between the calls: the platform's text must equal the one before or after.
    const std::string before = SystemTimeText();
    const std::string text = platform::GetTimeFormat();
    const std::string after = SystemTimeText();
    ASSERT_FALSE(before.empty());
    EXPECT_FALSE(text.empty());
    EXPECT_TRUE(text == before || text == after) << "'" << text << "' vs '" << before << "' / '" << after << "'";
    EXPECT_EQ(text.find('\0'), std::string::npos);
}

// A user's own time format can be far longer than "15:04:05"; the text is not cut.
TEST(Win32Clock, ALongUserTimeFormatComesWhole) {
    char saved[128] = {};
    ASSERT_GT(::GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, saved, sizeof saved), 0);
    const char* const format = "HH 'hours,' mm 'minutes and' ss 'seconds past midnight'";
    ASSERT_TRUE(::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, format)) << ::GetLastError();
    const std::string before = SystemTimeText();
    const std::string text = platform::GetTimeFormat();
    const std::string after = SystemTimeText();
    ::SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, saved);
    if (before.find("seconds past midnight") == std::string::npos) GTEST_SKIP() << "format not taken: " << before;
    EXPECT_GT(text.size(), 24u);
    EXPECT_TRUE(text == before || text == after) << "'" << text << "' vs '" << before << "'";
}

uint64_t Milliseconds(const platform::SystemTime& t) {
    const SYSTEMTIME w = {t.Year, t.Month, t.DayOfWeek, t.Day, t.Hour, t.Minute, t.Second, t.Milliseconds};
    FILETIME f{};
    EXPECT_TRUE(::SystemTimeToFileTime(&w, &f));
    return ((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000;
}

TEST(Win32Clock, TickCountAndPerformanceCounterMoveWithSleep) {
    int64_t frequency = 0, before = 0, after = 0;
    ASSERT_TRUE(platform::QueryPerformanceFrequency(frequency));
    ASSERT_GT(frequency, 0);
    const uint32_t tickBefore = platform::GetTickCount();
    ASSERT_TRUE(platform::QueryPerformanceCounter(before));
    platform::Sleep(100);
    ASSERT_TRUE(platform::QueryPerformanceCounter(after));
    const uint32_t ticks = platform::GetTickCount() - tickBefore;
    EXPECT_GE(ticks, 80u);  // the tick count moves in steps of up to 16 ms
    EXPECT_LT(ticks, 5000u);
    EXPECT_GE((after - before) * 1000 / frequency, 95);
}

TEST(Win32Clock, LocalTimeIsSystemTimeShiftedByTheMachinesTimeZone) {
    platform::SystemTime utc{}, local{};
    platform::GetSystemTime(utc);
    platform::GetLocalTime(local);
    const SYSTEMTIME w = {utc.Year, utc.Month, utc.DayOfWeek, utc.Day, utc.Hour, utc.Minute, utc.Second, utc.Milliseconds};
    SYSTEMTIME expected{};
    ASSERT_TRUE(::SystemTimeToTzSpecificLocalTime(nullptr, &w, &expected));
    const platform::SystemTime e = {expected.wYear, expected.wMonth, expected.wDayOfWeek, expected.wDay,
                                    expected.wHour, expected.wMinute, expected.wSecond, expected.wMilliseconds};
    const int64_t apart = int64_t(Milliseconds(local)) - int64_t(Milliseconds(e));
    EXPECT_LT(apart < 0 ? -apart : apart, 1000) << "the two calls lie that far apart at most";
    EXPECT_EQ(local.DayOfWeek, expected.wDayOfWeek);
}

std::atomic<int> TimerCalls{0};
std::atomic<DWORD> TimerThread{0};

void CountCall(uint32_t, std::uintptr_t user) {
    if (user == 42) ++TimerCalls;
    TimerThread = ::GetCurrentThreadId();
}

TEST(Win32Clock, PeriodicTimerFiresOnItsOwnThreadUntilKilled) {
    EXPECT_EQ(platform::timeSetEvent(0, CountCall, 42), 0u);
    const uint32_t id = platform::timeSetEvent(20, CountCall, 42);
    ASSERT_NE(id, 0u);
    for (int waited = 0; waited < 1000 && TimerCalls < 3; waited += 10) ::Sleep(10);
    ASSERT_TRUE(platform::timeKillEvent(id));
    const int calls = TimerCalls;
    EXPECT_GE(calls, 3) << "a 20 ms timer fires a few times within a second";
    EXPECT_NE(TimerThread.load(), ::GetCurrentThreadId());
    ::Sleep(200);
    EXPECT_EQ(TimerCalls, calls) << "no call after the kill";
    EXPECT_FALSE(platform::timeKillEvent(id));
}

}  // namespace
