// A drive's condition, temperatures and counters as the headless runner prints them, under the
// labels the report uses.
#pragma once

#include <ostream>

#include "device/DriveRecord.h"

// Condition and its advice, the temperatures that are known, worked hours, power cycles and
// remapped sectors; for NVMe drives the health-log fields and the critical-warning texts.
void DumpHealth(std::ostream& out, const DriveRecord& d);
