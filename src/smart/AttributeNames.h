// The display name of a S.M.A.R.T. attribute entry, chosen by the drive's kind, attribute family,
// controller, brand and a few model, firmware and attribute-list tests.
#pragma once

#include <string>

#include "device/DriveRecord.h"

// Name of attribute entry `index` (0-based) of an ATA drive's SmartData. "Unknown Attribute" when
// no rule names it; "Not In Use" for entries the report leaves out. Reads the record only.
std::string NameAttribute(const DriveRecord& drive, unsigned index);
