// Worked hours from the raw power-on counter. Drives count power-on time in units of their own
// choosing; the program measures the unit by watching the counter for one hour of monitoring.
#pragma once

#include <cstdint>
#include <string>

#include "device/DriveRecord.h"

// An ATA drive with attribute 9 whose counter unit is not measured yet.
bool PowerOnTimerCalibrating(const DriveRecord& drive);

// PowerTime div PowerOnTimerPeriod (NVMe drives count hours); false while the period is unknown.
bool WorkedHours(const DriveRecord& drive, uint32_t& hours);

// The hours in decimal, or "calculated..." while they are not known yet.
std::string WorkedHoursText(const DriveRecord& drive);

// The hourly step of the monitoring cycle for a calibrating drive: the counter's advance since
// PowerTimeCheckPoint becomes PowerOnTimerPeriod (at least 1). A counter that went backwards is
// logged and the hour measured again from it. True when a period was set (the caller persists it).
bool CalibratePowerOnTimer(DriveRecord& drive);
