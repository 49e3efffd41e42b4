// The one scan of the machine's drives at start-up: fills the drive table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/DriveRecord.h"
#include "platform/Storage.h"

// Window that receives the drives' handle notifications (0 until the main window exists).
extern std::uintptr_t DeviceNotificationWindow;

void ScanDrives();

// What the scan found forgotten: no drives (their handles closed) and no notification window, as a
// process starts (ResetProcessState, ui/ProcessState.h, resets the rest).
void ResetScan();

void EnumerateInterfaceClass(const platform::Guid& interfaceClass);

// A new record for the opened drive (the record borrows the handle, which the caller keeps and gives
// the table with the record), or null when the drive is not kept.
std::unique_ptr<DriveRecord> IdentifyDrive(platform::Handle handle, const std::string& devicePath, platform::DevInfoSet set,
                           const platform::DevInfoData& element);

// A DEVPROP_TYPE_STRING value (UTF-16LE, zero-terminated) as text in the ANSI code page; characters
// the code page lacks become its default character.
std::string PropertyText(const std::vector<uint8_t>& value);
