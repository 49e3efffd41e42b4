#include "device/NvmeIdentify.h"

// NVMe identification is not interpreted yet: the identify pages are kept as read.
void InterpretNVMeIdentify(DriveRecord&) {}

void ReadPciLink(DriveRecord&, platform::DevInfoSet, const platform::DevInfoData&) {}
