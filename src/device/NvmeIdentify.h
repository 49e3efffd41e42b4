// NVMe Identify Controller and Namespace data turned into the record's fields; the PCIe link.
#pragma once

#include "device/DriveRecord.h"
#include "platform/Platform.h"

void InterpretNVMeIdentify(DriveRecord& drive);
void ReadPciLink(DriveRecord& drive, platform::DevInfoSet set, const platform::DevInfoData& element);
