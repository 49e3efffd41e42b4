// Where a drive hangs in the device tree (host controller, channel, USB protocol), its drive letters
// and the operating system's TRIM state.
#pragma once

#include "device/DriveRecord.h"
#include "platform/Platform.h"

void PlaceDrive(DriveRecord& drive, platform::DevInfoSet set, const platform::DevInfoData& element);
void MapLogicalDrives(DriveRecord& drive);
void ReadTrimState(DriveRecord& drive);
