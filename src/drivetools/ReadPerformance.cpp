#include "drivetools/ReadPerformance.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <numeric>
#include <string>

#include "device/DiagnosticLog.h"
#include "monitor/Alerts.h"
#include "monitor/DriveState.h"
#include "monitor/Monitor.h"
#include "platform/Storage.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"

namespace {

constexpr uint32_t SampleBytes = 131072;
constexpr double SampleMiB = 0.125;
constexpr unsigned SpeedSamples = 501;
constexpr unsigned AccessPositions = 1000;  // the first one is the warm-up
constexpr double OutlierFactor = 3.5;
constexpr size_t PageSize = 4096;
constexpr double LongestMilliseconds = 1e9;  // keeps the conversion to whole hundredths defined

// Reads without system buffering want page-aligned memory; no platform call commits pages, so an
// aligned allocation stands in for VirtualAlloc.
struct PageFree {
    void operator()(uint8_t* p) const { ::operator delete[](p, std::align_val_t(PageSize)); }
};
using PageBuffer = std::unique_ptr<uint8_t[], PageFree>;

PageBuffer AllocatePages(size_t bytes) {
    return PageBuffer(new (std::align_val_t(PageSize), std::nothrow) uint8_t[bytes]);
}

// What a measurement reads, copied under the reader lock: the handle never changes after the scan.
struct Target {
    DriveRecord* Drive = nullptr;  // held under its writer while it is read
    platform::Handle Handle = 0;
    int64_t Size = 0;
    uint32_t Block = 512;
};

Target TargetOf(DriveRecord& d) {
    return {&d, d.Handle, d.AvailableSize, RawBlockSize(d)};
}

enum class Failure { None, Seek, Read, ShortRead };

Failure ReadOutcome(bool ok, uint32_t read, uint32_t size) {
    if (!ok) return Failure::Read;
    return read == size ? Failure::None : Failure::ShortRead;
}

struct Stamps {
    int64_t Start = 0, End = 0;
};

// The untimed read of one block that starts each measurement.
Failure WarmUp(const Target& t, uint8_t* buffer, int64_t position) {
    DriveWriter writer(*t.Drive);
    if (!platform::SetFilePointerEx(t.Handle, position)) return Failure::Seek;
    uint32_t read = 0;
    const bool ok = platform::ReadFile(t.Handle, buffer, t.Block, read);
    return ReadOutcome(ok, read, t.Block);
}

// A speed sample: 128 KiB between the stamps, then, untimed, the pointer set for the next sample.
Failure SpeedSample(const Target& t, uint8_t* buffer, int64_t next, Stamps& s) {
    DriveWriter writer(*t.Drive);
    uint32_t read = 0;
    platform::QueryPerformanceCounter(s.Start);
    const bool ok = platform::ReadFile(t.Handle, buffer, SampleBytes, read);
    platform::QueryPerformanceCounter(s.End);
    const Failure failure = ReadOutcome(ok, read, SampleBytes);
    if (failure != Failure::None) return failure;
    return platform::SetFilePointerEx(t.Handle, next) ? Failure::None : Failure::Seek;
}

// An access sample: the seek and the read of one block between the stamps.
Failure AccessSample(const Target& t, uint8_t* buffer, int64_t position, Stamps& s) {
    DriveWriter writer(*t.Drive);
    uint32_t read = 0;
    platform::QueryPerformanceCounter(s.Start);
    const bool sought = platform::SetFilePointerEx(t.Handle, position);
    const bool ok = sought && platform::ReadFile(t.Handle, buffer, t.Block, read);
    platform::QueryPerformanceCounter(s.End);
    return sought ? ReadOutcome(ok, read, t.Block) : Failure::Seek;
}

const char* FailureText(Failure f) {
    switch (f) {
        case Failure::Seek: return "seek failed";
        case Failure::Read: return "read failed";
        case Failure::ShortRead: return "read came up short";
        case Failure::None: break;
    }
    return "";
}

bool Report(DriveRecord& d, const char* measurement, const std::string& what) {
    DriveWriter writer(d);
    WriteLog(std::string(measurement) + " not measured: " + what + ".", &d);
    return false;
}

bool ReportAt(DriveRecord& d, const char* measurement, Failure f, int64_t position) {
    return Report(d, measurement, std::string(FailureText(f)) + " at byte " + std::to_string(position));
}

// The counter's frequency and what the drive is read with, or a logged reason why it cannot be.
bool Prepare(DriveRecord& d, const char* measurement, int64_t& frequency, Target& t) {
    {
        DriveReader reader(d);
        t = TargetOf(d);
    }
    if (!platform::QueryPerformanceFrequency(frequency) || frequency <= 0)
        return Report(d, measurement, "no performance counter");
    if (t.Block > SampleBytes) return Report(d, measurement, "sector size " + std::to_string(t.Block) + " unusable");
    return true;
}

void Pump() { platform::PumpMessages(ApplicationWindow); }

// The log names the result as its key does.
void StoreSpeed(DriveRecord& d, uint16_t& field, uint32_t speed, DriveKeyValue result) {
    field = static_cast<uint16_t>(speed);
    if (speed > 32767) WriteLog(std::string(DriveKeyRowOf(result).Value.Name) + " > 32767", &d);
}

void StoreSpeeds(DriveRecord& d, bool buffered, const std::vector<uint32_t>& speeds) {
    const SpeedProfile p = SummariseSpeeds(speeds);
    DriveWriter writer(d);
    if (buffered) {
        StoreSpeed(d, d.BufferingReadSpeed, p.Max, DriveKeyValue::BufferingReadSpeed);
        return;
    }
    StoreSpeed(d, d.AverageReadSpeed, p.Average, DriveKeyValue::AverageReadSpeed);
    StoreSpeed(d, d.StabilityReadSpeed, p.Stability, DriveKeyValue::StabilityReadSpeed);
    StoreSpeed(d, d.MaxReadSpeed, p.Max, DriveKeyValue::MaxReadSpeed);
    StoreSpeed(d, d.MinReadSpeed, p.Min, DriveKeyValue::MinReadSpeed);
}

// The positions of one access measurement, drawn under the drive lock: the monitoring cycle draws
// from the same generator, and only under that lock, so no draw of its comes between these.
std::vector<int64_t> DrawAccessPositions(DriveRecord& d) {
    std::vector<int64_t> positions(AccessPositions);
    DriveWriter writer(d);
    ResetRandomSeed();
    for (int64_t& p : positions) p = RandomBlockPosition(d);
    return positions;
}

}  // namespace

uint32_t SampleTicks(int64_t start, int64_t end, int64_t frequency) {
    if (end == start) return 1;  // a read quicker than the counter's resolution
    const uint64_t elapsed = end > start ? static_cast<uint64_t>(end) - static_cast<uint64_t>(start)
                                         : static_cast<uint64_t>(frequency) - (static_cast<uint64_t>(start) - static_cast<uint64_t>(end));
    const uint32_t ticks = static_cast<uint32_t>(elapsed);
    return ticks == 0 ? 1 : ticks;
}

uint32_t SampleSpeed(uint32_t ticks, int64_t frequency) {
    const double speed = SampleMiB / (static_cast<double>(ticks) / static_cast<double>(frequency));
    return static_cast<uint32_t>(std::nearbyint(std::min(speed, 4294967295.0)));
}

SpeedProfile SummariseSpeeds(const std::vector<uint32_t>& speeds) {
    SpeedProfile p;
    if (speeds.empty()) return p;
    uint64_t sum = 0;
    std::map<uint32_t, unsigned> counts;
    p.Max = p.Min = speeds[0];
    for (uint32_t v : speeds) {
        sum += v;
        p.Max = std::max(p.Max, v);
        p.Min = std::min(p.Min, v);
        ++counts[v];
    }
    unsigned most = 0;
    for (uint32_t v : speeds)  // in sample order, so a tie keeps the speed seen first
        if (counts[v] > most) {
            most = counts[v];
            p.Stability = v;
        }
    p.Average = static_cast<uint32_t>(sum / speeds.size());
    return p;
}

AccessTime SummariseAccessTimes(std::vector<int64_t> samples, int64_t frequency) {
    if (samples.empty() || frequency <= 0) return {};
    const int64_t n = static_cast<int64_t>(samples.size());
    const int64_t mean = std::accumulate(samples.begin(), samples.end(), int64_t{0}) / n;
    for (int64_t& s : samples)
        if (s > mean * OutlierFactor || s < mean / OutlierFactor) s = mean;
    const double sum = static_cast<double>(std::accumulate(samples.begin(), samples.end(), int64_t{0}));
    const double ms = std::clamp(sum * 1000 / static_cast<double>(frequency) / static_cast<double>(n), 0.0, LongestMilliseconds);
    // Two decimals, halves to even, kept as whole hundredths so that the split cannot wobble.
    const int64_t hundredths = static_cast<int64_t>(std::nearbyint(ms / 0.01));
    return {static_cast<uint32_t>(hundredths / 100), static_cast<uint32_t>(hundredths % 100)};
}

bool MeasureReadSpeed(DriveRecord& d, bool buffered) {
    const char* measurement = buffered ? "Buffered read speed" : "Sequential read speed";
    int64_t frequency = 0;
    Target t;
    if (!Prepare(d, measurement, frequency, t)) return false;
    PageBuffer buffer = AllocatePages(SampleBytes);
    if (!buffer) return Report(d, measurement, "no memory");
    std::vector<uint32_t> ticks(SpeedSamples);
    int64_t start = t.Size / 3;
    start -= start % t.Block;
    Failure failure = WarmUp(t, buffer.get(), start);
    if (failure != Failure::None) return ReportAt(d, measurement, failure, start);
    int64_t position = start + t.Block;  // the warm-up left the pointer one block on
    for (uint32_t& sample : ticks) {
        if (!buffered) start += SampleBytes;
        Stamps s;
        failure = SpeedSample(t, buffer.get(), start, s);
        if (failure != Failure::None) return ReportAt(d, measurement, failure, failure == Failure::Seek ? start : position);
        sample = SampleTicks(s.Start, s.End, frequency);
        position = start;
        Pump();
    }
    buffer.reset();
    // The sequential run's first sample starts one block into the 128 KiB the buffered measurement
    // has just read again and again: the drive serves it from its cache, at the interface's speed
    // and not the medium's, so it stays out of the profile.
    const size_t cached = buffered ? 0 : 1;
    std::vector<uint32_t> speeds;
    for (size_t i = cached; i < ticks.size(); ++i) speeds.push_back(SampleSpeed(ticks[i], frequency));
    StoreSpeeds(d, buffered, speeds);
    return true;
}

bool MeasureAccessTime(DriveRecord& d) {
    const char* measurement = "Access time";
    int64_t frequency = 0;
    Target t;
    if (!Prepare(d, measurement, frequency, t)) return false;
    const std::vector<int64_t> positions = DrawAccessPositions(d);
    PageBuffer block = AllocatePages(t.Block);
    if (!block) return Report(d, measurement, "no memory");
    std::vector<int64_t> samples(AccessPositions - 1);
    Failure failure = WarmUp(t, block.get(), positions[0]);
    if (failure != Failure::None) return ReportAt(d, measurement, failure, positions[0]);
    for (size_t i = 1; i < positions.size(); ++i) {
        Stamps s;
        failure = AccessSample(t, block.get(), positions[i], s);
        if (failure != Failure::None) return ReportAt(d, measurement, failure, positions[i]);
        samples[i - 1] = s.End - s.Start;
        Pump();
    }
    block.reset();
    const AccessTime time = SummariseAccessTimes(std::move(samples), frequency);
    DriveWriter writer(d);
    // A time longer than the field holds is kept as the longest it holds, never wrapped to a short one.
    constexpr uint32_t longest = std::numeric_limits<decltype(d.AverageAccessTime)>::max();
    d.AverageAccessTime = static_cast<decltype(d.AverageAccessTime)>(std::min(time.Milliseconds, longest));
    d.AverageAccessTimeFrac = static_cast<uint8_t>(time.Hundredths);
    return true;
}
