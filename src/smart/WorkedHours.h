// Worked hours from the raw power-on counter and the counter's unit, once the calibration
// (smart/PowerOnTime.h) has measured it. Pure functions of the record: the database server uses them too.
#pragma once

#include <cstdint>
#include <string>

#include "device/DriveRecord.h"

// PowerTime div PowerOnTimerPeriod (NVMe drives count hours); false while the period is unknown.
bool WorkedHours(const DriveRecord& drive, uint32_t& hours);

// The hours in decimal, or "calculated..." while they are not known yet.
std::string WorkedHoursText(const DriveRecord& drive);
