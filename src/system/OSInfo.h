// What the program knows about the machine it runs on: the Windows version as a display name and a
// generation number, WOW64, the processor count and page size (settled once at start-up), and the
// processors' load (measured on demand for the CPU-load tray icon).
#pragma once

#include <cstdint>
#include <string>

// Written by InitOSInfo before any other thread exists; read-only afterwards.
extern std::string OSName;      // e.g. "Windows 10 Build 19045 x64"; "Unknown" off the NT platform
extern uint8_t OSGeneration;    // 1 = NT 3.51, 2 = NT 4.0, 3 = 2000, 4 = XP, 5 = Server 2003, 6 = Vista,
                                // 7 = 7, 8 = 8, 9 = 8.1, 10 = 10, 11 = 11; 0 = not recognised
extern bool IsWow64;            // the 32-bit program runs on 64-bit Windows
extern uint8_t ProcessorCount;  // logical processors (low byte of the system's count)
extern uint32_t PageSize;       // memory page size in bytes

// Fills the state above from the system.
void InitOSInfo();

// Resolves the processor-times query and sizes the two snapshots for ProcessorCount processors;
// false when the system has no such query (the CPU-load icon then stays off).
bool InitCpuLoad();

// The average load of all processors over the next intervalMs milliseconds, in percent 0..100; blocks
// for the interval. The elapsed time is the performance counter's, not intervalMs. 0 without
// InitCpuLoad, and when the interval is too short to measure. One caller at a time.
uint8_t GetCpuLoad(uint32_t intervalMs);
