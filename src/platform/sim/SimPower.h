// What a simulated drive does beyond its commands: its power state, raw reads that take time on
// the virtual timeline, and events scripted on that timeline.
#pragma once

#include <cstdint>

namespace sim {

struct Drive;

// The drive's power state: GetDevicePowerState reports standby as "off" and both others as "on".
enum class PowerState { Active, Idle, Standby };

struct PowerModel {
    PowerState State = PowerState::Active;
    unsigned QueryFailures = 0;  // power queries that fail before one answers
    bool Unresponsive = false;   // every power query, command and raw read fails
    // Counters: power queries asked, raw reads taken and wakes from standby by a read or a command.
    unsigned Queries = 0, Reads = 0, Wakes = 0;
};

// Raw reads: the data at byte offset o is RawByte(o), so a read shows where it landed; each read
// moves the virtual clock by the access time (none when it continues where the last read ended)
// plus its size at the throughput.
struct RawDisk {
    uint32_t SectorSize = 512;        // position, size and buffer address must be multiples of it
    uint64_t Capacity = 0;            // bytes; 0: the IDENTIFY page's sector count, or NVMe namespace 1
    uint32_t AccessMicroseconds = 12000;
    uint32_t MiBPerSecond = 150;
    uint64_t NextSequential = ~0ull;  // where the last read ended
};

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
