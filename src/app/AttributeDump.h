// The S.M.A.R.T. attribute table of an ATA drive as the headless runner prints it.
#pragma once

#include <ostream>

#include "device/DriveRecord.h"

// One line per counted attribute: identifier, name, flags, current and worst value, threshold, raw
// value in decimal and hexadecimal, and whether the value fails its threshold now or did in the
// past; then the flag legend. For ATA drives (an NVMe drive's page holds its health log).
void DumpAttributes(std::ostream& out, const DriveRecord& d);
