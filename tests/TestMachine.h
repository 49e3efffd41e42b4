// Small simulated machines for the tests: consistent SATA drives built from a few facts, and a
// fixture that starts every test with an empty drive table and empty logs.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/DriveRecord.h"
#include "device/TIOCTL.h"
#include "platform/sim/PageBuilders.h"
#include "platform/sim/SimMachine.h"

namespace testmachine {

// A SATA hard disk with S.M.A.R.T. enabled, six attributes, an IDENTIFY DEVICE data log and one
// writable host log (0x80). `seed` makes its S.M.A.R.T. page differ from other drives'.
sim::IdentifyPage SataIdentify(const std::string& serial);
sim::Drive SataDrive(const std::string& serial, unsigned seed = 0,
                     std::vector<AccessMethod> methods = {AccessMethod::ATA});
std::vector<sim::Attribute> SomeAttributes(unsigned seed);

// The same disk with AAM and APM (unless `apm` is false), each on at the level given or off (level 0);
// the drive recommends AAM level 128.
sim::Drive TunableDrive(const std::string& serial, uint8_t aamLevel, uint8_t apmLevel, bool apm = true,
                        unsigned seed = 0);

// A device path in the disk interface class, unique per name.
std::string DiskPath(const std::string& name);

// Opens drive `index` of the installed machine into a fresh record (flags as given).
DriveRecord OpenRecord(size_t index, bool isUSB = false, bool isNVMe = false);

std::string ReadFixtureFile(const std::string& relative);
std::string FixturesRoot();

// A peer decode's text without the blanks it was padded with.
std::string Trimmed(const std::string& text);

}  // namespace testmachine

// Every test on this fixture starts from an empty table, empty logs and the simulated world at its
// start (an empty machine, no timers), with the local clock at 3:04:05 PM.
class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Installs `m` and returns a reference to the installed copy.
    sim::Machine& Install(sim::Machine m);
    sim::Drive& Drive(size_t index) { return sim::Current().Drives[index]; }
    // Installs the real drives' machine (tests/fixtures/real-drives.machine) and returns how many
    // drives it describes; 0 when it cannot be loaded, the test then being skipped (the pages in
    // ../shared are absent) or failed.
    size_t InstallRealDrives();
};
