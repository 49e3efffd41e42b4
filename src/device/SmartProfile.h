// The drive's attribute list and naming profile; for SSDs the flash controller.
#pragma once

#include "device/DriveRecord.h"

void SelectSmartProfile(DriveRecord& drive);
