// A machine with one disk behind each kind of USB bridge, and a SATA adapter that shares the JMicron
// NVMe bridge's id: each is found, identified and read through its own bridge, the monitoring cycle
// reads each with the fewest commands, and no command that would harm a drive is ever sent.
#include <gtest/gtest.h>

#include <string>

#include "TestMachine.h"
#include "device/DriveTableFill.h"
#include "drivetools/SelfTest.h"
#include "discovery/Scan.h"
#include "monitor/Monitor.h"
#include "platform/sim/SimMachine.h"

using M = AccessMethod;

namespace {

class UsbBridgeScan : public MachineTest {
protected:
    // The drive behind the bridge of this USB product id, or null.
    const DriveRecord* Behind(uint16_t product) {
        for (unsigned i = 0; i < DriveCount(); ++i)
            if (DriveForCommands(i).UsbProductId == product) return &DriveForCommands(i);
        return nullptr;
    }
    unsigned IndexOfRecord(uint16_t product) {
        for (unsigned i = 0; i < DriveCount(); ++i)
            if (DriveForCommands(i).UsbProductId == product) return i;
        return 0;
    }
    static size_t IndexOf(const DriveRecord& drive) {
        for (size_t i = 0; i < sim::Current().Drives.size(); ++i)
            if (sim::Current().Drives[i].DevicePath == drive.DevicePath) return i;
        return 0;
    }
    static const sim::Drive& Simulated(const DriveRecord& drive) { return sim::Current().Drives[IndexOf(drive)]; }
    void Load() {
        sim::Machine machine;
        std::string error;
        const std::string path = std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/bridges.machine";
        if (!sim::LoadMachineFile(path, machine, error)) {
            if (testmachine::ReadFixtureFile("real-drives/README.md").empty())
                GTEST_SKIP() << "../shared/fixtures/real-drives is not here: " << error;
            FAIL() << error;
        }
        Install(std::move(machine));
    }
};

TEST_F(UsbBridgeScan, EveryBridgedDriveIsFoundAndReadThroughItsBridge) {
    Load();
    if (IsSkipped() || HasFatalFailure()) return;
    ScanDrives();
    const struct {
        uint16_t product;
        const char* bridge;
        M method;  // what carried every command
        bool nvme;
        unsigned scanCommands, cycleCommands;  // pass-through requests at the scan and in one cycle
    } drives[] = {
        {0x2362, "ASMedia ASM2362", M::ASMedia, true, 3, 1},
        {0x9210, "Realtek RTL9210", M::Realtek, true, 3, 1},
        {0x0583, "JMicron JMS583", M::JMicronNVMe, true, 9, 3},
        {0x2338, "JMicron JM20337", M::JMicron, false, 0, 1},
        {0x2773, "Prolific PL2773", M::Prolific, false, 0, 1},
        {0x0C25, "Sunplus SPIF225A", M::Sunplus, false, 0, 1},
        {0x6830, "Cypress CY7C68300", M::Cypress, false, 0, 1},
    };
    for (const auto& d : drives) {
        SCOPED_TRACE(d.bridge);
        const DriveRecord* drive = Behind(d.product);
        ASSERT_NE(drive, nullptr);
        EXPECT_EQ(drive->BridgeName, d.bridge);
        EXPECT_EQ(drive->IsNVMe, d.nvme);
        EXPECT_TRUE(drive->IsUSB);
        EXPECT_EQ(drive->HostAdapter.rfind(d.bridge, 0), 0u) << drive->HostAdapter;
        EXPECT_FALSE(drive->Model.empty());
        EXPECT_GT(drive->Temperature, 0) << "health data came through";
        EXPECT_EQ(drive->Log.find("IOCTL failed"), std::string::npos) << drive->Log;
        const sim::Drive& simulated = Simulated(*drive);
        EXPECT_EQ(simulated.Requests.at(d.method), simulated.RequestCount()) << "nothing else was tried";
        if (d.nvme) EXPECT_EQ(simulated.RequestCount(), d.scanCommands);
    }
    const DriveRecord* adapter = nullptr;  // the SATA adapter on the JMicron id: plain SAT
    for (unsigned i = 0; i < DriveCount(); ++i)
        if (DriveForCommands(i).BridgeName == "JMicron JMS583 (SATA adapter)") adapter = &DriveForCommands(i);
    ASSERT_NE(adapter, nullptr);
    EXPECT_FALSE(adapter->IsNVMe);
    EXPECT_EQ(Simulated(*adapter).Requests.count(M::JMicronNVMe), 0u);

    // one cycle: the health page of each drive, one exchange (JMicron's three phases), no probing
    std::vector<unsigned> before;
    for (const sim::Drive& s : sim::Current().Drives) before.push_back(s.RequestCount());
    RunMonitorCycle();
    for (const auto& d : drives) {
        SCOPED_TRACE(d.bridge);
        const DriveRecord* drive = Behind(d.product);
        EXPECT_EQ(Simulated(*drive).RequestCount() - before[IndexOf(*drive)], d.cycleCommands);
    }
    EXPECT_EQ(sim::HazardousCommandTotal(), 0u);

    // a tunnel passes no self-test: the program says so and sends nothing; an ATA bridge passes one
    const unsigned sent = Simulated(*Behind(0x2362)).RequestCount();
    EXPECT_EQ(StartSelfTest(DriveForCommands(IndexOfRecord(0x2362)), SelfTestKind::Short), SelfTestStart::NotThroughBridge);
    EXPECT_EQ(Simulated(*Behind(0x2362)).RequestCount(), sent);
    EXPECT_EQ(StartSelfTest(DriveForCommands(IndexOfRecord(0x2338)), SelfTestKind::Short), SelfTestStart::Started);
}

// A bridge the table does not know is asked only what any bridge refuses harmlessly: SAT, then the
// ASMedia and Realtek tunnels, never JMicron's; what answered is logged.
TEST_F(UsbBridgeScan, AnUnknownBridgeIsProbedWithoutHarm) {
    const struct {
        const char* name;
        size_t drive;  // in the bridges machine
        bool found, nvme;
        M carrier;
        const char* logged;
    } cases[] = {
        {"an ASMedia tunnel under a new id", 0, true, true, M::ASMedia, "answers the ASMedia NVMe tunnel"},
        {"a Realtek tunnel under a new id", 1, true, true, M::Realtek, "answers the Realtek NVMe tunnel"},
        {"a SATA adapter under a new id", 7, true, false, M::SAT, "not in the bridge table"},
        {"a JMicron tunnel under a new id: not reached", 2, false, false, M::SAT, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        Load();
        if (IsSkipped() || HasFatalFailure()) return;
        sim::Machine& m = sim::Current();
        for (sim::DeviceNode& n : m.Devices)
            if (n.InstanceId == m.Drives[c.drive].Parent) n.HardwareIds = {"USB\\VID_1234&PID_5678&REV_0001"};
        const std::string path = m.Drives[c.drive].DevicePath;
        ScanDrives();
        const DriveRecord* found = nullptr;
        for (unsigned i = 0; i < DriveCount(); ++i)
            if (DriveForCommands(i).DevicePath == path) found = &DriveForCommands(i);
        EXPECT_EQ(sim::HazardousCommandTotal(), 0u);
        EXPECT_EQ(sim::Current().Drives[c.drive].Requests.count(M::JMicronNVMe), 0u);
        ASSERT_EQ(found != nullptr, c.found);
        if (!found) continue;
        EXPECT_EQ(found->IsNVMe, c.nvme);
        EXPECT_EQ(found->BridgeMethod, c.carrier == M::SAT ? 0 : static_cast<uint8_t>(c.carrier));
        EXPECT_NE(found->Log.find(c.logged), std::string::npos) << found->Log;
        EXPECT_TRUE(c.nvme ? found->Temperature > 0 : found->AttributeCount > 0) << "health data came through";
    }
}

}  // namespace
