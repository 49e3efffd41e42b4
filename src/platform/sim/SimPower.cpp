// The simulated drives' power states, raw reads and the events scripted on the timeline.
#include <algorithm>
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

// What one read costs on the timeline, in microseconds.
uint64_t ReadMicroseconds(RawDisk& raw, uint64_t position, uint32_t bytes) {
    const bool sequential = position == raw.NextSequential;
    raw.NextSequential = position + bytes;
    const uint64_t transfer = raw.MiBPerSecond == 0 ? 0 : bytes * MicrosecondsPerSecond / (raw.MiBPerSecond * BytesPerMiB);
    return (sequential ? 0 : raw.AccessMicroseconds) + transfer;
}

// Takes one read under the machine lock; `cost` is the time it takes, to be spent after the lock.
bool TakeRead(platform::Handle handle, uint8_t* buffer, uint32_t size, uint32_t& bytesRead, uint64_t& cost) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    Drive* d = DriveForHandle(handle);
    uint64_t* position = FilePointer(handle);
    if (!d || !position || d->Power.Unresponsive || (size && !buffer) || !Aligned(d->Raw, *position, size, buffer))
        return false;
    WakeForAccess(*d);
    ++d->Power.Reads;
    const uint64_t capacity = CapacityOf(*d);
    bytesRead = *position >= capacity ? 0 : static_cast<uint32_t>(std::min<uint64_t>(size, capacity - *position));
    for (uint32_t i = 0; i < bytesRead; ++i) buffer[i] = RawByte(*position + i);
    cost = ReadMicroseconds(d->Raw, *position, bytesRead);
    *position += bytesRead;
    return true;
}

void SetPower(Drive& d, PowerState state) { d.Power.State = state; }

}  // namespace

uint8_t RawByte(uint64_t offset) {
    const uint64_t sector = offset / 512;
    return static_cast<uint8_t>(sector * 167 + sector / 256 + (offset % 512) * 7);
}

void WakeForAccess(Drive& d) {
    if (d.Power.State != PowerState::Standby) return;
    d.Power.State = PowerState::Active;
    ++d.Power.Wakes;
}

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
    if (power.Unresponsive) return false;
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
    if (!pointer || position < 0) return false;
    *pointer = static_cast<uint64_t>(position);
    return true;
}

bool ReadFile(Handle handle, void* buffer, uint32_t size, uint32_t& bytesRead) {
    bytesRead = 0;
    uint64_t cost = 0;
    if (!sim::TakeRead(handle, static_cast<uint8_t*>(buffer), size, bytesRead, cost)) return false;
    // Outside the machine lock: timers that fall due meanwhile may send commands to the drives.
    sim::AdvanceTimeMicroseconds(cost);
    return true;
}

}  // namespace platform
