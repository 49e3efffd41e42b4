// Every field of a DriveRecord as "Name = value" lines, in record order.
#pragma once

#include <ostream>

#include "device/DriveRecord.h"

void DumpDriveRecord(std::ostream& out, const DriveRecord& d);
