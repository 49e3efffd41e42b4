// The alerts the monitoring cycle raises about a drive. Each shows a system-modal box on a thread of
// its own and returns at once; a showing flag per drive and kind keeps a second box of the same kind
// from opening while one is on screen. The caller holds a DriveWriter.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "device/DriveRecord.h"

// The program's main window: owner of the pages the alerts open, and where the monitoring cycle's
// message pump posts; 0 until it exists.
extern std::atomic<std::uintptr_t> ApplicationWindow;

extern const char InfoCaption[];     // "KORVANTE :: Information"
extern const char WarningCaption[];  // "KORVANTE :: Warning!"

// "Model - <model>\r\nSerial number - <serial>\r\n": the first lines of every alert.
std::string DriveHeader(const DriveRecord& drive);

void AlertDriveLost(DriveRecord& drive);
// Writes the drive's remapped-sector count to "Remaped" whether or not a box is shown.
void AlertRemap(DriveRecord& drive);
// RemappedSectors against an earlier count: a rise is alerted (AlertRemap); a fall (a firmware reset,
// another drive in the same slot) is logged and stored without a box.
void FollowRemapCount(DriveRecord& drive, uint32_t previous);
// Yes opens the vendor's page on active cooling; either answer records the alert for good.
void AlertTemperature(DriveRecord& drive);
void AlertSelfTestPassed(DriveRecord& drive);
void AlertSelfTestInterrupted(DriveRecord& drive);
void AlertSelfTestFailed(DriveRecord& drive);
// Once per episode: dismissing the box records it until the condition clears, if the condition
// still holds when the box is closed.
void AlertPreFailure(DriveRecord& drive);
void AlertNonCritical(DriveRecord& drive);
