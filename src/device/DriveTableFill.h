// What fills and empties the drive table: the scan at start-up, and the process's reset. Nothing else
// in src/ includes this (scripts/check-layers.sh holds to that): once the scan is done, the table's
// count and places stay fixed.
#pragma once

#include <memory>

#include "device/DriveRecord.h"

// Appends a record with the drive's open handle, which the table then owns; false (and both freed)
// when the table is full.
bool AddDrive(std::unique_ptr<DriveRecord> drive, platform::OwnedHandle handle);

// Frees every record, closing its handle, and empties the table.
void ClearDriveTable();
