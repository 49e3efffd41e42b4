// The simulated drives' power states, raw reads and the events scripted on the timeline.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "protocol/Bytes.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

constexpr uint64_t MicrosecondsPerSecond = 1000000;
constexpr uint64_t BytesPerMiB = 1048576;

// IDENTIFY DEVICE: the 48-bit sector count (words 100..103) when the drive supports the feature set
// (word 83 bit 10), else the 28-bit count (words 60..61).
uint64_t AtaSectors(const std::vector<uint8_t>& id) {
    if (id.size() < 512) return 0;
    if (Bit(Word(id.data(), 83), 10)) return Get64(id.data(), 200);
    return Get32(id.data(), 120);
}

// Namespace 1's size in blocks (NSZE).
uint64_t NvmeBlocks(const Drive& d) {
    const auto ns = d.NvmeNamespaces.find(1);
    return ns == d.NvmeNamespaces.end() || ns->second.size() < 8 ? 0 : Get64(ns->second.data(), 0);
}

uint64_t CapacityOf(const Drive& d) {
    if (d.Raw.Capacity != 0) return d.Raw.Capacity;
    const uint64_t sectors = d.NvmeIdentifyController.empty() ? AtaSectors(d.Identify) : NvmeBlocks(d);
    return sectors > UINT64_MAX / d.Raw.SectorSize ? 0 : sectors * d.Raw.SectorSize;
}

bool Aligned(const RawDisk& raw, uint64_t position, uint32_t size, const void* buffer) {
    const uint32_t s = raw.SectorSize;
    return s != 0 && position % s == 0 && size % s == 0 && reinterpret_cast<std::uintptr_t>(buffer) % s == 0;
}

Media MediaOf(const Drive& d) {
    if (d.Raw.Kind != Media::Auto) return d.Raw.Kind;
    if (!d.NvmeIdentifyController.empty()) return Media::Nvme;
    if (d.Identify.size() >= 512 && Word(d.Identify.data(), 217) == 1) return Media::Ssd;
    return Media::Hdd;
}

// The rotation rate an IDENTIFY page reports (word 217: 0401h..FFFEh), or 0.
uint32_t IdentifiedRpm(const Drive& d) {
    if (d.Identify.size() < 512) return 0;
    const uint16_t rate = Word(d.Identify.data(), 217);
    return rate > 0x400 && rate != 0xFFFF ? rate : 0;
}

uint32_t SetOr(uint32_t set, uint32_t fallback) { return set != 0 ? set : fallback; }

// The drive's timing: what it sets, the rest from its media's defaults; flash does not rotate.
RawTiming TimingOf(const Drive& d) {
    const Media media = MediaOf(d);
    const RawTiming defaults = RawTimingDefaults(media);
    const RawDisk& r = d.Raw;
    RawTiming t{};
    t.OuterMiBPerSecond = SetOr(r.OuterMiBPerSecond, defaults.OuterMiBPerSecond);
    t.InnerMiBPerSecond = SetOr(r.InnerMiBPerSecond, defaults.InnerMiBPerSecond);
    t.InterfaceMiBPerSecond = SetOr(r.InterfaceMiBPerSecond, defaults.InterfaceMiBPerSecond);
    t.AccessMicroseconds = SetOr(r.AccessMicroseconds, defaults.AccessMicroseconds);
    t.Rpm = media == Media::Hdd ? SetOr(r.Rpm, SetOr(IdentifiedRpm(d), defaults.Rpm)) : 0;
    return t;
}

double TransferMicroseconds(uint64_t bytes, double mibPerSecond) {
    return mibPerSecond <= 0 ? 0 : static_cast<double>(bytes) * MicrosecondsPerSecond / (mibPerSecond * BytesPerMiB);
}

// The medium's rate where a read starts: linear from the outer zone to the inner one.
double MediaRate(const RawTiming& t, uint64_t position, uint64_t capacity) {
    const double depth = capacity == 0 ? 0 : std::min(1.0, static_cast<double>(position) / static_cast<double>(capacity));
    return t.OuterMiBPerSecond - (static_cast<double>(t.OuterMiBPerSecond) - t.InnerMiBPerSecond) * depth;
}

// What one read of `bytes` (some) costs on the timeline, in microseconds; the cache follows it.
uint64_t ReadMicroseconds(const Drive& d, RawDisk& raw, uint64_t position, uint32_t bytes, uint64_t capacity) {
    const RawTiming t = TimingOf(d);
    const bool continues = raw.CachedTo != 0 && position >= raw.CachedFrom && position <= raw.CachedTo;
    const uint64_t cached = continues ? std::min<uint64_t>(bytes, raw.CachedTo - position) : 0;
    double cost = TransferMicroseconds(cached, t.InterfaceMiBPerSecond) +
                  TransferMicroseconds(bytes - cached, MediaRate(t, position, capacity));
    if (continues) {
        raw.CachedTo = std::max<uint64_t>(raw.CachedTo, position + bytes);
    } else {
        cost += t.AccessMicroseconds + (t.Rpm == 0 ? 0.0 : 30.0 * MicrosecondsPerSecond / t.Rpm);
        raw.CachedFrom = position;
        raw.CachedTo = position + bytes;
    }
    return static_cast<uint64_t>(std::llround(cost));
}

// A scripted failure: the drive has already taken `count` of the `limit` it takes.
bool PastFailureLimit(uint64_t count, int64_t limit) { return limit >= 0 && count > static_cast<uint64_t>(limit); }

// Takes one read under the machine lock; `cost` is the time it takes, to be spent after the lock.
bool TakeRead(platform::Handle handle, uint8_t* buffer, uint32_t size, uint32_t& bytesRead, uint64_t& cost) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    Drive* d = DriveForHandle(handle);
    uint64_t* position = FilePointer(handle);
    if (!d || !position || !Answers(d->Power) || (size && !buffer) || !Aligned(d->Raw, *position, size, buffer))
        return false;
    WakeForAccess(*d);
    d->Raw.ReadPositions.push_back(*position);
    if (PastFailureLimit(++d->Power.Reads, d->Raw.ReadsBeforeFailure)) return false;
    const uint64_t capacity = CapacityOf(*d);
    bytesRead = *position >= capacity ? 0 : static_cast<uint32_t>(std::min<uint64_t>(size, capacity - *position));
    for (uint32_t i = 0; i < bytesRead; ++i) buffer[i] = RawByte(*position + i);
    cost = bytesRead == 0 ? 0 : ReadMicroseconds(*d, d->Raw, *position, bytesRead, capacity);
    *position += bytesRead;
    return true;
}

void SetPower(Drive& d, PowerState state) { d.Power.State = state; }

}  // namespace

RawTiming RawTimingDefaults(Media media) {
    switch (media) {
        case Media::Ssd: return {500, 500, 625, 60, 0};
        case Media::Nvme: return {2500, 2500, 3125, 20, 0};
        case Media::Auto:
        case Media::Hdd: break;
    }
    return {200, 100, 500, 8500, 7200};
}

uint8_t RawByte(uint64_t offset) {
    const uint64_t sector = offset / 512;
    return static_cast<uint8_t>(sector * 167 + sector / 256 + (offset % 512) * 7);
}

bool Answers(const PowerModel& power) {
    return !power.Unresponsive && UptimeMicroseconds() >= power.GoneUntilMicroseconds;
}

void WakeForAccess(Drive& d) {
    if (d.Power.State != PowerState::Standby) return;
    d.Power.State = PowerState::Active;
    ++d.Power.Wakes;
}

namespace {

// Every access method refuses SMART READ DATA (NVMe: the health log read it becomes).
void FailValuePageReads(Drive& d) {
    for (const AccessMethod method : d.Methods) {
        Fault f;
        f.method = method;
        f.command = ATA_SMART;
        f.features = SMART_READ_DATA;
        d.Faults.push_back(f);
    }
}

}  // namespace

void ApplyEvent(Drive& d, const TimelineEvent& e) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    switch (e.Kind) {
        case EventKind::Remap: return RemapSectors(d, e.Value);
        case EventKind::Sleep: return SetPower(d, PowerState::Standby);
        case EventKind::Idle: return SetPower(d, PowerState::Idle);
        case EventKind::Wake: return SetPower(d, PowerState::Active);
        case EventKind::Temperature: return SetTemperature(d, static_cast<int>(e.Value));
        case EventKind::ChecksumError: return CorruptSmartChecksum(d);
        case EventKind::StopAnswering: d.Power.Unresponsive = true; return;
        case EventKind::SelfTestResult: return EndSelfTest(d, static_cast<uint8_t>(e.Value));
        case EventKind::RemapReset: return SetRemappedSectors(d, e.Value);
        case EventKind::Attribute:
            return SetAttributeValue(d, static_cast<uint8_t>(e.Value >> 8), static_cast<uint8_t>(e.Value));
        case EventKind::DamagedPage: return DamageNextValuePage(d);
        case EventKind::SelfTestHangs: d.AtaSelfTest.NeverEnds = d.NvmeSelfTest.NeverEnds = true; return;
        case EventKind::PageReadsFail: return FailValuePageReads(d);
    }
}

bool NextEventDue(uint64_t uptimeMs, uint64_t& atMs) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    bool found = false;
    for (const Drive& d : Current().Drives)
        for (const TimelineEvent& e : d.Events)
            if (!e.Fired && e.AtMilliseconds <= uptimeMs && (!found || e.AtMilliseconds < atMs)) {
                atMs = e.AtMilliseconds;
                found = true;
            }
    return found;
}

void FireEventsDueBy(uint64_t uptimeMs) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    uint64_t at = 0;
    while (NextEventDue(uptimeMs, at))
        for (Drive& d : Current().Drives)
            for (TimelineEvent& e : d.Events)
                if (!e.Fired && e.AtMilliseconds == at) {
                    e.Fired = true;
                    ApplyEvent(d, e);
                }
}

}  // namespace sim

namespace platform {

bool GetDevicePowerState(Handle handle, bool& on) {
    std::lock_guard<std::recursive_mutex> lock(sim::MachineLock());
    sim::Drive* d = sim::DriveForHandle(handle);
    if (!d) return false;
    sim::PowerModel& power = d->Power;
    ++power.Queries;
    if (!sim::Answers(power)) return false;
    if (power.QueryFailures > 0) {
        --power.QueryFailures;
        return false;
    }
    on = power.State != sim::PowerState::Standby;
    return true;
}

bool SetFilePointerEx(Handle handle, int64_t position) {
    std::lock_guard<std::recursive_mutex> lock(sim::MachineLock());
    uint64_t* pointer = sim::FilePointer(handle);
    sim::Drive* d = sim::DriveForHandle(handle);
    if (!pointer || !d || position < 0 || sim::PastFailureLimit(++d->Raw.Seeks, d->Raw.SeeksBeforeFailure)) return false;
    *pointer = static_cast<uint64_t>(position);
    return true;
}

// Nothing is held back for a raw handle; the call is counted.
bool FlushFileBuffers(Handle handle) {
    std::lock_guard<std::recursive_mutex> lock(sim::MachineLock());
    sim::Drive* d = sim::DriveForHandle(handle);
    if (!d || !sim::Answers(d->Power)) return false;
    ++d->Raw.Flushes;
    return true;
}

bool ReadFile(Handle handle, void* buffer, uint32_t size, uint32_t& bytesRead) {
    bytesRead = 0;
    uint64_t cost = 0;
    if (!sim::TakeRead(handle, static_cast<uint8_t*>(buffer), size, bytesRead, cost)) return false;
    // Outside the machine lock. The caller may hold the drive lock, which the monitoring timer's
    // callback takes: timers that fall due meanwhile run at the next advance.
    sim::AdvanceTimeLeavingTimers(cost);
    return true;
}

}  // namespace platform
