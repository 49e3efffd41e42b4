// The one scan of the machine's drives at start-up: fills DriveTable.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/DriveRecord.h"
#include "platform/Storage.h"

// Window that receives the drives' handle notifications (0 until the main window exists).
extern std::uintptr_t DeviceNotificationWindow;

void ScanDrives();

void EnumerateInterfaceClass(const platform::Guid& interfaceClass);

// A new record for the opened drive, which takes the handle, or null when the drive is not kept
// (the handle is then closed).
std::unique_ptr<DriveRecord> IdentifyDrive(platform::OwnedHandle handle, const std::string& devicePath, platform::DevInfoSet set,
                           const platform::DevInfoData& element);

// A DEVPROP_TYPE_STRING value (UTF-16LE, zero-terminated) as text in the ANSI code page; characters
// the code page lacks become its default character.
std::string PropertyText(const std::vector<uint8_t>& value);
