// NVMe Identify Controller and Namespace data and the Get Features values turned into the record's
// fields; the PCIe link of the drive's controller.
#pragma once

#include <cstdint>
#include <string>

#include "device/DriveRecord.h"
#include "platform/Storage.h"

// Takes the record after a successful Identify Controller; `parentInstanceId` is the drive's parent
// device (the PCI controller), whose "&DEV_" gives the PCI device identifier. Sends Identify
// Namespace and the Get Features the controller supports.
void InterpretNVMeIdentify(DriveRecord& drive, const std::string& parentInstanceId);

// NVMe text: `count` bytes at `offset` as they are, trimmed of blanks and control characters. The
// model is at 24 (40 bytes), the serial number at 4 (20 bytes).
std::string NvmeText(const uint8_t* page, size_t offset, size_t count);

// Get Features through the dispatcher: the completion's dword 0 in `result`.
bool GetFeature(DriveRecord& drive, uint8_t feature, uint32_t& result);

// The four PCIe link properties of the drive's PCI controller element.
void ReadPciLink(DriveRecord& drive, platform::DevInfoSet set, const platform::DevInfoData& controller);
