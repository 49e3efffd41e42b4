// The NVMe SMART / health information log.
#pragma once

#include "device/DriveRecord.h"

void TakeNvmeHealthValues(DriveRecord& drive);
