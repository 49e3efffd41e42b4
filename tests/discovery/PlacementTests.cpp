// Where drives hang: channel and role of parallel drives, the host controller search, UAS bridges,
// the PCIe link of NVMe controllers, drive letters from volume extents and the TRIM state; the
// machine description's sections for the device tree and the volumes; the built-in machine.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "discovery/Placement.h"
#include "discovery/Scan.h"
#include "device/TIOCTL.h"

using testmachine::SataDrive;

namespace {

const char* const Ahci = "PCI\\VEN_8086&DEV_A282&SUBSYS_86941043&REV_00\\3&11583659&0&B8";

sim::DeviceNode Node(const std::string& id, const std::string& parent, const std::string& enumerator,
                     int address = -1, const std::string& driverDesc = "") {
    sim::DeviceNode n;
    n.InstanceId = id;
    n.Parent = parent;
    n.Enumerator = enumerator;
    n.Address = address;
    n.DriverDesc = driverDesc;
    return n;
}

sim::DeviceNode Controller(const std::string& id, const std::string& driverDesc) {
    sim::DeviceNode n = Node(id, "ACPI\\PNP0A08\\0", "PCI", 0x00170000, driverDesc);
    n.HardwareIds = {id.substr(0, id.rfind('\\')), "PCI\\CC_0106"};
    return n;
}

sim::Drive DriveOn(const std::string& parent, const std::string& serial, int address = -1) {
    sim::Drive d = SataDrive(serial);
    d.Parent = parent;
    d.Address = address;
    return d;
}

class Placement : public MachineTest {
protected:
    // Places drive `index` of the installed machine as the scan does, through its element in the
    // disk interface class.
    DriveRecord Place(size_t index, uint8_t transport, bool isUSB = false, bool isNVMe = false) {
        DriveRecord d = testmachine::OpenRecord(index, isUSB, isNVMe);
        d.Transport = transport;
        const platform::DevInfoSet set = platform::SetupDiGetClassDevs(platform::GUID_DEVINTERFACE_DISK);
        platform::DeviceInterfaceData member{};
        platform::DevInfoData element{};
        std::string path;
        EXPECT_TRUE(platform::SetupDiEnumDeviceInterfaces(set, platform::GUID_DEVINTERFACE_DISK,
                                                          static_cast<uint32_t>(index), member));
        EXPECT_TRUE(platform::SetupDiGetDeviceInterfaceDetail(set, member, 260, path, element));
        PlaceDrive(d, set, element);
        platform::SetupDiDestroyDeviceInfoList(set);
        return d;
    }
    static constexpr uint8_t Parallel = 0, Serial = 1;
};

TEST_F(Placement, ParallelDrivesGetTheirChannelAndRole) {
    const std::string ide = "PCI\\VEN_197B&DEV_2368&SUBSYS_2368197B&REV_00\\4&2b8e0f1&0&00E5";
    const std::string primary = "PCIIDE\\IDECHANNEL\\4&1f4a5b2c&0&0", secondary = "PCIIDE\\IDECHANNEL\\4&1f4a5b2c&0&1";
    sim::Machine m;
    m.Devices = {Controller(ide, "Standard Dual Channel PCI IDE Controller"), Node(primary, ide, "PCIIDE", 0),
                 Node(secondary, ide, "PCIIDE", 1), Node("PCIIDE\\IDECHANNEL\\4&1f4a5b2c&0&2", ide, "PCIIDE", 2),
                 Node("PCIIDE\\IDECHANNEL\\4&1f4a5b2c&0&3", ide, "PCIIDE")};
    m.Drives = {DriveOn(primary, "P0", 0),   DriveOn(secondary, "S1", 1), DriveOn(secondary, "S2", 2),
                DriveOn(m.Devices[3].InstanceId, "T0", 0), DriveOn(m.Devices[4].InstanceId, "U0", 0),
                DriveOn(primary, "P-", -1)};
    Install(std::move(m));

    const DriveRecord master = Place(0, Parallel);
    EXPECT_EQ(master.DeviceAddress, 0);
    EXPECT_EQ(master.ChannelAddress, 0);
    EXPECT_TRUE(master.ChannelKnown);
    EXPECT_EQ(master.HostAdapter, "Standard Dual Channel PCI IDE Controller");
    EXPECT_EQ(master.HardwareID, "PCI\\VEN_197B&DEV_2368&SUBSYS_2368197B&REV_00");
    EXPECT_EQ(master.Log, "");

    const DriveRecord slave = Place(1, Parallel);
    EXPECT_EQ(slave.DeviceAddress, 1);
    EXPECT_EQ(slave.ChannelAddress, 1);
    EXPECT_TRUE(slave.ChannelKnown);

    const DriveRecord third = Place(2, Parallel);  // an address of 2 is no known role
    EXPECT_EQ(third.DeviceAddress, 2);
    EXPECT_FALSE(third.ChannelKnown);
    const DriveRecord thirdChannel = Place(3, Parallel);
    EXPECT_EQ(thirdChannel.ChannelAddress, 2);
    EXPECT_FALSE(thirdChannel.ChannelKnown);
    EXPECT_FALSE(Place(4, Parallel).ChannelKnown);  // the channel's address cannot be read
    EXPECT_FALSE(Place(5, Parallel).ChannelKnown);  // the drive's address cannot be read

    // A serial drive on the same tree: no addresses are read, no channel is claimed.
    const DriveRecord serial = Place(1, Serial);
    EXPECT_EQ(serial.DeviceAddress, 0);
    EXPECT_EQ(serial.ChannelAddress, 0);
    EXPECT_FALSE(serial.ChannelKnown);
    EXPECT_EQ(serial.HostAdapter, "Standard Dual Channel PCI IDE Controller");
}

// Windows compares instance identifiers without regard to case; so does the simulated tree.
TEST_F(Placement, AParentNamedInOtherLettersIsTheSameDevice) {
    std::string lower = Ahci;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    sim::Machine m;
    m.Devices = {Controller(Ahci, "Standard SATA AHCI Controller")};
    m.Drives = {DriveOn(lower, "A1", 1), DriveOn(std::string(Ahci) + "9", "A2", 1)};
    Install(std::move(m));
    EXPECT_EQ(Place(0, Serial).HostAdapter, "Standard SATA AHCI Controller");
    EXPECT_EQ(Place(1, Serial).HostAdapter, "") << "a longer identifier is another device";
}

TEST_F(Placement, SataDriveOnAnAhciController) {
    sim::Machine m;
    m.Devices = {Controller(Ahci, "Standard SATA AHCI Controller"),
                 Node("PCI\\VEN_1B21&DEV_0612\\4&1", "ACPI\\PNP0A08\\0", "PCI", 0, "ASMedia 106x SATA Controller"),
                 Node("PCI\\VEN_1B21&DEV_0625\\4&2", "ACPI\\PNP0A08\\0", "PCI")};
    m.Drives = {DriveOn(Ahci, "A1", 1), DriveOn(m.Devices[1].InstanceId, "A2"), DriveOn(m.Devices[2].InstanceId, "A3")};
    Install(std::move(m));

    const DriveRecord d = Place(0, Serial);
    EXPECT_EQ(d.DeviceAddress, 0);
    EXPECT_EQ(d.ChannelAddress, 0);
    EXPECT_FALSE(d.ChannelKnown);
    EXPECT_EQ(d.HostAdapter, "Standard SATA AHCI Controller");
    EXPECT_EQ(d.HardwareID, "PCI\\VEN_8086&DEV_A282&SUBSYS_86941043&REV_00");  // the first of the list
    EXPECT_FALSE(d.IsUAS);
    EXPECT_EQ(d.Log, "");

    const DriveRecord noIds = Place(1, Serial);
    EXPECT_EQ(noIds.HostAdapter, "ASMedia 106x SATA Controller");
    EXPECT_EQ(noIds.HardwareID, "");
    EXPECT_EQ(noIds.Log, "DEBUG - DEVPKEY_Device_HardwareIds failed");

    const DriveRecord bare = Place(2, Serial);
    EXPECT_EQ(bare.HostAdapter, "");
    EXPECT_EQ(bare.Log, "DEBUG - DEVPKEY_Device_HardwareIds failed");
}

// Drive 0 hangs under `depth` devices that are not PCI devices, then an AHCI controller.
sim::Machine DeepTree(unsigned depth) {
    sim::Machine m;
    m.Devices = {Controller(Ahci, "Standard SATA AHCI Controller")};
    std::string parent = Ahci;
    for (unsigned i = 0; i < depth; ++i) {
        const std::string id = "ROOT\\LAYER\\" + std::to_string(depth - i);
        m.Devices.push_back(Node(id, parent, i + 1 == depth ? "PCIIDE" : "ROOT", 0));
        parent = id;
    }
    m.Drives = {DriveOn(parent, "DEEP", 0)};
    return m;
}

TEST_F(Placement, ControllerSearchReadsAtMostTwelveEnumeratorNames) {
    Install(DeepTree(11));  // the controller is the twelfth device examined
    const DriveRecord found = Place(0, Parallel);
    EXPECT_EQ(found.HostAdapter, "Standard SATA AHCI Controller");
    EXPECT_TRUE(found.ChannelKnown);
    EXPECT_EQ(found.Log, "");

    Install(DeepTree(12));
    const DriveRecord deep = Place(0, Parallel);
    EXPECT_EQ(deep.Log, std::string("DEBUG - MaximumControllerSearchDepth - ") + Ahci);  // the parent last read
    EXPECT_FALSE(deep.ChannelKnown);  // although both addresses are valid
    EXPECT_EQ(deep.DeviceAddress, 0);
    EXPECT_EQ(deep.HostAdapter, "");
    EXPECT_EQ(deep.HardwareID, "");

    // A tree that breaks off below any PCI device ends the search quietly.
    sim::Machine broken;
    broken.Devices = {Node("PCIIDE\\IDECHANNEL\\1", "PCI\\GONE\\0", "PCIIDE", 0), Node("USB\\ORPHAN\\1", "", "USB")};
    broken.Drives = {DriveOn("PCIIDE\\IDECHANNEL\\1", "B1", 0), DriveOn("USB\\ORPHAN\\1", "B2"),
                     DriveOn("PCI\\NOT\\THERE", "B3", 0), DriveOn("", "B4", 0)};
    Install(std::move(broken));
    for (size_t i = 0; i < 4; ++i) {
        const DriveRecord d = Place(i, Parallel);
        EXPECT_FALSE(d.ChannelKnown) << i;
        EXPECT_EQ(d.HostAdapter, "") << i;
        EXPECT_EQ(d.Log, "") << i;
    }
}

TEST_F(Placement, UasBridgesAreKnownByTheirExactMatchingIdentifier) {
    const std::string xhci = "PCI\\VEN_8086&DEV_A2AF&SUBSYS_86941043&REV_00\\3&11583659&0&A0";
    const std::string hub = "USB\\ROOT_HUB30\\4&2a1b3c4d&0&0";
    sim::Machine m;
    m.Devices = {Controller(xhci, "USB xHCI Compliant Host Controller"), Node(hub, xhci, "USB", 0, "USB Root Hub")};
    const char* const matching[] = {"USB\\Class_08&SubClass_06&Prot_62", "USB\\Class_08&SubClass_06&Prot_50",
                                    "usb\\class_08&subclass_06&prot_62", "USB\\CLASS_08&SUBCLASS_06&PROT_62", ""};
    for (size_t i = 0; i < 5; ++i) {
        const std::string id = "USB\\VID_152D&PID_0578\\" + std::to_string(i);
        m.Devices.push_back(Node(id, hub, "USB", 4, "Bridge"));
        m.Devices.back().MatchingDeviceId = matching[i];
        m.Drives.push_back(DriveOn(id, "U" + std::to_string(i)));
    }
    Install(std::move(m));
    const DriveRecord uas = Place(0, Serial, true);
    EXPECT_TRUE(uas.IsUAS);
    EXPECT_EQ(uas.HostAdapter, "USB xHCI Compliant Host Controller");  // two hops up
    EXPECT_FALSE(uas.ChannelKnown);
    for (size_t i = 1; i < 5; ++i) EXPECT_FALSE(Place(i, Serial, true).IsUAS) << matching[i];
    EXPECT_FALSE(Place(0, Serial, false).IsUAS);  // only drives hanging from USB are asked
}

TEST_F(Placement, NvmeDrivesGetTheLinkOfTheirController) {
    const std::string nvme = "PCI\\VEN_144D&DEV_A808&SUBSYS_A801144D&REV_00\\4&1d8b6e1a&0&0008";
    sim::Machine m;
    m.Devices = {Controller(nvme, "Standard NVM Express Controller")};
    m.Devices[0].PciExpress = true;
    m.Devices[0].MaxLinkSpeed = m.Devices[0].CurrentLinkSpeed = 3;
    m.Devices[0].MaxLinkWidth = 4;
    m.Devices[0].CurrentLinkWidth = 2;
    m.Drives = {DriveOn(nvme, "N1")};
    Install(m);
    const DriveRecord d = Place(0, Parallel, false, true);
    EXPECT_EQ(d.PCI_MaxLinkSpeed, 3);
    EXPECT_EQ(d.PCI_MaxLinkWidth, 4);
    EXPECT_EQ(d.PCI_CurrentLinkSpeed, 3);
    EXPECT_EQ(d.PCI_CurrentLinkWidth, 2);
    EXPECT_FALSE(d.ChannelKnown);  // an NVMe drive with Transport 0 is no parallel drive
    EXPECT_EQ(d.Log, "");
    EXPECT_EQ(Place(0, Parallel).PCI_MaxLinkSpeed, 0);  // only NVMe drives read the link

    m.Devices[0].MaxLinkSpeed = 6;
    m.Devices[0].MaxLinkWidth = 32;
    m.Devices[0].CurrentLinkSpeed = 0;
    m.Devices[0].CurrentLinkWidth = 17;
    Install(m);
    const DriveRecord odd = Place(0, Parallel, false, true);
    EXPECT_EQ(odd.PCI_MaxLinkSpeed, 6);
    EXPECT_EQ(odd.PCI_MaxLinkWidth, 32);  // stored although unknown
    EXPECT_EQ(odd.PCI_CurrentLinkWidth, 17);
    EXPECT_EQ(odd.Log, "DEBUG - Unknown PCI_MaxLinkWidth - 32\r\n\r\nDEBUG - Unknown PCI_CurrentLinkSpeed - 0"
                       "\r\n\r\nDEBUG - Unknown PCI_CurrentLinkWidth - 17");

    m.Devices[0].PciExpress = false;  // the properties cannot be read: the fields stay 0, nothing is said
    Install(m);
    const DriveRecord none = Place(0, Parallel, false, true);
    EXPECT_EQ(none.PCI_MaxLinkSpeed + none.PCI_MaxLinkWidth + none.PCI_CurrentLinkSpeed + none.PCI_CurrentLinkWidth, 0);
    EXPECT_EQ(none.Log, "");
}

sim::Volume VolumeOn(char letter, std::vector<sim::DiskExtent> extents) {
    sim::Volume v;
    v.Letter = letter;
    v.Extents = std::move(extents);
    return v;
}

TEST_F(Placement, DriveLettersOfVolumesOnOneDisk) {
    sim::Machine m;
    for (unsigned i = 0; i < 4; ++i) m.Drives.push_back(SataDrive("V" + std::to_string(i), i));
    m.Drives[2].DeviceNumber = 263;  // 7 in its low byte, where disk 7 is another disk
    m.Drives[3].DeviceNumberRefused = true;
    m.Volumes = {VolumeOn('E', {{0, 1 << 20, 1 << 30}}),
                 VolumeOn('C', {{0, 1 << 20, 1 << 30}}),
                 VolumeOn('F', {{0, 1 << 20, 1 << 30}, {1, 1 << 20, 1 << 30}}),  // spans disks 0 and 1
                 VolumeOn('D', {{1, 1 << 20, 1 << 30}}),
                 VolumeOn('R', {}),                                                 // no disc in the drive
                 VolumeOn('G', {{263, 0, 1 << 30}}),
                 VolumeOn('J', {{7, 0, 1 << 30}}),
                 VolumeOn('H', {{3, 0, 1 << 30}}),
                 VolumeOn('Z', {{0, 0, 1 << 30}})};
    m.Volumes.back().Opens = false;
    Install(std::move(m));
    const unsigned handles = sim::OpenHandleCount();

    DriveRecord first = testmachine::OpenRecord(0);
    MapLogicalDrives(first);
    EXPECT_EQ(first.LogicalDrives, "C: E:");  // letter order; the spanned volume and the unopened one left out
    EXPECT_EQ(first.Log, "");
    DriveRecord second = testmachine::OpenRecord(1);
    MapLogicalDrives(second);
    EXPECT_EQ(second.LogicalDrives, "D:");
    DriveRecord numbered = testmachine::OpenRecord(2);
    MapLogicalDrives(numbered);
    EXPECT_EQ(numbered.LogicalDrives, "G:");  // by its whole device number, not its place

    // No device number: no letters, rather than the letters of some other disk.
    DriveRecord unnumbered = testmachine::OpenRecord(3);
    MapLogicalDrives(unnumbered);
    EXPECT_EQ(unnumbered.LogicalDrives, "");
    EXPECT_EQ(unnumbered.Log, "DEBUG - Get device number failed.");

    EXPECT_EQ(sim::OpenHandleCount(), handles + 4);  // the four records' handles; every volume handle closed
}

TEST_F(Placement, TrimStateAsTheSystemReportsIt) {
    sim::Machine m;
    m.Drives = {SataDrive("T0", 0), SataDrive("T1", 1), SataDrive("T2", 2)};
    m.Drives[0].Trim = sim::TrimState::Enabled;
    m.Drives[1].Trim = sim::TrimState::Disabled;
    m.Drives[2].Trim = sim::TrimState::Refused;
    Install(std::move(m));

    DriveRecord enabled = testmachine::OpenRecord(0);
    ReadTrimState(enabled);
    EXPECT_FALSE(enabled.TRIM_Enabled);  // a drive without TRIM is not asked
    EXPECT_TRUE(Drive(0).LastInput.empty());

    enabled.TRIM_Support = true;
    ReadTrimState(enabled);
    EXPECT_TRUE(enabled.TRIM_Enabled);
    const std::vector<uint8_t>& query = Drive(0).LastInput;
    ASSERT_EQ(query.size(), 18u);
    EXPECT_EQ(Get32(query.data(), 0), 8u);  // StorageDeviceTrimProperty
    EXPECT_EQ(Get32(query.data(), 4), 0u);  // PropertyStandardQuery
    EXPECT_EQ(std::vector<uint8_t>(query.begin() + 8, query.end()), std::vector<uint8_t>(10, 0));
    EXPECT_EQ(Drive(0).RequestCount(), 0u);  // answered by the storage stack, not sent to the drive

    for (size_t i : {1, 2}) {
        DriveRecord d = testmachine::OpenRecord(i);
        d.TRIM_Support = true;
        ReadTrimState(d);
        EXPECT_FALSE(d.TRIM_Enabled) << i;
        EXPECT_EQ(d.Log, "") << i;
    }

    // A descriptor that comes back short is no answer.
    sim::SetReplyHook([](uint32_t, bool result, uint8_t*, uint32_t, uint32_t& returned) {
        returned = 8;
        return result;
    });
    ReadTrimState(enabled);
    EXPECT_FALSE(enabled.TRIM_Enabled);
}

class PlacementFile : public MachineTest {
protected:
    // A file of its own: other test runs may share the temporary folder.
    bool Load(const std::string& text) {
        const std::string path =
            ::testing::TempDir() + "/placement-" + std::to_string(std::random_device{}()) + ".machine";
        std::ofstream(path) << text;
        const bool loaded = sim::LoadMachineFile(path, machine, error);
        std::remove(path.c_str());
        return loaded;
    }
    sim::Machine machine;
    std::string error;
};

TEST_F(PlacementFile, DescribesTheDeviceTreeVolumesAndTheMachine) {
    ASSERT_TRUE(Load("[machine]\n"
                     "page-size = 16384\n"
                     "[drive]\n"
                     "path = \\\\?\\ide#disk1\n"
                     "parent = PCIIDE\\IDECHANNEL\\1\n"
                     "address = 1\n"
                     "device-number = 3\n"
                     "trim = enabled\n"
                     "[drive]\n"
                     "device-number = refused\n"
                     "trim = refused\n"
                     "[device]\n"
                     "instance-id = PCI\\VEN_144D&DEV_A808\\4&1\n"
                     "parent = ACPI\\PNP0A08\\0\n"
                     "enumerator = PCI\n"
                     "address = 0x00170000\n"
                     "driver-desc = Standard NVM Express Controller\n"
                     "hardware-ids = PCI\\VEN_144D&DEV_A808&REV_00 PCI\\VEN_144D&DEV_A808\n"
                     "matching-id = PCI\\CC_010802\n"
                     "link = 4 4 3 2\n"
                     "[volume]\n"
                     "letter = c\n"
                     "extent = 0 1048576 500107862016\n"
                     "extent = 1 0 0x100000\n"
                     "opens = no\n"));
    EXPECT_EQ(machine.PageSize, 16384u);
    ASSERT_EQ(machine.Drives.size(), 2u);
    EXPECT_EQ(machine.Drives[0].Address, 1);
    EXPECT_EQ(machine.Drives[0].DeviceNumber, 3);
    EXPECT_FALSE(machine.Drives[0].DeviceNumberRefused);
    EXPECT_EQ(machine.Drives[0].Trim, sim::TrimState::Enabled);
    EXPECT_TRUE(machine.Drives[1].DeviceNumberRefused);
    EXPECT_EQ(machine.Drives[1].Trim, sim::TrimState::Refused);
    ASSERT_EQ(machine.Devices.size(), 1u);
    const sim::DeviceNode& n = machine.Devices[0];
    EXPECT_EQ(n.InstanceId, "PCI\\VEN_144D&DEV_A808\\4&1");
    EXPECT_EQ(n.Parent, "ACPI\\PNP0A08\\0");
    EXPECT_EQ(n.Enumerator, "PCI");
    EXPECT_EQ(n.Address, 0x00170000);
    EXPECT_EQ(n.DriverDesc, "Standard NVM Express Controller");
    EXPECT_EQ(n.HardwareIds, (std::vector<std::string>{"PCI\\VEN_144D&DEV_A808&REV_00", "PCI\\VEN_144D&DEV_A808"}));
    EXPECT_EQ(n.MatchingDeviceId, "PCI\\CC_010802");
    EXPECT_TRUE(n.PciExpress);
    EXPECT_EQ(n.MaxLinkSpeed, 4u);
    EXPECT_EQ(n.CurrentLinkWidth, 2u);
    ASSERT_EQ(machine.Volumes.size(), 1u);
    EXPECT_EQ(machine.Volumes[0].Letter, 'C');
    ASSERT_EQ(machine.Volumes[0].Extents.size(), 2u);
    EXPECT_EQ(machine.Volumes[0].Extents[0].Length, 500107862016ULL);
    EXPECT_EQ(machine.Volumes[0].Extents[1].DiskNumber, 1u);
    EXPECT_EQ(machine.Volumes[0].Extents[1].Length, 0x100000u);
    EXPECT_FALSE(machine.Volumes[0].Opens);
}

TEST_F(PlacementFile, BadLinesSayWhy) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"[device]\ncolour = red\n", ":2: unknown key colour"},
        {"[device]\naddress = -1\n", ":2: bad number -1"},
        {"[device]\nlink = 3 4\n", ":2: link is MAXSPEED MAXWIDTH CURRENTSPEED CURRENTWIDTH"},
        {"[volume]\nletter = CD\n", ":2: a letter is one of A to Z"},
        {"[volume]\nextent = 4294967296 0 1\n", ":2: bad number 4294967296"},
        {"[volume]\nextent = 0 0 99999999999999999999\n", ":2: bad number 99999999999999999999"},
        {"[drive]\ntrim = maybe\n", ":2: trim is enabled, disabled or refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_FALSE(Load(c.text));
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

// The built-in machine shows every kind of placement, scanned end to end.
TEST_F(Placement, TheDefaultMachineShowsWhereEachDriveHangs) {
    Install(sim::DefaultMachine());
    ScanDrives();
    ASSERT_EQ(DriveCount(), 9);
    const DriveRecord& hdd = DriveForCommands(0);
    EXPECT_EQ(hdd.HostAdapter, "Standard SATA AHCI Controller");
    EXPECT_EQ(hdd.HardwareID, "PCI\\VEN_8086&DEV_A282&SUBSYS_86941043&REV_00");
    EXPECT_FALSE(hdd.ChannelKnown);
    EXPECT_EQ(hdd.LogicalDrives, "D:");  // F: spans it and another disk
    EXPECT_FALSE(hdd.TRIM_Enabled);

    const DriveRecord& ssd = DriveForCommands(1);
    EXPECT_EQ(ssd.LogicalDrives, "G:");
    EXPECT_TRUE(ssd.TRIM_Enabled);

    const DriveRecord& pata = DriveForCommands(2);
    EXPECT_TRUE(pata.ChannelKnown);
    EXPECT_EQ(pata.DeviceAddress, 0);   // master
    EXPECT_EQ(pata.ChannelAddress, 0);  // on the primary channel
    EXPECT_EQ(pata.HostAdapter, "Standard Dual Channel PCI IDE Controller");
    EXPECT_EQ(pata.LogicalDrives, "H:");

    const DriveRecord& raid = DriveForCommands(3);
    EXPECT_EQ(raid.HostAdapter, "Silicon Image SiI 3132 SoftRaid 5 Controller");
    EXPECT_EQ(raid.LogicalDrives, "");  // only the spanned volume lies on it

    const DriveRecord& nvme = DriveForCommands(4);
    EXPECT_EQ(nvme.PCI_DeviceID, 0xA808);
    EXPECT_EQ(nvme.HostAdapter, "Standard NVM Express Controller");
    EXPECT_EQ(nvme.PCI_MaxLinkSpeed, 3);
    EXPECT_EQ(nvme.PCI_CurrentLinkWidth, 4);
    EXPECT_EQ(nvme.LogicalDrives, "C: E:");
    EXPECT_TRUE(nvme.TRIM_Enabled);
    EXPECT_EQ(nvme.PhysicalSectorSize, 512u);
    EXPECT_EQ(nvme.AvailableSize, 1953525168LL * 512);
    EXPECT_EQ(nvme.WarningTemperature, 85);
    EXPECT_EQ(nvme.ExtendedSelfTestTime, 10);
    EXPECT_TRUE(nvme.APST_Enabled);
    EXPECT_TRUE(nvme.WriteCacheEnabled);
    EXPECT_EQ(nvme.Log.find("IOCTL failed"), std::string::npos) << nvme.Log;

    const DriveRecord& usb = DriveForCommands(5);
    EXPECT_TRUE(usb.IsUSB);
    EXPECT_TRUE(usb.IsUAS);
    EXPECT_EQ(usb.HostAdapter, "JMicron JMS578 USB bridge (152D:0578, release 0209)");
    EXPECT_EQ(DriveForCommands(7).HostAdapter, "ASMedia ASM2362 USB bridge (174C:2362, release 0100)");
    EXPECT_EQ(DriveForCommands(7).PCI_MaxLinkWidth, 0) << "the USB controller's link is not the drive's";
    EXPECT_EQ(DriveForCommands(8).HostAdapter, "JMicron JM20337 USB bridge (152D:2338, release 0100)");
    EXPECT_EQ(DriveForCommands(8).LogicalDrives, "L:");
    EXPECT_EQ(usb.LogicalDrives, "I:");
    EXPECT_EQ(Drive(5).Requests[AccessMethod::SAT], Drive(5).RequestCount());

    for (unsigned i = 0; i < DriveCount(); ++i) {
        const std::string& log = DriveForCommands(i).Log;
        EXPECT_EQ(log.find("MaximumControllerSearchDepth"), std::string::npos) << i;
        EXPECT_EQ(log.find("HardwareIds failed"), std::string::npos) << i;
        EXPECT_EQ(log.find("device number"), std::string::npos) << i;
    }
    EXPECT_EQ(sim::OpenHandleCount(), 9u);  // the drives' handles only: every volume handle was closed
}

}  // namespace
