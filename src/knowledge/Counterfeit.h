// Counterfeit drives: firmware or identity that no genuine drive reports.
#pragma once

#include "device/DriveRecord.h"

// Marks the drive's Trademark "Fake" when its firmware, world wide name or model text betrays a
// counterfeit, and mends the two counterfeit model texts that carry carriage returns. Runs once the
// identity and the health data are in.
void CheckCounterfeit(DriveRecord& drive);

// The checks that need the flash controller; the scan runs them right after controller detection.
void CheckCounterfeitByController(DriveRecord& drive);
