// Counterfeit drives: firmware or identity that no genuine drive reports.
#pragma once

#include "device/DriveRecord.h"

// Marks the drive's Trademark "Fake" when its identity betrays a counterfeit.
void CheckCounterfeit(DriveRecord& drive);

// The checks that need the flash controller; the scan runs them right after controller detection.
void CheckCounterfeitByController(DriveRecord& drive);
