// The flash controller of an ATA SSD, recognised from the layout of its S.M.A.R.T. attribute slots.
#pragma once

#include <cstdint>
#include <string>

#include "device/DriveRecord.h"

// Sets ControllerID (0 when nothing matches) and Controller, its name ("Unknown" for 0).
void DetectController(DriveRecord& drive);

// "Unknown" for 0, the controller's name for 1..20, empty above.
std::string ControllerName(uint8_t code);
