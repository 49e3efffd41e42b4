// What a simulated drive does beyond its commands: its power state, raw reads that take time on
// the virtual timeline, and events scripted on that timeline.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct Drive;

// The drive's power state: GetDevicePowerState reports standby as "off" and both others as "on".
enum class PowerState { Active, Idle, Standby };

struct PowerModel {
    PowerState State = PowerState::Active;
    unsigned QueryFailures = 0;  // power queries that fail before one answers
    bool Unresponsive = false;   // every power query, command and raw read fails
    uint64_t GoneUntilMicroseconds = 0;  // the same until the timeline reaches this (a bridge's reset)
    // Counters: power queries asked, raw reads taken and wakes from standby by a read or a command.
    unsigned Queries = 0, Reads = 0, Wakes = 0;
};

// What kind of medium a drive reads from, which gives its read timing's defaults. Auto: NVMe when the
// drive has an Identify Controller page, SSD when IDENTIFY word 217 says 1, otherwise a hard disk.
enum class Media { Auto, Hdd, Ssd, Nvme };

// Raw reads: the data at byte offset o is RawByte(o), so a read shows where it landed. Each read moves
// the virtual clock by what it costs, rounded to the microsecond:
// - data still in the drive's cache (the run of bytes read last, which a read that starts inside it or
//   where it ends extends, and any other read replaces) comes at InterfaceMiBPerSecond;
// - the rest comes off the medium at a rate that falls linearly from OuterMiBPerSecond at offset 0 to
//   InnerMiBPerSecond at the end of the capacity, taken where the read starts;
// - a read that neither continues the cached run nor starts inside it first reaches its block:
//   AccessMicroseconds (a hard disk's average seek, a flash drive's latency) plus, on a hard disk,
//   half a revolution at Rpm.
// Zero in a timing field means the media's default (RawTimingDefaults); a hard disk's Rpm defaults to
// the rotation rate of its IDENTIFY page.
// ReadsBeforeFailure / SeeksBeforeFailure script a failing drive: once that many reads (counted in
// Power.Reads) or seeks reached it, every later one fails; negative: never.
struct RawDisk {
    uint32_t SectorSize = 512;        // position, size and buffer address must be multiples of it
    uint64_t Capacity = 0;            // bytes; 0: the IDENTIFY page's sector count, or NVMe namespace 1
    Media Kind = Media::Auto;
    uint32_t OuterMiBPerSecond = 0, InnerMiBPerSecond = 0, InterfaceMiBPerSecond = 0;
    uint32_t AccessMicroseconds = 0;
    uint32_t Rpm = 0;
    int64_t ReadsBeforeFailure = -1, SeeksBeforeFailure = -1;
    unsigned Seeks = 0;                             // file-pointer moves that reached the drive
    unsigned Flushes = 0;                           // FlushFileBuffers calls on its handles
    std::vector<uint64_t> ReadPositions;            // where each read that reached the drive started
    uint64_t CachedFrom = 0, CachedTo = 0;          // the run of bytes in the cache
};

// The timing a medium has when the drive sets none: rates in MiB/s, access in microseconds.
struct RawTiming {
    uint32_t OuterMiBPerSecond, InnerMiBPerSecond, InterfaceMiBPerSecond, AccessMicroseconds, Rpm;
};
RawTiming RawTimingDefaults(Media media);

uint8_t RawByte(uint64_t offset);

// Something that happens to a drive when the timeline reaches AtMilliseconds (uptime).
enum class EventKind {
    Remap,          // Value more sectors remapped
    Sleep,          // to standby
    Idle,           // to idle
    Wake,           // to active
    Temperature,    // the temperature becomes Value degrees Celsius
    ChecksumError,  // the value page's checksum goes wrong
    StopAnswering,  // Unresponsive from now on
    SelfTestResult, // a self-test ends with result Value (ATA: execution status; NVMe: result code)
    RemapReset,     // the remapped-sector count falls to Value (a firmware reset, another drive in the slot)
    Attribute,      // attribute (Value >> 8) takes the current value (Value & 0xFF)
    DamagedPage,    // the next value page read comes back garbled with a wrong checksum; later ones are sound
    SelfTestHangs,  // the running self-test never ends
    PageReadsFail,  // every value page read fails from now on
};

struct TimelineEvent {
    uint64_t AtMilliseconds = 0;
    EventKind Kind = EventKind::Sleep;
    uint32_t Value = 0;
    bool Fired = false;
};

// Applies an event to a drive now.
void ApplyEvent(Drive& drive, const TimelineEvent& event);

}  // namespace sim
