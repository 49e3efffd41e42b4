// The ATA S.M.A.R.T. value page: checksum and attribute entries.
#pragma once

#include <cstdint>

#include "device/DriveRecord.h"

constexpr unsigned MaxAttributes = 30;

// Offset of attribute entry i (0-based) in SmartData or SmartThresholds.
constexpr unsigned AttributeOffset(unsigned i) { return 2 + 12 * i; }

// The 512 bytes of SmartData add up to 0 modulo 256.
bool SmartChecksumOk(const DriveRecord& drive);

// Number of leading entries whose identifier is not 0 (0..30).
uint8_t CountAttributes(const DriveRecord& drive);
