// Worked hours: the power-on timer is calibrated by watching a drive's own counter on the clock for
// an hour of monitoring cycles.
#include <gtest/gtest.h>

#include <string>

#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "discovery/Scan.h"
#include "smart/Condition.h"
#include "smart/PowerOnTime.h"
#include "smart/SmartData.h"
#include "smart/WorkedHours.h"

namespace {

constexpr uint64_t HourMs = 3600000;

// A counter that ticks once every `unitMs`, the first time `firstTickMs` after the first cycle.
struct Counter {
    uint64_t unitMs, firstTickMs, startRaw;
    uint64_t RawAt(uint64_t ms) const { return startRaw + (ms < firstTickMs ? 0 : (ms - firstTickMs) / unitMs + 1); }
};

// Cycles every `cycleMs` read the counter, the clock's tick count starting at `startTick`, until the
// period is set (or for three hours); the milliseconds from the first cycle to the last come back.
uint64_t Calibrate(DriveRecord& d, const Counter& c, uint64_t cycleMs, uint32_t startTick) {
    for (uint64_t at = 0;; at += cycleMs) {
        d.PowerTime = static_cast<uint32_t>(c.RawAt(at));
        if (CalibratePowerOnTimer(d, static_cast<uint32_t>(startTick + at))) return at;
        if (at > 3 * HourMs) return at;
    }
}

DriveRecord CalibratingDrive() {
    DriveRecord d;
    d.PowerTimeIndex = 3;
    return d;
}

const struct UnitCase {
    const char* unit;
    uint64_t unitMs;
    uint32_t perHour;
} UnitCases[] = {
    {"hours", 3600000, 1},    {"ten minutes", 600000, 6}, {"two minutes", 120000, 30}, {"minutes", 60000, 60},
    {"half minutes", 30000, 120}, {"two seconds", 2000, 1800}, {"seconds", 1000, 3600},
};

const struct CycleCase {
    const char* what;
    uint64_t cycleMs;
} CycleCases[] = {
    {"a minute apart", 60000},
    {"a minute and 12 ms apart", 60012},
    {"62 seconds apart (sixty cycles take 62 minutes)", 62000},
    {"65 seconds apart", 65000},
};

// Whatever the unit, however long the cycles and wherever the counter's ticks fall between them,
// the hours shown are the drive's own hours: counter x unit, in whole hours, now and a year later.
TEST(PowerOnTimeCalibration, TheHoursShownAreTheDrivesTrueHours) {
    constexpr unsigned Phases = 41;
    for (const UnitCase& u : UnitCases) {
        for (const CycleCase& cycles : CycleCases) {
            for (unsigned phase = 0; phase < Phases; ++phase) {
                // The first tick anywhere in the first unit after the first cycle, 1 ms after it included.
                const Counter counter{u.unitMs, 1 + (u.unitMs - 1) * phase / (Phases - 1), 7 * u.perHour * 1000 + 3};
                const std::string at = std::string(u.unit) + ", cycles " + cycles.what + ", first tick " +
                                       std::to_string(counter.firstTickMs) + " ms after the first cycle";
                DriveRecord d = CalibratingDrive();
                const uint64_t took = Calibrate(d, counter, cycles.cycleMs, 0xFFFF0000u);  // the tick count wraps
                EXPECT_GE(took, HourMs) << at;
                EXPECT_LE(took, 2 * HourMs + cycles.cycleMs) << at;
                ASSERT_EQ(d.PowerOnTimerPeriod, u.perHour) << at;
                for (const uint64_t later : {took, took + 8760 * HourMs}) {
                    const uint64_t raw = counter.RawAt(later);
                    d.PowerTime = static_cast<uint32_t>(raw);
                    EXPECT_EQ(WorkedHoursText(d), std::to_string(raw * u.unitMs / HourMs)) << at;
                }
            }
        }
    }
}

// Most counters settle on the first cycle past the hour; a counter of hours always does.
TEST(PowerOnTimeCalibration, AnHourCounterIsMeasuredInOneHour) {
    for (const CycleCase& cycles : CycleCases) {
        for (const uint64_t firstTick : {1ull, 60000ull, 1800000ull, 3599000ull, 3600000ull}) {
            DriveRecord d = CalibratingDrive();
            const uint64_t took = Calibrate(d, {HourMs, firstTick, 9002}, cycles.cycleMs, 0);
            EXPECT_LT(took, HourMs + cycles.cycleMs) << cycles.what << ", first tick at " << firstTick;
            EXPECT_EQ(d.PowerOnTimerPeriod, 1u) << cycles.what << ", first tick at " << firstTick;
        }
    }
}

TEST(PowerOnTimeCalibration, ACounterThatStandsStillCountsHoursAndOneThatWrapsIsMeasuredAgain) {
    DriveRecord still = CalibratingDrive();
    still.PowerTime = 500;
    for (uint32_t tick = 0; !CalibratePowerOnTimer(still, tick); tick += 60000) ASSERT_LE(tick, HourMs);
    EXPECT_EQ(still.PowerOnTimerPeriod, 1u) << "asleep, or counting coarsely: taken as measured";

    DriveRecord d = CalibratingDrive();
    const Counter minutes{60000, 60000, 4294967280u};
    d.PowerTime = static_cast<uint32_t>(minutes.RawAt(0));
    EXPECT_FALSE(CalibratePowerOnTimer(d, 0)) << "the checkpoint";
    d.PowerTime = static_cast<uint32_t>(minutes.RawAt(HourMs));
    EXPECT_FALSE(CalibratePowerOnTimer(d, HourMs));
    EXPECT_EQ(d.PowerTime, 44u) << "bytes 0..3 of the 48-bit counter wrapped";
    EXPECT_NE(d.Log.find("DEBUG - PowerTime overflow (PowerTimeCheckPoint = 4294967280, PowerTime = 44)"),
              std::string::npos);
    EXPECT_TRUE(PowerOnTimerCalibrating(d));
    uint64_t at = HourMs;
    do {
        at += 60000;
        d.PowerTime = static_cast<uint32_t>(minutes.RawAt(at));
    } while (!CalibratePowerOnTimer(d, static_cast<uint32_t>(at)) && at < 4 * HourMs);
    EXPECT_GE(at, 2 * HourMs) << "a new hour from the wrapped reading";
    EXPECT_EQ(d.PowerOnTimerPeriod, 60u);
    EXPECT_FALSE(CalibratePowerOnTimer(d, static_cast<uint32_t>(at + HourMs))) << "calibrated once for good";
}

TEST(PowerOnTimeCalibration, NvmeCountsHoursAndADriveWithoutAttribute9NeverCalibrates) {
    DriveRecord nvme;
    nvme.IsNVMe = true;
    Put64(nvme.SmartData, 128, 12345);
    ExtractSmartValues(nvme);
    EXPECT_FALSE(PowerOnTimerCalibrating(nvme));
    EXPECT_EQ(WorkedHoursText(nvme), "12345");

    DriveRecord ata;
    ata.SmartData[2] = 12;  // only a power-cycle attribute
    ata.AttributeCount = 1;
    ExtractSmartValues(ata);
    EXPECT_FALSE(PowerOnTimerCalibrating(ata));
    EXPECT_FALSE(CalibratePowerOnTimer(ata, 0));
    EXPECT_FALSE(CalibratePowerOnTimer(ata, HourMs));
    EXPECT_EQ(WorkedHoursText(ata), "calculated...");
}

}  // namespace
