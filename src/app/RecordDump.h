// Every field of a DriveRecord as "Name = value" lines, in record order (the rows of DriveFields).
#pragma once

#include <ostream>

#include "device/DriveRecord.h"

void DumpDriveRecord(std::ostream& out, const DriveRecord& d);
