// Where a drive hangs in the device tree (host controller, channel, USB protocol), its drive letters
// and the operating system's TRIM state. Nothing here sends a drive command or drops a drive.
#pragma once

#include "device/DriveRecord.h"
#include "platform/Storage.h"

// Climbs from the drive's element to its PCI host controller: channel and role of a parallel drive,
// whether a USB bridge speaks UAS, the controller's driver description and hardware identifier,
// and for NVMe drives the PCIe link.
void PlaceDrive(DriveRecord& drive, platform::DevInfoSet set, const platform::DevInfoData& element);
// The letters of the volumes that lie wholly on the drive.
void MapLogicalDrives(DriveRecord& drive);
void ReadTrimState(DriveRecord& drive);
