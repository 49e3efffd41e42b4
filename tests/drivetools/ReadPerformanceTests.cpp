// Read measurements: their summaries on worked samples, and whole measurements of simulated drives
// whose timing is known in advance, that fail part-way, or that are too small for the sequential run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "device/DiagnosticLog.h"
#include "discovery/Scan.h"
#include "drivetools/ReadPerformance.h"
#include "monitor/Monitor.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimUserInterface.h"

namespace {

// 100, 200, 200, 300 again and again, 501 samples.
std::vector<uint32_t> RepeatedPattern() {
    const uint32_t pattern[] = {100, 200, 200, 300};
    std::vector<uint32_t> speeds;
    for (unsigned i = 0; i < 501; ++i) speeds.push_back(pattern[i % 4]);
    return speeds;
}

TEST(ReadSummaries, SpeedsGiveAverageMostFrequentMaximumAndMinimum) {
    const struct {
        const char* name;
        std::vector<uint32_t> speeds;
        SpeedProfile expected;  // average, stability, max, min
    } cases[] = {
        // 126 x 100 + 250 x 200 + 125 x 300 = 100100, div 501 = 199.
        {"the worked pattern", RepeatedPattern(), {199, 200, 300, 100}},
        {"a tie goes to the speed seen first", {300, 100, 100, 300, 200}, {200, 300, 300, 100}},
        {"the other way round", {100, 300, 300, 100, 200}, {200, 100, 300, 100}},
        {"one sample", {41667}, {41667, 41667, 41667, 41667}},
        {"nothing", {}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const SpeedProfile p = SummariseSpeeds(c.speeds);
        EXPECT_EQ(p.Average, c.expected.Average) << c.name;
        EXPECT_EQ(p.Stability, c.expected.Stability) << c.name;
        EXPECT_EQ(p.Max, c.expected.Max) << c.name;
        EXPECT_EQ(p.Min, c.expected.Min) << c.name;
    }
}

TEST(ReadSummaries, TicksWrapAndNeverComeToZeroAndSpeedsRoundHalvesToEven) {
    constexpr int64_t TenMHz = 10000000;
    const struct {
        int64_t start, end, frequency;
        uint32_t ticks;
    } tickCases[] = {
        {1000, 11000, TenMHz, 10000},
        {5000, 4000, TenMHz, TenMHz - 1000},             // the counter went back: the wrap rule
        {7, 7, TenMHz, 1},                               // quicker than a tick
        {0, int64_t{1} << 32, TenMHz, 1},                // low 32 bits all zero
        {0, (int64_t{1} << 32) + 25, TenMHz, 25},        // only the low 32 bits count
    };
    for (const auto& c : tickCases)
        EXPECT_EQ(SampleTicks(c.start, c.end, c.frequency), c.ticks) << c.start << " to " << c.end;

    const struct {
        uint32_t ticks;
        int64_t frequency;
        uint32_t speed;
    } speedCases[] = {
        {10000, TenMHz, 125},   // 1 ms
        {7500, TenMHz, 167},    // 166.67
        {1, TenMHz, 1250000},   // one tick
        {256, 5120, 2},         // 2.5: to the even 2
        {256, 3072, 2},         // 1.5: to the even 2
    };
    for (const auto& c : speedCases) EXPECT_EQ(SampleSpeed(c.ticks, c.frequency), c.speed) << c.ticks;
}

std::vector<int64_t> AllBut(int64_t usual, int64_t odd) {
    std::vector<int64_t> samples(999, usual);
    samples[500] = odd;
    return samples;
}

TEST(ReadSummaries, AccessTimesLoseTheirOutliersAndRoundToHundredths) {
    const struct {
        const char* name;
        std::vector<int64_t> samples;  // ticks of a 10 MHz counter
        uint32_t ms, hundredths;
    } cases[] = {
        // Kept, the one sample ten times larger would make it 7.07 ms.
        {"one sample ten times larger", AllBut(70000, 700000), 7, 0},
        {"one sample ten times smaller", AllBut(70000, 7000), 7, 0},
        {"one sample three times larger stays", AllBut(70000, 210000), 7, 1},
        {"7.256 ms", std::vector<int64_t>(999, 72560), 7, 26},
        {"12.674 ms", std::vector<int64_t>(999, 126740), 12, 67},
        {"a counter that went back", std::vector<int64_t>(999, -5), 0, 0},
    };
    for (const auto& c : cases) {
        const AccessTime t = SummariseAccessTimes(c.samples, 10000000);
        EXPECT_EQ(t.Milliseconds, c.ms) << c.name;
        EXPECT_EQ(t.Hundredths, c.hundredths) << c.name;
    }
}

class ReadPerformance : public MachineTest {
protected:
    // Installs the drives and scans them; every kept record is pending, its results at 1234.
    void ScanWith(std::vector<sim::Drive> drives) {
        Install({}).Drives = std::move(drives);
        ScanDrives();
        ASSERT_GT(DriveTable.Count, 0u);
        for (unsigned i = 0; i < DriveTable.Count; ++i) {
            DriveRecord& d = *DriveTable.Drives[i];
            d.PerformanceTestPending = true;
            d.BufferingReadSpeed = d.AverageReadSpeed = d.StabilityReadSpeed = d.MaxReadSpeed = d.MinReadSpeed = 1234;
            d.AverageAccessTime = d.AverageAccessTimeFrac = 123;
        }
    }
    void Fresh() {
        TearDown();
        SetUp();
    }
    DriveRecord& Record(unsigned i = 0) { return *DriveTable.Drives[i]; }
    sim::RawDisk& Raw(unsigned i = 0) { return Drive(i).Raw; }
};

sim::Drive WithIdentify(sim::Drive d, const sim::IdentifyPage& id) {
    d.Identify = id.Bytes();
    return d;
}

sim::Drive Hdd() { return testmachine::SataDrive("HDD1"); }  // 1 TB (1953525168 sectors), 7200 rpm
sim::Drive Ssd() { return WithIdentify(testmachine::SataDrive("SSD1"), testmachine::SataIdentify("SSD1").Word(217, 1)); }
sim::Drive SmallHdd(uint64_t sectors) {
    return WithIdentify(testmachine::SataDrive("SMALL1"), testmachine::SataIdentify("SMALL1").Sectors48(sectors));
}

// The figures the default timings give, worked out by hand. Hard disk: 200 MiB/s at the outer edge
// falling to 100 at the inner, so 166.67 at a third in (128 KiB in 750 us: 167; the second sample,
// one block of it from the cache, 748 us: 167 too); 500 MiB/s from the cache (250 us: 500); a random
// block 8.5 ms + 4.167 ms (half a turn at 7200 rpm) + 2.4..4.9 us: 12.67 ms. SSD: 500 MiB/s everywhere
// (250 us), 625 from the cache (200 us), a random block 60 us + 1 us: 0.06 ms. The sequential run's
// first sample reads what the buffered measurement just left in the cache, at the interface's speed.
TEST_F(ReadPerformance, MeasuredFiguresAreTheModelledOnes) {
    const struct {
        const char* name;
        sim::Drive drive;
        uint16_t buffered, average, stability, max, min;
        uint8_t ms, hundredths;
    } cases[] = {
        {"hard disk", Hdd(), 500, 167, 167, 500, 167, 12, 67},  // (500 + 500 x 167) div 501 = 167
        {"SSD", Ssd(), 625, 500, 500, 625, 500, 0, 6},
    };
    for (const auto& c : cases) {
        ScanWith({c.drive});
        DriveRecord& d = Record();
        const unsigned pumped = sim::MessagePumpPasses();
        ASSERT_TRUE(MeasureReadSpeed(d, true)) << c.name << DriveLogText(d);
        ASSERT_TRUE(MeasureReadSpeed(d, false)) << c.name << DriveLogText(d);
        ASSERT_TRUE(MeasureAccessTime(d)) << c.name << DriveLogText(d);
        EXPECT_EQ(d.BufferingReadSpeed, c.buffered) << c.name;
        EXPECT_EQ(d.AverageReadSpeed, c.average) << c.name;
        EXPECT_EQ(d.StabilityReadSpeed, c.stability) << c.name;
        EXPECT_EQ(d.MaxReadSpeed, c.max) << c.name;
        EXPECT_EQ(d.MinReadSpeed, c.min) << c.name;
        EXPECT_EQ(d.AverageAccessTime, c.ms) << c.name;
        EXPECT_EQ(d.AverageAccessTimeFrac, c.hundredths) << c.name;
        EXPECT_TRUE(d.PerformanceTestPending) << c.name << ": clearing it is the caller's";
        EXPECT_EQ(sim::MessagePumpPasses() - pumped, 501u + 501u + 999u) << c.name << ": one pump per sample";
        EXPECT_EQ(Drive(0).Power.Reads, 3u + 501u + 501u + 999u) << c.name << ": a warm-up read each";
        EXPECT_EQ(DriveLogText(d).find("32767"), std::string::npos) << c.name;
        Fresh();
    }
}

TEST_F(ReadPerformance, TheSequentialRateFallsTowardsTheInnerZone) {
    // 192 MiB at 300 MiB/s outside, 150 inside: the run starts at 64 MiB (250 MiB/s, 500 us a sample);
    // the second sample, one block of it from the cache at 500 MiB/s, takes 499 us (251); the last
    // starts at 126.5 MiB (201.2 MiB/s, 621 us: 201).
    sim::Drive d = SmallHdd(192 * 2048);
    d.Raw.OuterMiBPerSecond = 300;
    d.Raw.InnerMiBPerSecond = 150;
    ScanWith({d});
    ASSERT_TRUE(MeasureReadSpeed(Record(), false)) << DriveLogText(Record());
    const DriveRecord& r = Record();
    EXPECT_EQ(r.MaxReadSpeed, 251);
    EXPECT_EQ(r.MinReadSpeed, 201);
    EXPECT_TRUE(r.MinReadSpeed < r.AverageReadSpeed && r.AverageReadSpeed < r.MaxReadSpeed) << r.AverageReadSpeed;
    EXPECT_TRUE(r.MinReadSpeed < r.StabilityReadSpeed && r.StabilityReadSpeed < r.MaxReadSpeed) << r.StabilityReadSpeed;
}

TEST_F(ReadPerformance, ASpeedAbove32767IsKeptAndLogged) {
    sim::Drive d = Ssd();
    d.Raw.InterfaceMiBPerSecond = 40000;  // 128 KiB from the cache in 3.125 us, counted as 3: 41667
    ScanWith({d});
    ASSERT_TRUE(MeasureReadSpeed(Record(), true));
    EXPECT_EQ(Record().BufferingReadSpeed, 41667);
    EXPECT_NE(DriveLogText(Record()).find("BufferingReadSpeed > 32767"), std::string::npos) << DriveLogText(Record());
}

std::vector<uint64_t> AccessPositionsRead(const sim::RawDisk& raw) {
    return std::vector<uint64_t>(raw.ReadPositions.end() - 1000, raw.ReadPositions.end());
}

TEST_F(ReadPerformance, EveryRunReadsTheSameBlocksWhateverDrewFromTheGeneratorBetween) {
    ScanWith({Hdd()});
    DriveRecord& d = Record();
    ASSERT_TRUE(MeasureAccessTime(d));
    const std::vector<uint64_t> first = AccessPositionsRead(Raw());
    RandomBlockRead(d);  // what a monitoring cycle does meanwhile
    ASSERT_TRUE(MeasureAccessTime(d));
    EXPECT_EQ(AccessPositionsRead(Raw()), first);

    ResetRandomSeed();
    for (unsigned i = 0; i < 1000; ++i) {
        const int64_t expected = RandomBlockPosition(d);
        ASSERT_EQ(first[i], static_cast<uint64_t>(expected)) << "position " << i;
        ASSERT_EQ(first[i] % 512, 0u);
        ASSERT_LT(first[i], static_cast<uint64_t>(d.AvailableSize));
    }
}

// A drive of 32 MiB: the sequential run from a third in (11184640) meets the end at its 171st
// sample, 33466880 + 128 KiB being past 33554432. The buffered read and the random blocks fit.
TEST_F(ReadPerformance, ADriveSmallerThanTheSequentialRunIsNotMeasuredButTheRestIs) {
    ScanWith({SmallHdd(32 * 2048)});
    DriveRecord& d = Record();
    EXPECT_FALSE(MeasureReadSpeed(d, false));
    EXPECT_EQ(d.AverageReadSpeed, 1234);
    EXPECT_EQ(d.MinReadSpeed, 1234);
    EXPECT_NE(DriveLogText(d).find("Sequential read speed not measured: read came up short at byte 33466880."),
              std::string::npos)
        << DriveLogText(d);
    EXPECT_TRUE(MeasureReadSpeed(d, true));
    EXPECT_TRUE(MeasureAccessTime(d));
    EXPECT_TRUE(d.PerformanceTestPending);
}

// The access measurement of the hard disk takes 12.7 s of the timeline, over the minute at which the
// monitoring cycle falls due. Each sample holds the drive lock that the cycle takes, so the cycle
// waits for the measurement's next pause in the simulation; it then runs and reads the drive.
TEST_F(ReadPerformance, AMonitoringCycleDueDuringAMeasurementRunsAfterIt) {
    Install({}).Drives = {Hdd()};
    StartResidentProgram();
    ASSERT_EQ(DriveTable.Count, 1u);
    sim::AdvanceTime(55000);
    const unsigned queries = Drive(0).Power.Queries;
    ASSERT_TRUE(MeasureAccessTime(Record()));
    EXPECT_GT(sim::UptimeMilliseconds(), 60000u);
    EXPECT_EQ(CycleCounter, 0u);
    sim::AdvanceTime(0);
    EXPECT_EQ(CycleCounter, 1u);
    EXPECT_EQ(Drive(0).Power.Queries, queries + 1);
    KillResidentProgram();
}

enum class Measurement { Buffered, Sequential, Access };

// The hard disk: the run starts a third into its size, one sector short of its 1953525168, rounded
// down to a sector.
TEST_F(ReadPerformance, AFailedSeekOrReadEndsTheMeasurementStoresNothingAndIsLogged) {
    constexpr int64_t Start = 333401628160;
    const struct {
        const char* name;
        Measurement measurement;
        int64_t readsBeforeFailure, seeksBeforeFailure;
        std::string log;
    } cases[] = {
        {"warm-up read", Measurement::Sequential, 0, -1,
         "Sequential read speed not measured: read failed at byte " + std::to_string(Start) + "."},
        {"100th sample", Measurement::Sequential, 100, -1,
         "Sequential read speed not measured: read failed at byte " + std::to_string(Start + 99 * 131072) + "."},
        {"seek after the first sample", Measurement::Buffered, -1, 1,
         "Buffered read speed not measured: seek failed at byte " + std::to_string(Start) + "."},
        {"warm-up seek", Measurement::Access, -1, 0, "Access time not measured: seek failed at byte "},
        {"500th random block", Measurement::Access, 500, -1, "Access time not measured: read failed at byte "},
    };
    for (const auto& c : cases) {
        sim::Drive drive = Hdd();
        drive.Raw.ReadsBeforeFailure = c.readsBeforeFailure;
        drive.Raw.SeeksBeforeFailure = c.seeksBeforeFailure;
        ScanWith({drive});
        DriveRecord& d = Record();
        const bool measured = c.measurement == Measurement::Access ? MeasureAccessTime(d)
                                                                   : MeasureReadSpeed(d, c.measurement == Measurement::Buffered);
        EXPECT_FALSE(measured) << c.name;
        EXPECT_NE(DriveLogText(d).find(c.log), std::string::npos) << c.name << "\n" << DriveLogText(d);
        EXPECT_EQ(GlobalLogText().find("not measured"), std::string::npos) << c.name;
        EXPECT_TRUE(d.PerformanceTestPending) << c.name;
        for (uint16_t v : {d.BufferingReadSpeed, d.AverageReadSpeed, d.StabilityReadSpeed, d.MaxReadSpeed, d.MinReadSpeed})
            EXPECT_EQ(v, 1234) << c.name;
        EXPECT_EQ(d.AverageAccessTime, 123) << c.name;
        EXPECT_EQ(d.AverageAccessTimeFrac, 123) << c.name;
        Fresh();
    }
}

}  // namespace
