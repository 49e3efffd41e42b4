// The scan: which drives enter the table, which are dropped and what is logged about them.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "device/DriveTableFill.h"
#include "protocol/Bytes.h"
#include "discovery/Scan.h"
#include "device/TIOCTL.h"
#include "device/DiagnosticLog.h"

using testmachine::SataDrive;
using testmachine::SataIdentify;
using M = AccessMethod;

namespace {

class Scan : public MachineTest {
protected:
    // The drives' handle notifications go to a window, as the program's start-up sets one.
    static constexpr std::uintptr_t Window = 0x5150;
    void ScanWith(std::vector<sim::Drive> drives) {
        sim::Machine m;
        m.Drives = std::move(drives);
        Install(std::move(m));
        DeviceNotificationWindow = Window;
        ScanDrives();
    }
    static size_t Count(const std::string& text, const std::string& line) {
        size_t n = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
        return n;
    }
};

TEST_F(Scan, NoDrivesLeavesTheTableEmpty) {
    ScanWith({});
    EXPECT_EQ(DriveCount(), 0);
    EXPECT_EQ(GlobalLogText(), "");
}

TEST_F(Scan, KeepsAGoodDriveWithEverythingTheScanSets) {
    ScanWith({SataDrive("WD-1234", 1)});
    ASSERT_EQ(DriveCount(), 1);
    const DriveRecord& d = DriveForCommands(0);
    EXPECT_EQ(d.DevicePath, Drive(0).DevicePath);
    EXPECT_EQ(d.Caption, "Model - TESTDISK 1000 ( WD-1234 )");
    EXPECT_EQ(d.AttributeCount, 6);
    EXPECT_EQ(std::vector<uint8_t>(d.SmartData, d.SmartData + 512), Drive(0).SmartData);
    EXPECT_EQ(std::vector<uint8_t>(d.SmartThresholds, d.SmartThresholds + 512), Drive(0).SmartThresholds);
    EXPECT_TRUE(d.SelfTestSupport);
    EXPECT_FALSE(d.IsUSB);
    EXPECT_FALSE(d.IsNVMe);
    EXPECT_EQ(sim::Current().Notifications, (std::vector<sim::HandleNotification>{{Window, d.Handle}}));
    EXPECT_EQ(sim::OpenHandleCount(), 1u);
    // IDENTIFY, READ DATA, READ THRESHOLDS, the log directory and the identify data log: nothing more.
    EXPECT_EQ(Drive(0).RequestCount(), 5u);
}

TEST_F(Scan, StopsAtThirtyTwoDrivesOncePerClass) {
    std::vector<sim::Drive> drives;
    for (unsigned i = 0; i < 33; ++i) drives.push_back(SataDrive("SN" + std::to_string(i), i));
    sim::Drive second = SataDrive("OTHER", 99);
    second.InDiskClass = false;
    second.InStorage2Class = true;
    drives.push_back(second);
    ScanWith(std::move(drives));
    EXPECT_EQ(DriveCount(), 32);
    EXPECT_EQ(GlobalLogText(), "DEBUG - MaxPhysicalDisks overflow\r\n\r\nDEBUG - MaxPhysicalDisks overflow");
    EXPECT_EQ(Drive(32).RequestCount(), 0u);  // never opened
    EXPECT_EQ(Drive(33).RequestCount(), 0u);
    EXPECT_EQ(sim::OpenHandleCount(), 32u);
    EXPECT_EQ(DriveForCommands(31).SerialNumber, "SN31");
}

TEST_F(Scan, DropsTheSecondViewOfADriveInBothClasses) {
    sim::Drive both = SataDrive("TWICE", 3);
    both.InStorage2Class = true;
    both.Storage2Path = "\\\\?\\scsi#disk&ven_test&prod_twice#4&1&0&000000#{7fccc86c-228a-40ad-8a58-f590af7bfdce}";
    ScanWith({both});
    ASSERT_EQ(DriveCount(), 1);
    EXPECT_EQ(GlobalLogText(), "DEBUG - Repeated identification. Drive - " + both.Storage2Path +
                                   "\r\n\r\nDEBUG - Repeated SMART data. Drive - " + both.Storage2Path);
    EXPECT_EQ(sim::OpenHandleCount(), 1u);  // the second handle was closed
    EXPECT_EQ(sim::Current().Notifications.size(), 1u);
}

TEST_F(Scan, TwoDrivesWithoutSerialNumbersCountAsOne) {
    ScanWith({SataDrive("", 1), SataDrive("", 2)});
    ASSERT_EQ(DriveCount(), 1);
    EXPECT_EQ(DriveForCommands(0).DevicePath, Drive(0).DevicePath);
    EXPECT_EQ(GlobalLogText(), "DEBUG - Repeated identification. Drive - " + Drive(1).DevicePath);
    EXPECT_NE(DriveForCommands(0).Log.find("DEBUG - No serial number"), std::string::npos);
}

TEST_F(Scan, DropsDrivesThatCannotBeIdentifiedOrRead) {
    sim::Drive packet = SataDrive("PACKET", 1);
    packet.Identify = SataIdentify("PACKET").Word(0, 0x85C0).Bytes();
    sim::Drive noThresholds = SataDrive("NOTHR", 2);
    noThresholds.Faults.push_back({M::ATA, 0xB0, 0xD1, sim::FaultKind::Refuse, 0});
    sim::Drive badChecksum = SataDrive("BADSUM", 3);
    badChecksum.SmartData[100] ^= 0x01;
    sim::Drive noAttributes = SataDrive("NOATTR", 4);
    noAttributes.SmartData = sim::SmartValuePage({});
    sim::Drive unreadable = SataDrive("NODATA", 5);
    unreadable.Faults.push_back({M::ATA, 0xB0, 0xD0, sim::FaultKind::Refuse, 0});
    sim::Drive closed = SataDrive("CLOSED", 6);
    closed.Opens = false;
    sim::Drive silent = SataDrive("SILENT", 7, {});
    ScanWith({packet, noThresholds, badChecksum, noAttributes, unreadable, closed, silent});

    EXPECT_EQ(DriveCount(), 0);
    EXPECT_EQ(sim::OpenHandleCount(), 0u);
    EXPECT_TRUE(sim::Current().Notifications.empty());
    EXPECT_EQ(GlobalLogText(), "");
    EXPECT_EQ(Drive(0).RequestCount(), 1u);  // only IDENTIFY: a packet device goes no further
    EXPECT_EQ(Drive(5).RequestCount(), 0u);  // could not be opened
}

TEST_F(Scan, EnablesSmartWhenSupportedButSwitchedOff) {
    sim::Drive off = SataDrive("OFF", 1);
    off.SmartEnabled = false;
    sim::Drive refuses = SataDrive("REFUSES", 2);
    refuses.SmartEnabled = false;
    refuses.Faults.push_back({M::ATA, 0xB0, 0xD8, sim::FaultKind::Refuse, 0});
    ScanWith({off, refuses});
    ASSERT_EQ(DriveCount(), 1);
    EXPECT_EQ(DriveForCommands(0).SerialNumber, "OFF");
    EXPECT_TRUE(Drive(0).SmartEnabled);
    EXPECT_FALSE(Drive(1).SmartEnabled);
    ASSERT_GE(Drive(0).History.size(), 2u);
    EXPECT_EQ(Drive(0).History[1].taskFile.Features, SMART_ENABLE_OPERATIONS);
}

TEST_F(Scan, DropsAParallelDriveReportingAnEmptyCount) {
    sim::Drive pata = SataDrive("PATA", 1);
    pata.Identify = SataIdentify("PATA").Word(76, 0).Word(77, 0).Word(83, 0x7801).Sectors28(0).Bytes();
    ScanWith({pata});
    EXPECT_EQ(DriveCount(), 0);
    EXPECT_EQ(Drive(0).RequestCount(), 1u);
}

// The flash controller read from the attribute layout unmasks a "Samsung" SSD built on another
// maker's controller; the scan runs that check before it chooses the attribute family.
TEST_F(Scan, ASamsungSsdOnAForeignControllerIsMarkedFake) {
    const std::vector<uint8_t> foreignLayout = {1,   5,   9,   12,  160, 161, 163, 164, 165, 166,
                                                167, 168, 169, 175, 176, 177, 178, 181, 182, 192,
                                                194, 195, 196, 197, 198, 199, 232, 241, 242, 245};
    const std::vector<uint8_t> samsungLayout = {5,   9,   12,  170, 171, 172, 173, 174, 178,
                                                180, 184, 187, 194, 199, 233, 241, 242, 249};
    const struct {
        const char* firmware;
        const std::vector<uint8_t>& layout;
        uint8_t controller;
        const char* brand;
        uint8_t family;
    } cases[] = {
        {"RVT02B6Q", foreignLayout, 17, "Fake", 0},  // Silicon Motion
        {"HT01", foreignLayout, 10, "Fake", 0},      // Yeestor, told by the firmware
        {"RVT02B6Q", samsungLayout, 6, "Samsung", 22},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firmware + std::string(" on controller ") + std::to_string(c.controller));
        std::vector<sim::Attribute> attributes;
        for (uint8_t id : c.layout) attributes.push_back({id, 0x0032, 100, 100, id == 194 ? 35u : 0u, 0});
        sim::Drive ssd = SataDrive("S3Z9NB0K123456A", 1);
        ssd.Identify = SataIdentify("S3Z9NB0K123456A").Model("Samsung SSD 860 EVO 500GB").Firmware(c.firmware)
                           .Word(217, 1).Bytes();
        ssd.SmartData = sim::SmartValuePage(attributes);
        ssd.SmartThresholds = sim::SmartThresholdPage(attributes);
        ClearDriveTable();
        ScanWith({ssd});
        ASSERT_EQ(DriveCount(), 1);
        const DriveRecord& d = DriveForCommands(0);
        EXPECT_TRUE(d.IsSSD);
        EXPECT_EQ(d.ControllerID, c.controller);
        EXPECT_EQ(d.Trademark, c.brand);
        EXPECT_EQ(d.Log.find("Fake?"), std::string::npos) << "the controller check writes no log line";
        EXPECT_EQ(d.AttributeFamily, c.family);
    }
}

TEST_F(Scan, TellsUsbAndNvmeDrivesByParentAndPath) {
    sim::Drive usb = SataDrive("USB1", 1, {M::SAT});
    usb.Parent = "USB\\VID_152D&PID_0578\\0123456789AB";
    sim::Drive lower = SataDrive("USB2", 2, {M::ATA});
    lower.Parent = "usb\\VID_152D&PID_0578\\0123456789AC";
    sim::Drive noParent = SataDrive("NOPARENT", 3, {M::ATA});
    noParent.Parent.clear();
    ScanWith({usb, lower, noParent});
    ASSERT_EQ(DriveCount(), 3);
    EXPECT_TRUE(DriveForCommands(0).IsUSB);
    EXPECT_FALSE(DriveForCommands(1).IsUSB);
    EXPECT_FALSE(DriveForCommands(2).IsUSB);
    EXPECT_EQ(DriveForCommands(0).Log.find("via"), std::string::npos);  // SAT is the USB order's first
    EXPECT_EQ(Drive(0).Requests[M::SAT], Drive(0).RequestCount());
    for (unsigned i = 0; i < 3; ++i) EXPECT_FALSE(DriveForCommands(i).IsNVMe);
}

// NVMe drives are known by their interface path (case matters) and never compared for duplicates.
TEST_F(Scan, NvmeDrivesByPathAreNotComparedForDuplicates) {
    sim::Drive a = SataDrive("SAME", 1, {M::ATA});
    a.DevicePath = "\\\\?\\scsi#disk&ven_nvme&prod_a#5&1&0&000000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    sim::Drive b = a;
    b.DevicePath = "\\\\?\\scsi#disk&ven_nvme&prod_b#5&1&0&000000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    sim::Drive upper = SataDrive("UPPER", 3, {M::ATA});
    upper.DevicePath = "\\\\?\\SCSI#Disk&Ven_NVMe&Prod_C#5&1&0&000000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    ScanWith({a, b, upper});
    ASSERT_EQ(DriveCount(), 3);
    EXPECT_TRUE(DriveForCommands(0).IsNVMe);
    EXPECT_TRUE(DriveForCommands(1).IsNVMe);
    EXPECT_FALSE(DriveForCommands(2).IsNVMe);
    EXPECT_EQ(GlobalLogText(), "");
    EXPECT_NE(DriveForCommands(0).Log.find("DEBUG - NVMe via ATA"), std::string::npos);
    // Identify, the five Get Features every controller is asked, and the health read tried the NVMe
    // queries first.
    EXPECT_EQ(Drive(0).Requests[M::NVMe], 7u);
}

TEST_F(Scan, LogsWhatTheIdentificationLacks) {
    sim::Drive small = SataDrive("", 1);
    small.Identify = SataIdentify("").Firmware("").Word(83, 0x7801).Sectors28(4000000).Bytes();  // ~2 GB
    ScanWith({small});
    ASSERT_EQ(DriveCount(), 1);
    EXPECT_EQ(DriveForCommands(0).Log,
              "DEBUG - No serial number\r\n\r\nDEBUG - No firmware version\r\n\r\nDEBUG - Recovery mode?\r\n\r\n"
              "DEBUG - Trademark not detected.\r\n\r\nDEBUG - OUI - 000000");

    ClearDriveTable();
    sim::Drive module = SataDrive("DOM1", 2);
    module.Identify = SataIdentify("DOM1").Model("TS1GSDOM22V").Word(83, 0x7801).Sectors28(2000000).Bytes();
    sim::Drive empty = SataDrive("EMPTY", 3);
    empty.Identify = SataIdentify("EMPTY").Sectors48(1).Bytes();  // one sector: nothing left to use
    sim::Drive wwn = SataDrive("WWN", 4);
    wwn.Identify = SataIdentify("WWN").Word(87, 0x4100).Word(108, 0x5001).Word(109, 0x4EE0).Bytes();
    ScanWith({module, empty, wwn});
    ASSERT_EQ(DriveCount(), 3);
    EXPECT_EQ(DriveForCommands(0).Log.find("Recovery mode?"), std::string::npos);
    EXPECT_NE(DriveForCommands(1).Log.find("DEBUG - AvailableSize = 0\r\n\r\nDEBUG - Recovery mode?"),
              std::string::npos);
    EXPECT_NE(DriveForCommands(2).Log.find("DEBUG - OUI - 0014EE"), std::string::npos);
}

TEST_F(Scan, TheDefaultMachineKeepsItsNineDrives) {
    Install(sim::DefaultMachine());
    ScanDrives();
    ASSERT_EQ(DriveCount(), 9);
    EXPECT_EQ(DriveForCommands(0).Model, "WDC WD10EZEX-08WN4A0");
    EXPECT_EQ(DriveForCommands(1).Model, "Samsung SSD 860 EVO 500GB");
    EXPECT_TRUE(DriveForCommands(1).IsSSD);
    EXPECT_TRUE(DriveForCommands(1).TRIM_Support);
    EXPECT_EQ(DriveForCommands(2).Transport, 0);  // parallel
    EXPECT_EQ(DriveForCommands(2).UltraDMA_ModeSupport, 5);
    EXPECT_TRUE(DriveForCommands(3).UsedOLD);
    EXPECT_EQ(Count(DriveForCommands(3).Log, "Access via OLD"), 1u);
    EXPECT_EQ(DriveForCommands(0).HardwareCache, 64u * 1024 * 1024);  // from the identify data log
    EXPECT_EQ(Count(GlobalLogText(), "Repeated identification"), 1u);
    EXPECT_EQ(Count(GlobalLogText(), "Repeated SMART data"), 1u);
    const DriveRecord& nvme = DriveForCommands(4);
    EXPECT_TRUE(nvme.IsNVMe);
    EXPECT_EQ(std::vector<uint8_t>(nvme.NVMeIdentifyController, nvme.NVMeIdentifyController + 4096),
              Drive(4).NvmeIdentifyController);
    EXPECT_EQ(std::vector<uint8_t>(nvme.SmartData, nvme.SmartData + 512), Drive(4).NvmeLogs[0x02]);
    EXPECT_EQ(Drive(4).Requests[M::NVMe], Drive(4).RequestCount());
    const DriveRecord& usb = DriveForCommands(5);
    EXPECT_TRUE(usb.IsUSB);
    EXPECT_EQ(usb.Model, "WDC WD20SPZX-22UA7T0");
    EXPECT_EQ(Drive(5).Requests[M::SAT], Drive(5).RequestCount());
    EXPECT_EQ(usb.HardwareCache, 16u * 1024 * 1024);
    for (unsigned i = 0; i < 7; ++i) EXPECT_EQ(DriveForCommands(i).Log.find("IOCTL failed"), std::string::npos) << i;
}

TEST(PropertyText, DecodesWideTextSafely) {
    EXPECT_EQ(PropertyText({'U', 0, 'S', 0, 'B', 0, '\\', 0, 0, 0, 'X', 0}), "USB\\");
    EXPECT_EQ(PropertyText({'A', 0, 0x3A, 0x26, 'B'}), "A?");  // odd trailing byte ignored
    EXPECT_EQ(PropertyText({}), "");
}

}  // namespace

namespace {

// The pages real drives returned, scanned end to end: every one of them is a drive the table keeps.
TEST_F(MachineTest, RealDrivesPagesPassTheScan) {
    const size_t described = InstallRealDrives();
    if (described == 0) return;
    ScanDrives();
    EXPECT_EQ(DriveCount(), described);
    EXPECT_GE(described, 7u);
    EXPECT_EQ(GlobalLogText(), "");
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const DriveRecord& d = DriveForCommands(i);
        EXPECT_FALSE(d.Model.empty()) << d.DevicePath;
        EXPECT_GT(d.AttributeCount, 4) << d.Model;
        // Without logs the directory read fails and is reported: the only report a drive gets.
        const size_t report =
            d.Log.find("IOCTL failed.\r\nCommand - SMART\r\nFeatures - READ LOG SECTOR\r\nSectorNumber - 0");
        EXPECT_NE(report, std::string::npos) << d.Model;
        EXPECT_EQ(report, d.Log.rfind("IOCTL failed.")) << d.Model;
    }
}

}  // namespace
