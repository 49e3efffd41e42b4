// Read measurements: their summaries on worked samples, and whole measurements of simulated drives
// whose timing is known in advance, that fail part-way, or that are too small for the sequential run.
#include <gtest/gtest.h>

#include <set>
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

// The seven results in the order of the record's persisted values.
using Results = std::vector<int>;
Results ResultsOf(const DriveRecord& d) {
    return {d.BufferingReadSpeed, d.AverageReadSpeed, d.StabilityReadSpeed, d.MaxReadSpeed,
            d.MinReadSpeed,       d.AverageAccessTime, d.AverageAccessTimeFrac};
}
const Results Untouched = {1234, 1234, 1234, 1234, 1234, 123, 123};

class ReadPerformance : public MachineTest {
protected:
    // Installs the drive and scans it; the record is pending, its results Untouched.
    DriveRecord& ScanWith(const sim::Drive& drive) {
        TearDown();
        SetUp();
        Install({}).Drives = {drive};
        ScanDrives();
        EXPECT_EQ(DriveCount(), 1u);
        DriveRecord& d = DriveForCommands(0);
        d.PerformanceTestPending = true;
        d.BufferingReadSpeed = d.AverageReadSpeed = d.StabilityReadSpeed = d.MaxReadSpeed = d.MinReadSpeed = 1234;
        d.AverageAccessTime = d.AverageAccessTimeFrac = 123;
        return d;
    }
};

sim::Drive WithIdentify(const std::string& serial, sim::IdentifyPage& id) {
    sim::Drive d = testmachine::SataDrive(serial);
    d.Identify = id.Bytes();
    return d;
}
sim::Drive Hdd() { return testmachine::SataDrive("HDD1"); }  // 1 TB (1953525168 sectors), 7200 rpm
sim::Drive Ssd() { return WithIdentify("SSD1", testmachine::SataIdentify("SSD1").Word(217, 1)); }
sim::Drive SmallHdd(uint64_t sectors) { return WithIdentify("SMALL1", testmachine::SataIdentify("SMALL1").Sectors48(sectors)); }
sim::Drive SlowHdd() {  // 300 ms a seek: 304.17 ms a random block
    sim::Drive d = Hdd();
    d.Raw.AccessMicroseconds = 300000;
    return d;
}
sim::Drive FastCacheSsd() {
    sim::Drive d = Ssd();
    d.Raw.InterfaceMiBPerSecond = 40000;  // 128 KiB from the cache in 3.125 us, counted as 3: 41667
    return d;
}

// The figures the default timings give, worked out by hand. Hard disk: 200 MiB/s at the outer edge
// falling to 100 at the inner, so 166.67 at a third in (128 KiB in 750 us: 167; the second sample,
// one block of it from the cache, 748 us: 167 too); 500 MiB/s from the cache (250 us: 500); a random
// block 8.5 ms + 4.167 ms (half a turn at 7200 rpm) + 2.4..4.9 us: 12.67 ms. SSD: 500 MiB/s everywhere
// (250 us), 625 from the cache (200 us), a random block 60 us + 1 us: 0.06 ms. The sequential run's
// first sample reads what the buffered measurement just left in the cache, at the interface's speed
// (500 on the hard disk), and is left out of the profile; the second takes one block from the cache.
// A drive of 32 MiB: the sequential run from a third in (11184640) meets the end at its 171st sample,
// 33466880 + 128 KiB being past 33554432; the buffered read and the random blocks fit.
TEST_F(ReadPerformance, MeasuredFiguresAreTheModelledOnes) {
    const struct {
        const char* name;
        sim::Drive drive;
        Results expected;
        std::vector<std::string> log;
    } cases[] = {
        {"hard disk", Hdd(), {500, 167, 167, 167, 167, 12, 67}, {}},
        {"hard disk slower than one byte of milliseconds", SlowHdd(), {500, 167, 167, 167, 167, 304, 17}, {}},
        {"SSD", Ssd(), {625, 500, 500, 500, 500, 0, 6}, {}},
        // The second sample: one block from the cache, the rest at 500 MiB/s, 249 us: 502.
        {"SSD with a fast cache", FastCacheSsd(), {41667, 500, 500, 502, 500, 0, 6}, {"BufferingReadSpeed > 32767"}},
        {"32 MiB disk", SmallHdd(32 * 2048), {500, 1234, 1234, 1234, 1234, 12, 67},
         {"Sequential read speed not measured: read came up short at byte 33466880."}},
    };
    for (const auto& c : cases) {
        DriveRecord& d = ScanWith(c.drive);
        const unsigned pumped = sim::MessagePumpPasses();
        const bool sequential = c.expected[1] != 1234;
        EXPECT_TRUE(MeasureReadSpeed(d, true) && MeasureReadSpeed(d, false) == sequential && MeasureAccessTime(d)) << c.name;
        EXPECT_EQ(ResultsOf(d), c.expected) << c.name;
        for (const std::string& line : c.log) EXPECT_NE(DriveLogText(d).find(line), std::string::npos) << c.name << DriveLogText(d);
        EXPECT_EQ(DriveLogText(d).find("MaxReadSpeed"), std::string::npos) << c.name;
        if (c.log.empty()) {
            EXPECT_EQ(DriveLogText(d).find("ReadSpeed"), std::string::npos) << c.name;
        }
        EXPECT_TRUE(d.PerformanceTestPending) << c.name << ": clearing it is the caller's";
        if (sequential) {
            EXPECT_EQ(sim::MessagePumpPasses() - pumped, 501u + 501u + 999u) << c.name << ": one pump a sample";
            EXPECT_EQ(Drive(0).Power.Reads, 3u + 501u + 501u + 999u) << c.name << ": a warm-up read each";
        }
    }
}

TEST_F(ReadPerformance, TheSequentialRateFallsTowardsTheInnerZone) {
    // 192 MiB at 300 MiB/s outside, 150 inside: the run starts at 64 MiB (250 MiB/s, 500 us a sample);
    // the second sample, one block of it from the cache at 500 MiB/s, takes 499 us (251); the last
    // starts at 126.5 MiB (201.2 MiB/s, 621 us: 201).
    sim::Drive drive = SmallHdd(192 * 2048);
    drive.Raw.OuterMiBPerSecond = 300;
    drive.Raw.InnerMiBPerSecond = 150;
    const DriveRecord& d = ScanWith(drive);
    ASSERT_TRUE(MeasureReadSpeed(DriveForCommands(0), false)) << DriveLogText(d);
    EXPECT_EQ(d.MaxReadSpeed, 251);
    EXPECT_EQ(d.MinReadSpeed, 201);
    EXPECT_TRUE(d.MinReadSpeed < d.AverageReadSpeed && d.AverageReadSpeed < d.MaxReadSpeed) << d.AverageReadSpeed;
    EXPECT_TRUE(d.MinReadSpeed < d.StabilityReadSpeed && d.StabilityReadSpeed < d.MaxReadSpeed) << d.StabilityReadSpeed;
}

TEST_F(ReadPerformance, EveryRunReadsTheSameBlocksWhateverDrewFromTheGeneratorBetween) {
    DriveRecord& d = ScanWith(Hdd());
    const std::vector<uint64_t>& reads = Drive(0).Raw.ReadPositions;
    ASSERT_TRUE(MeasureAccessTime(d));
    const std::vector<uint64_t> first(reads.end() - 1000, reads.end());
    RandomBlockRead(d);  // what a monitoring cycle does meanwhile
    ASSERT_TRUE(MeasureAccessTime(d));
    EXPECT_EQ(std::vector<uint64_t>(reads.end() - 1000, reads.end()), first);
    EXPECT_EQ(std::set<uint64_t>(first.begin(), first.end()).size(), 1000u) << "spread over the disk";
}

// The access measurement of the hard disk takes 12.7 s of the timeline, over the minute at which the
// monitoring cycle falls due. Each sample holds the drive lock that the cycle takes, so the cycle
// waits for the measurement's next pause in the simulation; it then runs and reads the drive.
TEST_F(ReadPerformance, AMonitoringCycleDueDuringAMeasurementRunsAfterIt) {
    Install({}).Drives = {Hdd()};
    StartResidentProgram();
    ASSERT_EQ(DriveCount(), 1u);
    sim::AdvanceTime(55000);
    const unsigned queries = Drive(0).Power.Queries;
    ASSERT_TRUE(MeasureAccessTime(DriveForCommands(0)));
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
        DriveRecord& d = ScanWith(drive);
        EXPECT_FALSE(c.measurement == Measurement::Access ? MeasureAccessTime(d)
                                                          : MeasureReadSpeed(d, c.measurement == Measurement::Buffered))
            << c.name;
        EXPECT_NE(DriveLogText(d).find(c.log), std::string::npos) << c.name << "\n" << DriveLogText(d);
        EXPECT_EQ(GlobalLogText().find("not measured"), std::string::npos) << c.name;
        EXPECT_TRUE(d.PerformanceTestPending) << c.name;
        EXPECT_EQ(ResultsOf(d), Untouched) << c.name;
    }
}

}  // namespace
