// The power-on timer's calibration. Drives count power-on time in units of their own choosing; the
// program measures the unit by watching the counter on the clock for an hour of monitoring, and the
// worked hours (smart/WorkedHours.h) follow from it.
#pragma once

#include <cstdint>

#include "device/DriveRecord.h"

// An ATA drive with attribute 9 whose counter unit is not measured yet.
bool PowerOnTimerCalibrating(const DriveRecord& drive);

// The monitoring cycle's step for a calibrating drive whose value page it just read, `tick` being
// the clock's milliseconds at the read. The first reading is the checkpoint; once an hour has passed
// since it, the counter's advance becomes PowerOnTimerPeriod, the counter units of one hour (at
// least 1). A counter that went backwards is logged and the hour measured again from it. True when
// a period was set (the caller persists it).
bool CalibratePowerOnTimer(DriveRecord& drive, uint32_t tick);

// The calibration hour starts again with the next reading (after the system slept).
void RestartPowerOnCalibration(DriveRecord& drive);
