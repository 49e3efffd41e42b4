// IDENTIFY DEVICE data of an ATA drive turned into the record's identity, capacity, interface and
// feature fields.
#pragma once

#include <string>

#include "device/DriveRecord.h"

// Fills the record from IdentifyData; false when the drive must not be kept (a parallel drive
// reporting the size an empty 28-bit count gives).
bool InterpretAtaIdentify(DriveRecord& drive);

// Self-test support and durations from the S.M.A.R.T. data sector.
void TakeSelfTestCapabilities(DriveRecord& drive);

// Reads the log directory and the IDENTIFY DEVICE data log: refines HardwareCache and logs a few
// diagnostics.
void ReadIdentifyDataLog(DriveRecord& drive);

// `count` bytes of ATA text at `offset`: byte-swapped per 16-bit word, then trimmed of characters
// with codes 0x20 and below at both ends.
std::string AtaText(const uint8_t* page, size_t offset, size_t count);

// Removes characters with codes 0x20 and below from both ends.
std::string TrimControlAndBlank(const std::string& text);
