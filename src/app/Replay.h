// A published data block (as the database server stored it) turned back into the machine it came
// from: every drive with the pages it sent, placed under a controller of the host adapter it named,
// with its drive letters, and its measurements, power-on timer calibration, highest temperature and
// monitoring date stored under its registry key the way the program stores them. The program then
// rebuilds offline the report the user published.
#pragma once

#include <string>
#include <vector>

#include "device/DriveRecord.h"
#include "net/PublishBlock.h"
#include "platform/FileVersion.h"
#include "platform/sim/SimMachine.h"

// The simulated machine of the decoded drives, in block order: NVMe drives answer with their
// controller and namespace pages, health log and feature values; every other drive with its
// IDENTIFY DEVICE data, S.M.A.R.T. values and thresholds (and, where it had one, the SCT engine and
// the identify-data log that give the temperatures and the cache size it reported).
sim::Machine ReplayedMachine(const std::vector<DriveRecord>& drives);

// Writes each drive's persisted values into the registry of the simulated world.
void StoreReplayedDriveState(const std::vector<DriveRecord>& drives);

// "major.minor.build.revision" as the program file's version numbers; false for anything else.
bool ParseProgramVersion(const std::string& text, platform::FixedFileVersion& version);

// Decodes the block, installs its machine, stores the drives' state and gives the program file the
// version the block names. False, with the reason in `why`, when the block does not decode or names
// no drive; nothing is installed then. `header` receives the header group (its operating-system name
// is what the caller shows in place of the simulated system's).
bool InstallReplayedBlock(const std::string& block, PublishHeader& header, std::string& why);
