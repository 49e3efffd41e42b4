// The monitoring cycle: once a minute every drive is asked for its power state, re-read unless it
// sleeps, re-evaluated, and its changes recorded and alerted, and the unit of a power-on counter not
// yet measured is timed; once an hour publishing or an update may be offered.
#pragma once

#include <atomic>
#include <cstdint>

#include "device/DriveRecord.h"

// Cycles completed since start, or since the first cycle after the last resume.
extern std::atomic<uint32_t> CycleCounter;
// Set at suspend: the first cycle after it restarts the calibration hour and skips the hourly step.
extern std::atomic<bool> SkipNextCycle;
// Set when the system announced a suspend during this run.
extern std::atomic<bool> SuspendSeen;

// What the cycle calls in the parts of the program above it; an empty entry does nothing (and a
// prompt that cannot tell whether it shows counts as not showing).
struct MonitorCallouts {
    void (*RefreshDriveIcons)() = nullptr;
    bool (*PublishPromptShowing)() = nullptr;
    void (*PublishPrompt)() = nullptr;     // run on a new self-freeing thread
    bool (*UpdatePromptShowing)() = nullptr;
    void (*CheckForUpdate)() = nullptr;    // run on the cycle's thread
};
extern MonitorCallouts Callouts;

// The program's one pseudo-random generator: linear congruential, seed 0 at start, never randomized.
double NextRandom();
void ResetRandomSeed();

// The unit of a raw read: the drive's physical sector, 512 bytes when it is unknown.
uint32_t RawBlockSize(const DriveRecord& drive);
// A block drawn from the generator: r x the drive's size, rounded to the nearest byte (halves to
// even), then down to its block.
int64_t RandomBlockPosition(const DriveRecord& drive);

// One read of one block at a random position: wakes the drive or keeps it running. The outcome is
// ignored. It takes the dispatcher's slot (DriveCallSlot) for the read.
void RandomBlockRead(DriveRecord& drive);

// The timer's handler: one cycle over the drive table.
void RunMonitorCycle();

// The 60-second multimedia timer that runs the cycle on its own thread.
bool StartMonitorTimer();
void StopMonitorTimer();

// The system goes to sleep: no cycles until the resume, which runs one cycle at once on the calling
// thread and starts the timer again.
void SuspendMonitoring();
void ResumeMonitoring();

// Timer stopped, counters, flags, callouts and the random seed back to their start.
void ResetMonitorState();
