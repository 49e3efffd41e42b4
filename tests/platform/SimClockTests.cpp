// The simulated world's one timeline: clocks that agree, timers that fall due on their own thread,
// and drives that age on the same time.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TestMachine.h"
#include "platform/Shell.h"
#include "platform/Time.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimWorld.h"

namespace {

using platform::SystemTime;

}  // namespace

namespace platform {  // where the assertions look for them

static bool operator==(const SystemTime& a, const SystemTime& b) {
    return a.Year == b.Year && a.Month == b.Month && a.DayOfWeek == b.DayOfWeek && a.Day == b.Day &&
           a.Hour == b.Hour && a.Minute == b.Minute && a.Second == b.Second && a.Milliseconds == b.Milliseconds;
}

static std::ostream& operator<<(std::ostream& out, const SystemTime& t) {
    return out << t.Year << "-" << t.Month << "-" << t.Day << " (" << t.DayOfWeek << ") " << t.Hour << ":" << t.Minute
               << ":" << t.Second << "." << t.Milliseconds;
}

}  // namespace platform

namespace {

// Fields: year, month, day of week (0 Sunday), day, hour, minute, second, millisecond. Expected
// values were worked out with an independent calendar.
struct ClockCase {
    SystemTime startUtc;
    int bias;
    uint64_t advance;
    SystemTime utc, local;
};
const ClockCase ClockCases[] = {
    {{2026, 1, 1, 5, 23, 59, 59, 999}, 0, 1, {2026, 1, 2, 6, 0, 0, 0, 0}, {2026, 1, 2, 6, 0, 0, 0, 0}},  // midnight
    {{2026, 1, 6, 31, 23, 30, 0, 0}, 0, 3600000, {2026, 2, 0, 1, 0, 30, 0, 0}, {2026, 2, 0, 1, 0, 30, 0, 0}},
    {{2028, 2, 1, 28, 12, 0, 0, 0}, 0, 86400000, {2028, 2, 2, 29, 12, 0, 0, 0}, {2028, 2, 2, 29, 12, 0, 0, 0}},
    {{2028, 2, 1, 28, 12, 0, 0, 0}, 0, 172800000, {2028, 3, 3, 1, 12, 0, 0, 0}, {2028, 3, 3, 1, 12, 0, 0, 0}},
    {{2100, 2, 0, 28, 23, 0, 0, 0}, 0, 7200000, {2100, 3, 1, 1, 1, 0, 0, 0}, {2100, 3, 1, 1, 1, 0, 0, 0}},  // no leap day
    {{2026, 12, 4, 31, 23, 59, 59, 500}, 0, 1000, {2027, 1, 5, 1, 0, 0, 0, 500}, {2027, 1, 5, 1, 0, 0, 0, 500}},
    {{2026, 1, 1, 5, 12, 0, 0, 0}, 0, 4294967296, {2026, 2, 2, 24, 5, 2, 47, 296}, {2026, 2, 2, 24, 5, 2, 47, 296}},
    {{2026, 12, 4, 31, 23, 30, 0, 0}, 60, 0, {2026, 12, 4, 31, 23, 30, 0, 0}, {2027, 1, 5, 1, 0, 30, 0, 0}},
    {{2026, 3, 0, 1, 3, 0, 0, 0}, -300, 0, {2026, 3, 0, 1, 3, 0, 0, 0}, {2026, 2, 6, 28, 22, 0, 0, 0}},
    {{2026, 1, 1, 5, 12, 0, 0, 0}, 330, 4294967297, {2026, 2, 2, 24, 5, 2, 47, 297}, {2026, 2, 2, 24, 10, 32, 47, 297}},
};

class SimClock : public MachineTest {};

TEST_F(SimClock, EveryClockFollowsTheOneTimeline) {
    for (const ClockCase& c : ClockCases) {
        sim::ResetClock();
        ASSERT_TRUE(sim::SetSystemTime(c.startUtc)) << c.startUtc;
        sim::SetTimeZoneBias(c.bias);
        sim::AdvanceTime(c.advance);
        SystemTime utc{}, local{};
        platform::GetSystemTime(utc);
        platform::GetLocalTime(local);
        EXPECT_EQ(utc, c.utc) << "from " << c.startUtc << " plus " << c.advance << " ms";
        EXPECT_EQ(local, c.local) << "bias " << c.bias;
        EXPECT_EQ(platform::GetTickCount(), static_cast<uint32_t>(c.advance)) << "wraps after 2^32 ms";
        int64_t count = 0, frequency = 0;
        ASSERT_TRUE(platform::QueryPerformanceCounter(count) && platform::QueryPerformanceFrequency(frequency));
        EXPECT_EQ(count / (frequency / 1000), static_cast<int64_t>(c.advance));
    }
}

TEST_F(SimClock, StartsAtItsDocumentedTimeAndRefusesDatesThatDoNotExist) {
    sim::ResetWorld();
    SystemTime now{};
    platform::GetLocalTime(now);
    EXPECT_EQ(now, (SystemTime{2026, 1, 1, 5, 12, 0, 0, 0}));
    EXPECT_EQ(platform::GetTimeFormat(), "12:00:00 PM");
    const SystemTime impossible[] = {{2026, 2, 0, 29, 0, 0, 0, 0}, {2028, 2, 0, 30, 0, 0, 0, 0}, {2026, 13, 0, 1, 0, 0, 0, 0},
                                     {2026, 0, 0, 1, 0, 0, 0, 0},  {2026, 1, 0, 0, 0, 0, 0, 0},  {2026, 1, 0, 1, 24, 0, 0, 0},
                                     {2026, 1, 0, 1, 0, 60, 0, 0}, {2026, 1, 0, 1, 0, 0, 0, 1000}, {1600, 12, 0, 31, 0, 0, 0, 0}};
    for (const SystemTime& t : impossible) EXPECT_FALSE(sim::SetSystemTime(t)) << t;
    platform::GetSystemTime(now);
    EXPECT_EQ(now, sim::ClockStart);
    EXPECT_TRUE(sim::SetSystemTime({2028, 2, 6, 29, 23, 59, 59, 999}));
}

TEST_F(SimClock, SettingTheLocalTimeOfDayKeepsTheLocalDate) {
    sim::SetTimeZoneBias(-300);
    ASSERT_TRUE(sim::SetSystemTime({2026, 1, 2, 6, 2, 0, 0, 0}));  // 9:00 PM on the 5th, locally
    sim::SetLocalTime(9, 30, 0);
    SystemTime utc{};
    platform::GetSystemTime(utc);
    EXPECT_EQ(utc, (SystemTime{2026, 1, 1, 5, 14, 30, 0, 0}));
    EXPECT_EQ(platform::GetTimeFormat(), "9:30:00 AM");
}

// What each timer call saw.
struct Call {
    uint32_t timer;
    uint32_t tick;
    std::thread::id thread;
};
std::vector<Call> Calls;
uint32_t KillOnCall = 0;  // the call that kills its own timer (0: none)
uint32_t SleepOnCall = 0;  // the call that sleeps half a second

void Record(uint32_t timerId, std::uintptr_t user) {
    Calls.push_back({timerId, platform::GetTickCount(), std::this_thread::get_id()});
    if (Calls.size() == SleepOnCall) platform::Sleep(500);
    if (Calls.size() == KillOnCall) {
        EXPECT_TRUE(platform::timeKillEvent(timerId));
    }
    EXPECT_EQ(user, 7u);
}

class SimTimers : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        Calls.clear();
        KillOnCall = SleepOnCall = 0;
    }
};

TEST_F(SimTimers, AMinuteTimerFiresOncePerMinuteOnItsOwnThreadAtItsDueTime) {
    for (const uint32_t minutes : {0u, 1u, 5u, 60u}) {
        sim::ResetClock();
        Calls.clear();
        const uint32_t id = platform::timeSetEvent(60000, Record, 7);
        ASSERT_NE(id, 0u);
        sim::AdvanceTime(minutes * 60000ull + 500);
        ASSERT_EQ(Calls.size(), minutes);
        for (uint32_t i = 0; i < minutes; ++i) {
            EXPECT_EQ(Calls[i].tick, (i + 1) * 60000u);
            EXPECT_EQ(Calls[i].timer, id);
            EXPECT_NE(Calls[i].thread, std::this_thread::get_id());
        }
        EXPECT_EQ(platform::GetTickCount(), minutes * 60000u + 500);
    }
}

TEST_F(SimTimers, TimersFallDueInOrderOlderFirstOnATie) {
    const uint32_t a = platform::timeSetEvent(20000, Record, 7), b = platform::timeSetEvent(30000, Record, 7);
    for (int i = 0; i < 4; ++i) platform::Sleep(15000);  // sleeping moves the clock and fires them too
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{a, 20000}, {b, 30000}, {a, 40000}, {a, 60000}, {b, 60000}};
    ASSERT_EQ(Calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Calls[i].timer, expected[i].first) << i;
        EXPECT_EQ(Calls[i].tick, expected[i].second) << i;
    }
}

TEST_F(SimTimers, ACallbackKillsItsOwnTimerOrSleepsWithoutFiringAgain) {
    KillOnCall = 3;
    SleepOnCall = 1;
    const uint32_t id = platform::timeSetEvent(1000, Record, 7);
    sim::AdvanceTime(10000);
    ASSERT_EQ(Calls.size(), 3u);
    EXPECT_EQ(Calls[1].tick, 2000u) << "the call after the sleep comes at its own due time";
    EXPECT_EQ(sim::TimerCount(), 0u);
    EXPECT_FALSE(platform::timeKillEvent(id));
    EXPECT_EQ(platform::GetTickCount(), 10000u);
}

TEST_F(SimTimers, RefusesWhatWindowsRefusesAndResetKillsEveryTimer) {
    EXPECT_EQ(platform::timeSetEvent(0, Record, 7), 0u);
    EXPECT_EQ(platform::timeSetEvent(platform::TIMER_MAX_PERIOD + 1, Record, 7), 0u);
    EXPECT_EQ(platform::timeSetEvent(1000, nullptr, 7), 0u);
    EXPECT_NE(platform::timeSetEvent(platform::TIMER_MAX_PERIOD, Record, 7), 0u);
    EXPECT_NE(platform::timeSetEvent(1, Record, 7), 0u);
    platform::ShellExecute(0, "open", "x", "", "", 1);
    sim::SetTimeZoneBias(60);
    Install(sim::DefaultMachine());
    sim::ResetWorld();
    EXPECT_EQ(sim::TimerCount(), 0u);
    sim::AdvanceTime(2000000);
    EXPECT_TRUE(Calls.empty());
    EXPECT_TRUE(sim::Current().Drives.empty());
    EXPECT_TRUE(sim::ShellRequests().empty());
    SystemTime local{};
    platform::GetLocalTime(local);
    EXPECT_EQ(local, (SystemTime{2026, 1, 1, 5, 12, 33, 20, 0}));
}

// Attribute 9 of the installed machine's first drive.
uint64_t PowerOnCounter() {
    const uint8_t* e = &sim::Current().Drives[0].SmartData[2];
    for (int i = 0; i < 30 && e[0] != 9; ++i) e += 12;
    uint64_t raw = 0;
    for (int b = 5; b >= 0; --b) raw = raw << 8 | e[5 + b];
    return e[0] == 9 ? raw : ~0ull;
}

void DoNothing(uint32_t, std::uintptr_t) {}

TEST_F(SimTimers, DrivesAgeOnTheSameTimelineHoweverItIsCut) {
    const auto twoHours = {+[] { sim::AdvanceTime(7200000); },
                           +[] {
                               platform::timeSetEvent(60000, DoNothing, 0);
                               platform::timeSetEvent(7001, DoNothing, 0);
                               sim::AdvanceTime(7200000);
                           },
                           +[] { for (int i = 0; i < 21600; ++i) platform::Sleep(i % 3 == 2 ? 334 : 333); }};
    for (const auto& pass : twoHours) {
        sim::ResetWorld();
        sim::Drive drive = testmachine::SataDrive("AGE", 1);
        drive.Aging.SecondsPerPowerOnUnit = 60;  // counts minutes
        sim::Machine m;
        m.Drives = {drive};
        Install(std::move(m));
        const uint64_t before = PowerOnCounter();
        pass();
        EXPECT_EQ(PowerOnCounter() - before, 120u);
        EXPECT_EQ(platform::GetTickCount(), 7200000u);
    }
}

}  // namespace
