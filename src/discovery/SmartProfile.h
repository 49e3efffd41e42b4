// The drive's attribute list and naming profile; for SSDs the flash controller.
#pragma once

#include "device/DriveRecord.h"

// Scan step 13 for an ATA drive whose attributes are counted: the attribute list for every drive;
// for an SSD the controller, the checks that depend on it, and the attribute family.
void SelectSmartProfile(DriveRecord& drive);

// AttributeList := the identifiers of the first AttributeCount entries, in decimal, joined by ", ".
// Fewer than four attributes are worth a line in the drive's log.
void BuildAttributeList(DriveRecord& drive);

// AttributeFamily of an SSD from its brand, model, firmware, controller and attribute list; a
// rotating drive keeps 0.
void SelectAttributeFamily(DriveRecord& drive);
