#include "smart/PowerOnTime.h"

#include <cmath>
#include <limits>

#include "device/DiagnosticLog.h"

namespace {

constexpr double HourMs = 3600000.0;
constexpr uint32_t CalibrationHourMs = 3600000;
// However ambiguous the readings, two hours of them settle the period: the advance is then off by
// less than one unit, under half a unit per hour.
constexpr uint32_t LongestCalibrationMs = 2 * CalibrationHourMs;

uint32_t Elapsed(const PowerTimeReading& from, const PowerTimeReading& to) { return to.Tick - from.Tick; }

// The whole numbers of units per hour that every pair of readings allows. A counter that advanced
// d units in s ms ticks once a unit, so its unit is longer than s/(d+1) and, for d >= 2, shorter than
// s/(d-1). The pair spanning the whole hour alone leaves a minute counter at 59, 60 or 61; the pairs
// that begin just after a tick and end just before one pin it, and they pin an hour counter even when
// its second tick falls in the hour's last minute.
void AllowedPeriods(const DriveRecord& d, double& lowest, double& highest) {
    double above = 0, below = std::numeric_limits<double>::infinity();
    for (unsigned i = 0; i < d.PowerTimeReadingCount; ++i) {
        for (unsigned j = i + 1; j < d.PowerTimeReadingCount; ++j) {
            const double span = Elapsed(d.PowerTimeReadings[i], d.PowerTimeReadings[j]);
            const double advance = static_cast<double>(d.PowerTimeReadings[j].Counter) - d.PowerTimeReadings[i].Counter;
            if (span <= 0) continue;
            below = std::fmin(below, (advance + 1) * HourMs / span);
            if (advance >= 2) above = std::fmax(above, (advance - 1) * HourMs / span);
        }
    }
    lowest = std::fmax(1, std::floor(above) + 1);
    highest = std::ceil(below) - 1;
}

// The period once the hour is over, or 0 while the readings still allow several.
uint32_t MeasuredPeriod(const DriveRecord& d) {
    const PowerTimeReading& first = d.PowerTimeReadings[0];
    const PowerTimeReading& last = d.PowerTimeReadings[d.PowerTimeReadingCount - 1];
    const uint32_t span = Elapsed(first, last);
    const double rate = std::nearbyint((last.Counter - first.Counter) * HourMs / span);
    double lowest = 0, highest = 0;
    AllowedPeriods(d, lowest, highest);
    double period = rate;
    if (lowest == highest) period = lowest;
    else if (lowest < highest && span < LongestCalibrationMs) return 0;
    else if (lowest < highest) period = std::fmin(std::fmax(rate, lowest), highest);
    // Readings that allow no whole number (a counter that paused or jumped) keep the plain rate.
    return period < 1 ? 1 : period > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(period);
}

void TakeCheckPoint(DriveRecord& d, uint32_t tick) {
    d.PowerTimeCheckPoint = d.PowerTime;
    d.PowerTimeReadings[0] = {d.PowerTime, tick};
    d.PowerTimeReadingCount = 1;
}

// Kept in order; when the room runs out the newest reading takes the last place.
void KeepReading(DriveRecord& d, uint32_t tick) {
    if (d.PowerTimeReadingCount < PowerTimeReadingsKept) ++d.PowerTimeReadingCount;
    d.PowerTimeReadings[d.PowerTimeReadingCount - 1] = {d.PowerTime, tick};
}

}  // namespace

bool PowerOnTimerCalibrating(const DriveRecord& d) {
    return !d.IsNVMe && d.PowerTimeIndex != 0 && d.PowerOnTimerPeriod == 0;
}

bool CalibratePowerOnTimer(DriveRecord& d, uint32_t tick) {
    if (!PowerOnTimerCalibrating(d)) return false;
    if (d.PowerTimeReadingCount == 0) {
        TakeCheckPoint(d, tick);
        return false;
    }
    KeepReading(d, tick);
    if (tick - d.PowerTimeReadings[0].Tick < CalibrationHourMs) return false;
    if (d.PowerTimeCheckPoint > d.PowerTime) {  // wrapped or reset
        WriteLog("PowerTime overflow (PowerTimeCheckPoint = " + std::to_string(d.PowerTimeCheckPoint) +
                     ", PowerTime = " + std::to_string(d.PowerTime) + ")",
                 &d);
        TakeCheckPoint(d, tick);
        return false;
    }
    d.PowerOnTimerPeriod = MeasuredPeriod(d);
    return d.PowerOnTimerPeriod != 0;
}

void RestartPowerOnCalibration(DriveRecord& d) { d.PowerTimeReadingCount = 0; }
