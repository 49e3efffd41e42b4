// How fast a drive reads: the buffered read speed (one 128 KiB block read again and again, which the
// drive serves from its cache), the sequential profile (501 consecutive 128 KiB reads from a third
// into the disk) and the average random access time (999 single blocks at positions the program's
// generator draws from seed 0, so every run reads the same blocks). Every read goes to the drive's
// raw handle; nothing is written.
#pragma once

#include <cstdint>
#include <vector>

#include "device/DriveRecord.h"

// Both run on the caller's thread, which holds no drive lock, and block until done. They pump that
// thread's messages after every sample, and hold the drive lock for one sample at a time only, so that
// the monitoring cycle's commands go in between the samples and never inside one. False when a seek
// or a read failed or came up short (past the end of the drive): nothing is stored, the drive stays
// pending and its diagnostic log says what failed where.

// Buffered: fills BufferingReadSpeed. Sequential: AverageReadSpeed, StabilityReadSpeed, MaxReadSpeed
// and MinReadSpeed, from its samples but the first, which re-reads what the buffered measurement left
// in the drive's cache. MiB/s; a result above 32767 is logged as "<field> > 32767".
bool MeasureReadSpeed(DriveRecord& drive, bool buffered);
// Fills AverageAccessTime (whole milliseconds) and AverageAccessTimeFrac (hundredths).
bool MeasureAccessTime(DriveRecord& drive);

// The summaries, apart from the sampling.

// A speed sample's duration in counter ticks from its two stamps, as its low 32 bits. An end stamp
// before the start is a counter that wrapped: frequency - (start - end). Zero ticks (a read quicker
// than the counter's resolution) count as one.
uint32_t SampleTicks(int64_t start, int64_t end, int64_t frequency);
// 128 KiB in `ticks` as MiB/s, rounded to the nearest integer (halves to even).
uint32_t SampleSpeed(uint32_t ticks, int64_t frequency);

struct SpeedProfile {
    uint32_t Average = 0;    // sum div count
    uint32_t Stability = 0;  // the most frequent speed; on a tie the one that occurred first
    uint32_t Max = 0, Min = 0;
};
SpeedProfile SummariseSpeeds(const std::vector<uint32_t>& speeds);

struct AccessTime {
    uint32_t Milliseconds = 0;
    uint32_t Hundredths = 0;
};
// The mean of the samples (counter ticks) in milliseconds, rounded to two decimals (halves to even),
// after every sample above 3.5 times the integer mean, or below it divided by 3.5, was replaced by
// that mean.
AccessTime SummariseAccessTimes(std::vector<int64_t> samples, int64_t frequency);
