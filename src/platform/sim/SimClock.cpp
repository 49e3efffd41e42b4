// The clock facility of the simulated machine: a local time that only moves when a test sets it or
// lets virtual time pass, rendered the way an English (United States) user's default time format
// shows it.
#include <cstdio>
#include <mutex>

#include "platform/Time.h"
#include "platform/sim/SimMachine.h"

namespace sim {
namespace {

std::mutex ClockLock;
unsigned Hour = 12, Minute = 0, Second = 0;

}  // namespace

void SetLocalTime(unsigned hour, unsigned minute, unsigned second) {
    std::lock_guard<std::mutex> lock(ClockLock);
    Hour = hour % 24;
    Minute = minute % 60;
    Second = second % 60;
}

void AdvanceLocalTime(uint32_t seconds) {
    std::lock_guard<std::mutex> lock(ClockLock);
    const uint64_t now = (Hour * 3600ull + Minute * 60ull + Second + seconds) % 86400;
    Hour = static_cast<unsigned>(now / 3600);
    Minute = static_cast<unsigned>(now / 60 % 60);
    Second = static_cast<unsigned>(now % 60);
}

}  // namespace sim

namespace platform {

std::string GetTimeFormat() {
    std::lock_guard<std::mutex> lock(sim::ClockLock);
    const unsigned h12 = sim::Hour % 12 == 0 ? 12 : sim::Hour % 12;
    char text[32];
    std::snprintf(text, sizeof text, "%u:%02u:%02u %s", h12, sim::Minute, sim::Second, sim::Hour < 12 ? "AM" : "PM");
    return text;
}

}  // namespace platform
