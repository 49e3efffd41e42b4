#include "smart/NvmeHealth.h"

// The health log is not interpreted yet: it is kept in SmartData as read.
void TakeNvmeHealthValues(DriveRecord&) {}
