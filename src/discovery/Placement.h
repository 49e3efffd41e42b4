// Where a drive hangs in the device tree (host controller, channel, USB protocol), its drive letters
// and the operating system's TRIM state. Nothing here sends a drive command or drops a drive.
#pragma once

#include "device/DriveRecord.h"
#include "platform/Storage.h"

// Climbs from the drive's element to its PCI host controller: channel and role of a parallel drive,
// whether a USB bridge speaks UAS, the controller's driver description and hardware identifier,
// and for NVMe drives the PCIe link.
void PlaceDrive(DriveRecord& drive, platform::DevInfoSet set, const platform::DevInfoData& element);
// A USB drive: the USB device above the disk by its hardware identifier, and the bridge the bridge
// table knows under it (its name, and the command blocks that reach the drive through it).
void RecogniseUsbBridge(DriveRecord& drive, platform::DevInfoSet set, const platform::DevInfoData& element);
// Whether the bridge the drive is behind may hold a SATA drive in place of an NVMe one.
bool BridgeMayHoldSata(const DriveRecord& drive);
// The letters of the volumes that lie wholly on the drive.
void MapLogicalDrives(DriveRecord& drive);
void ReadTrimState(DriveRecord& drive);
