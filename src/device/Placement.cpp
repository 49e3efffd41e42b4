#include "device/Placement.h"

// The device tree and volumes are not examined yet: placement fields stay empty.
void PlaceDrive(DriveRecord&, platform::DevInfoSet, const platform::DevInfoData&) {}
void MapLogicalDrives(DriveRecord&) {}
void ReadTrimState(DriveRecord&) {}
