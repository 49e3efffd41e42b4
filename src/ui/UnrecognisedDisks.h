// The disks of the machine the drive table does not hold, for the published report: card readers,
// flash sticks, virtual and RAM disks are known and left out; each other disk is listed by its
// device path with the description of the PCI controller it hangs on.
#pragma once

#include <string>
#include <vector>

// An empty line before the first disk, then per disk its device path and, when a PCI device is found
// within twelve steps up the device tree, that device's driver description.
std::vector<std::string> UnrecognisedDiskLines();
