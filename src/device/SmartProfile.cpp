#include "device/SmartProfile.h"

// Attribute profiles and controller detection are not in yet: every drive keeps the generic profile.
void SelectSmartProfile(DriveRecord&) {}
