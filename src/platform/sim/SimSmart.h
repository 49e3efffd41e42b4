// S.M.A.R.T. behaviour of the simulated drives beyond fixed pages: values that move while virtual
// time passes, the SCT engine, NVMe self-tests that take time, and the changes a test makes to a
// drive between two reads.
#pragma once

#include <cstdint>

namespace sim {

struct Drive;

// How a drive's values move while time passes (PassTime). A rate of 0 keeps the value still.
struct SmartAging {
    uint32_t SecondsPerPowerOnUnit = 0;  // the drive's own unit: 3600 counts hours, 60 minutes
    uint32_t SecondsPerDegree = 0;       // the temperature climbs one degree per this many seconds,
    int WarmsTo = 0;                     // up to this many degrees Celsius
    uint32_t SecondsPerRemap = 0;        // a failing surface: one more sector remapped this often
    uint64_t Seconds = 0;                // how long the drive has run in the simulation
};

// SCT command transport: the status page (READ LOG 0xE0), the data-table command (WRITE LOG 0xE0)
// and the temperature history table it makes ready (READ LOG 0xE1).
struct SctEngine {
    bool Present = false;
    uint16_t FormatVersion = 3;
    int Temperature = 0;                     // status byte 200 (SetTemperature keeps it)
    int LifetimeMin = 0, LifetimeMax = 0;    // bytes 203 and 204
    int MaxOperatingLimit = 0, OverLimit = 0;  // table bytes 6 and 7
    unsigned BusyStatusReads = 0;   // status reads that still report a command executing (0xFFFF)
    unsigned BusyAfterCommand = 0;  // BusyStatusReads an accepted command leaves behind
    // The last command: its extended status, action and function codes, and its table not yet read.
    uint16_t ExtendedStatus = 0, ActionCode = 0, FunctionCode = 0;
    bool TablePending = false;
};

// The NVMe Device Self-test: how the next one ends, and the one running.
struct NvmeSelfTestRun {
    uint8_t EndsWith = 0;  // result code the test reports (0 completed without error, 7 failed segment, ...)
    uint8_t Code = 0;      // running test: 1 short, 2 extended; 0 none
    uint32_t Duration = 0, SecondsLeft = 0;
    bool NeverEnds = false;  // the test reports progress for ever
};

// An ATA drive's self-test (SMART EXECUTE OFF-LINE IMMEDIATE, 1 short or 2 extended) has the same
// shape: it runs for the minutes the value page states (byte 372 short, 373 extended, word 375 when
// 373 is 255), reporting 15 in the high nibble of byte 363 and the tenths still to do in the low one,
// then ends with EndsWith (0 passed, 1 aborted by the host, 2 interrupted by a host reset, 3..8
// failed) in the high nibble.
using AtaSelfTestRun = NvmeSelfTestRun;

// AdvanceTime (SimClock.h) in seconds: the clocks move on, timers fall due and every drive of the
// installed machine ages (power-on counter, temperature, remapped sectors, running self-tests).
void PassTime(uint32_t seconds);

// Changes a test makes to a drive between reads. The value page's checksum stays as right (or as
// wrong) as it was.
void SetTemperature(Drive& drive, int celsius);  // attributes 190 and 194, SCT status, NVMe composite
void RemapSectors(Drive& drive, uint32_t count);   // attribute 5
void SetRemappedSectors(Drive& drive, uint32_t count);  // attribute 5 falls or rises to `count`
// The next value page read returns this page garbled (99 °C, a thousand sectors more remapped, a wrong
// checksum); the drive's own page is untouched.
void DamageNextValuePage(Drive& drive);
void PowerCycle(Drive& drive);                     // attribute 12, NVMe Power Cycles
void SetAttributeValue(Drive& drive, uint8_t id, uint8_t value);  // current value; worst follows down
void SetNvmeCriticalWarning(Drive& drive, uint8_t bits);
void CorruptSmartChecksum(Drive& drive);
void EraseAttributeTable(Drive& drive);  // every entry gone, checksum valid
// A self-test ends with this result: an ATA drive's execution status (value page byte 363, high
// nibble; 0 passed, 1 interrupted, 15 still running), or an NVMe drive's newest self-test log entry.
void EndSelfTest(Drive& drive, uint8_t result);

}  // namespace sim
