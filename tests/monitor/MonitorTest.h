// What the monitoring tests share: a fixture with a fresh world between cases, the
// resident program started once to learn where its drives' keys are, and those keys' values as
// another program sees them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "app/ProgramLife.h"
#include "monitor/Monitor.h"
#include "platform/Registry.h"
#include "platform/sim/SimRegistry.h"
#include "protocol/Bytes.h"

namespace monitortest {

constexpr const char* MachineRoot = "HKEY_LOCAL_MACHINE\\";

inline std::vector<uint8_t> Dword(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

// A key path under HKEY_LOCAL_MACHINE, with or without the root's name in front.
inline std::string BelowMachineRoot(const std::string& path) {
    return path.rfind(MachineRoot, 0) == 0 ? path.substr(std::char_traits<char>::length(MachineRoot)) : path;
}

inline void Store(const std::string& key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    platform::HKey h = 0;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_LOCAL_MACHINE, BelowMachineRoot(key), platform::KEY_ALL_ACCESS, h),
              platform::ERROR_SUCCESS);
    ASSERT_EQ(platform::RegSetValueEx(h, name, type, data), platform::ERROR_SUCCESS);
    platform::RegCloseKey(h);
}

// The value's data, or false when the key or the value is not there.
inline bool Stored(const std::string& key, const std::string& name, std::vector<uint8_t>& data) {
    platform::HKey h = 0;
    if (platform::RegOpenKeyEx(platform::HKEY_LOCAL_MACHINE, BelowMachineRoot(key), platform::KEY_READ, h) !=
        platform::ERROR_SUCCESS)
        return false;
    uint32_t type = 0;
    const bool found = platform::RegQueryValueEx(h, name, type, data) == platform::ERROR_SUCCESS;
    platform::RegCloseKey(h);
    return found;
}

// The test machines' SATA drive without attribute 9: it has no power-on counter to calibrate, so the
// cycle does not keep it running.
inline sim::Drive SataDriveWithoutPowerOnCounter(const std::string& serial, unsigned seed = 0) {
    sim::Drive d = testmachine::SataDrive(serial, seed);
    std::vector<sim::Attribute> attributes = testmachine::SomeAttributes(seed);
    attributes.erase(std::remove_if(attributes.begin(), attributes.end(), [](const sim::Attribute& a) { return a.id == 9; }),
                     attributes.end());
    d.SmartData = sim::SmartValuePage(attributes);
    d.SmartThresholds = sim::SmartThresholdPage(attributes);
    return d;
}

// Every REG_DWORD written under this name since the recorder was cleared, in order.
inline std::vector<uint32_t> Written(const std::string& name) {
    std::vector<uint32_t> values;
    for (const sim::RegistryWrite& w : sim::RegistryWrites())
        if (w.Name == name && w.Data.size() == 4) values.push_back(Get32(w.Data.data(), 0));
    return values;
}

// The built-in machine's NVMe SSD.
inline sim::Drive NvmeDrive() {
    for (const sim::Drive& d : sim::DefaultMachine().Drives)
        if (d.Accepts(AccessMethod::NVMe)) return d;
    ADD_FAILURE() << "the built-in machine has no NVMe drive";
    return {};
}

}  // namespace monitortest

class MonitorTest : public MachineTest {
protected:
    // Back to an empty world between the cases of one test.
    void Fresh() {
        TearDown();
        SetUp();
    }
    // Starts the program on a machine of these drives and kills it: the drives' keys now exist, and
    // their paths (under HKEY_LOCAL_MACHINE) come back in table order.
    std::vector<std::string> StartAndKill(std::vector<sim::Drive> drives) {
        Install({}).Drives = std::move(drives);
        StartResidentProgram();
        std::vector<std::string> keys;
        for (unsigned i = 0; i < DriveCount(); ++i)
            keys.push_back("Software\\KORVANTE\\" + DriveForCommands(i).Model + "\\" + DriveForCommands(i).SerialNumber);
        KillResidentProgram();
        return keys;
    }
};
