// The built-in machine: nine drives whose pages are written the way such drives fill them.
#include "platform/sim/PageBuilders.h"
#include "platform/sim/SimMachine.h"

namespace sim {
namespace {

const char* const DiskClass = "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
const char* const Storage2Class = "#{7fccc86c-228a-40ad-8a58-f590af7bfdce}";
const char* const AhciController = "PCI\\VEN_8086&DEV_A282&SUBSYS_86941043&REV_00\\3&11583659&0&B8";
const char* const IdeChannel = "PCIIDE\\IDECHANNEL\\4&1f4a5b2c&0&0";
const char* const IdeController = "PCI\\VEN_197B&DEV_2368&SUBSYS_2368197B&REV_00\\4&2b8e0f1&0&00E5";
const char* const RaidController = "PCI\\VEN_1095&DEV_3132&SUBSYS_71321095&REV_01\\4&3a1e0c5b&0&00E4";
const char* const NvmeHostController = "PCI\\VEN_144D&DEV_A808&SUBSYS_A801144D&REV_00\\4&1d8b6e1a&0&0008";
const char* const UasBridge = "USB\\VID_152D&PID_0578\\0123456789ABCDEF";
const char* const NvmeEnclosure = "USB\\VID_174C&PID_2362\\MSFT30A1B2C3D4E5F6";
const char* const OldEnclosure = "USB\\VID_152D&PID_2338\\000000000011";
const char* const RootHub = "USB\\ROOT_HUB30\\4&2a1b3c4d&0&0";
const char* const XhciController = "PCI\\VEN_8086&DEV_A2AF&SUBSYS_86941043&REV_00\\3&11583659&0&A0";
const char* const RootBus = "ACPI\\PNP0A08\\0";
constexpr uint64_t GB = 1000000000ULL, MiB = 1048576ULL;

// The SCT engine of a drive reporting these temperatures and limits (°C).
SctEngine Sct(int temperature, int lifetimeMax, int maxOperatingLimit, int overLimit) {
    SctEngine s;
    s.Present = true;
    s.Temperature = temperature;
    s.LifetimeMin = 12;
    s.LifetimeMax = lifetimeMax;
    s.MaxOperatingLimit = maxOperatingLimit;
    s.OverLimit = overLimit;
    return s;
}

// What every ATA drive here reports alike: its texts, the legacy geometry (16383 cylinders, 16
// heads, 63 sectors), and valid words 54-58, 64-70 and 88.
IdentifyPage AtaIdentity(uint16_t configuration, const char* serial, const char* firmware, const char* model) {
    IdentifyPage id;
    id.Word(0, configuration).Word(1, 16383).Word(3, 16).Word(6, 63).Word(53, 0x0007);
    id.Serial(serial).Firmware(firmware).Model(model);
    return id;
}

// The summary error log and the self-test log, both empty.
void AddErrorAndSelfTestLogs(Drive& d) {
    d.Logs[0x01] = std::vector<uint8_t>(512, 0);
    d.Logs[0x06] = std::vector<uint8_t>(512, 0);
}

// A 1 TB desktop hard disk on an AHCI port: 4 KiB physical sectors, NCQ, SCT, world wide name.
Drive SataHardDisk() {
    IdentifyPage id = AtaIdentity(0x427A, "WD-WCC6Y7KZ1462", "01.01A01", "WDC WD10EZEX-08WN4A0");
    id.Word(47, 0x8010).Word(49, 0x2F00).Word(59, 0x0110).Sectors28(0x0FFFFFFF);
    id.Word(63, 0x0407).Word(64, 0x0003).Word(75, 31);
    id.Word(76, 0x070E).Word(77, 0x0006).Word(78, 0x0044).Word(79, 0x0040);
    id.Word(80, 0x03F8).Word(81, 0x0028).Word(82, 0x746B).Word(83, 0x7E61).Word(84, 0x6163);
    id.Word(85, 0x7469).Word(86, 0xBC41).Word(87, 0x6163).Word(88, 0x407F).Word(89, 0x00B4).Word(94, 0x80FE);
    id.Sectors48(1953525168).Word(106, 0x6003).Word(108, 0x5001).Word(109, 0x4EE0).Word(110, 0x5D3A).Word(111, 0x91C4);
    id.Word(119, 0x4000).Word(120, 0x4000).Word(168, 0x0002).Word(206, 0x003D).Word(217, 7200).Word(222, 0x107F);
    const std::vector<Attribute> attributes = {
        {1, 0x002F, 200, 200, 0, 51},     {3, 0x0027, 175, 172, 2233, 21}, {4, 0x0032, 100, 100, 1342, 0},
        {5, 0x0033, 200, 200, 0, 140},    {7, 0x002E, 200, 200, 0, 0},     {9, 0x0032, 79, 79, 15762, 0},
        {10, 0x0032, 100, 100, 0, 0},     {11, 0x0032, 100, 100, 0, 0},    {12, 0x0032, 100, 100, 1330, 0},
        {192, 0x0032, 200, 200, 79, 0},   {193, 0x0032, 200, 200, 1520, 0}, {194, 0x0022, 108, 96, 35, 0},
        {196, 0x0032, 200, 200, 0, 0},    {197, 0x0032, 200, 200, 0, 0},   {198, 0x0030, 100, 253, 0, 0},
        {199, 0x0032, 200, 200, 0, 0},    {200, 0x0008, 100, 253, 0, 0},
    };
    Drive d;
    d.DevicePath = std::string("\\\\?\\scsi#disk&ven_wdc&prod_wd10ezex-08wn4a0#4&2a7b9d3c&0&000000") + DiskClass;
    d.Parent = AhciController;
    d.DeviceNumber = 1;
    d.Identify = id.Bytes();
    d.SmartData = SmartValuePage(attributes, {0x7B, 0x01, 2, 112});
    d.Aging.SecondsPerPowerOnUnit = 3600;  // attribute 9 counts hours
    d.Aging.SecondsPerDegree = 600;  // still warming up: a degree every ten minutes, up to 41 °C
    d.Aging.WarmsTo = 41;
    d.Sct = Sct(35, 47, 60, 85);
    d.SmartThresholds = SmartThresholdPage(attributes);
    AddErrorAndSelfTestLogs(d);
    d.Logs[0x30] = IdentifyDataLog(0x8000000004000000ULL, 0);  // 64 MiB buffer
    d.Logs[0x80] = std::vector<uint8_t>(512, 0);
    d.Methods = {AccessMethod::ATA, AccessMethod::OLD, AccessMethod::SAT};
    return d;
}

// A 500 GB SATA SSD with TRIM and device sleep; its driver lists it under both interface classes.
Drive SataSsd() {
    IdentifyPage id = AtaIdentity(0x0040, "S3Z2NB0K812345A", "RVT04B6Q", "Samsung SSD 860 EVO 500GB");
    id.Word(47, 0x8001).Word(49, 0x2F00).Word(59, 0x5101).Sectors28(0x0FFFFFFF);
    id.Word(63, 0x0407).Word(64, 0x0003).Word(75, 31);
    id.Word(76, 0x170E).Word(77, 0x0006).Word(78, 0x0144).Word(79, 0x0144);
    id.Word(80, 0x0FF8).Word(81, 0x0039).Word(82, 0x746B).Word(83, 0x7D09).Word(84, 0x6163);
    id.Word(85, 0x7469).Word(86, 0xBC01).Word(87, 0x6163).Word(88, 0x407F).Word(89, 0x0001);
    id.Sectors48(976773168).Word(106, 0x4000).Word(108, 0x5002).Word(109, 0x5385).Word(110, 0x7015).Word(111, 0x2A1B);
    id.Word(119, 0x4000).Word(120, 0x4000).Word(168, 0x0003).Word(169, 0x0001).Word(206, 0x003D);
    id.Word(217, 0x0001).Word(222, 0x10FF);
    const std::vector<Attribute> attributes = {
        {5, 0x0033, 100, 100, 0, 10},       {9, 0x0032, 99, 99, 2150, 0},     {12, 0x0032, 99, 99, 418, 0},
        {177, 0x0013, 99, 99, 12, 0},       {179, 0x0013, 100, 100, 0, 10},   {181, 0x0032, 100, 100, 0, 10},
        {182, 0x0032, 100, 100, 0, 10},     {183, 0x0013, 100, 100, 0, 10},   {187, 0x0032, 100, 100, 0, 0},
        {190, 0x0032, 68, 53, 32, 0},       {195, 0x001A, 200, 200, 0, 0},    {199, 0x003E, 100, 100, 0, 0},
        {235, 0x0012, 99, 99, 301, 0},      {241, 0x0032, 99, 99, 8372351902ULL, 0},
    };
    Drive d;
    const std::string base = "\\\\?\\scsi#disk&ven_samsung&prod_ssd_860_evo_500g#4&2a7b9d3c&0&010000";
    d.DevicePath = base + DiskClass;
    d.Storage2Path = base + Storage2Class;
    d.InStorage2Class = true;
    d.Parent = AhciController;
    d.DeviceNumber = 2;
    d.Trim = TrimState::Enabled;
    d.Identify = id.Bytes();
    d.SmartData = SmartValuePage(attributes, {0x53, 0x01, 2, 85});
    d.Aging.SecondsPerPowerOnUnit = 3600;  // attribute 9 counts hours
    d.Sct = Sct(32, 47, 70, 70);
    d.SmartThresholds = SmartThresholdPage(attributes);
    AddErrorAndSelfTestLogs(d);
    d.Logs[0x30] = IdentifyDataLog(0, 0);
    d.Methods = {AccessMethod::ATA, AccessMethod::OLD, AccessMethod::SAT};
    return d;
}

// A 1 TB SATA SSD on a SanDisk controller, whose attribute layout names its controller and family.
Drive SanDiskControllerSsd() {
    IdentifyPage id = AtaIdentity(0x0040, "22471T800123", "52008100", "WD Blue SA510 2.5 1000GB");
    id.Word(47, 0x8001).Word(49, 0x2F00).Word(59, 0x5101).Sectors28(0x0FFFFFFF);
    id.Word(63, 0x0407).Word(64, 0x0003).Word(75, 31);
    id.Word(76, 0x170E).Word(77, 0x0006).Word(78, 0x0144).Word(79, 0x0040);
    id.Word(80, 0x0FF8).Word(81, 0x0039).Word(82, 0x746B).Word(83, 0x7D09).Word(84, 0x6163);
    id.Word(85, 0x7469).Word(86, 0xBC01).Word(87, 0x6163).Word(88, 0x407F).Word(89, 0x0001);
    id.Sectors48(1953525168).Word(106, 0x4000).Word(108, 0x5001).Word(109, 0xB448).Word(110, 0x1F3A).Word(111, 0x6E02);
    id.Word(119, 0x4000).Word(120, 0x4000).Word(168, 0x0003).Word(169, 0x0001);
    id.Word(217, 0x0001).Word(222, 0x10FF);
    const std::vector<Attribute> attributes = {
        {5, 0x0032, 100, 100, 0, 0},      {9, 0x0032, 100, 100, 3150, 0},  {12, 0x0032, 100, 100, 211, 0},
        {165, 0x0032, 100, 100, 26, 0},   {166, 0x0032, 100, 100, 1, 0},   {167, 0x0032, 100, 100, 14, 0},
        {168, 0x0032, 100, 100, 26, 0},   {169, 0x0032, 100, 100, 161, 0}, {170, 0x0032, 100, 100, 0, 0},
        {171, 0x0032, 100, 100, 0, 0},    {172, 0x0032, 100, 100, 0, 0},   {173, 0x0032, 100, 100, 10, 0},
        {174, 0x0032, 100, 100, 58, 0},   {184, 0x0032, 100, 100, 0, 0},   {187, 0x0032, 100, 100, 0, 0},
        {188, 0x0032, 100, 100, 0, 0},    {194, 0x0022, 64, 49, 0x0031001F0024ULL, 0},
        {199, 0x0032, 100, 100, 0, 0},    {230, 0x0032, 100, 100, 0x00D4010A0125ULL, 0},
        {232, 0x0033, 100, 100, 100, 4},  {233, 0x0032, 100, 100, 6212, 0}, {234, 0x0032, 100, 100, 9518, 0},
        {241, 0x0030, 253, 253, 8801, 0}, {242, 0x0030, 253, 253, 9903, 0}, {244, 0x0032, 0, 100, 0, 0},
    };
    Drive d;
    d.DevicePath = std::string("\\\\?\\scsi#disk&ven_wd&prod_blue_sa510_2.5_1#4&2a7b9d3c&0&020000") + DiskClass;
    d.Parent = AhciController;
    d.DeviceNumber = 6;
    d.Trim = TrimState::Enabled;
    d.Identify = id.Bytes();
    d.SmartData = SmartValuePage(attributes, {0x51, 0x00, 2, 10});
    d.Aging.SecondsPerPowerOnUnit = 3600;
    d.SmartThresholds = SmartThresholdPage(attributes);
    AddErrorAndSelfTestLogs(d);
    d.Logs[0x30] = IdentifyDataLog(0, 0);
    d.Methods = {AccessMethod::ATA, AccessMethod::OLD, AccessMethod::SAT};
    return d;
}

// An 80 GB parallel-ATA disk, master on the primary channel: 28-bit addressing, UDMA 5, AAM.
Drive ParallelDisk() {
    IdentifyPage id = AtaIdentity(0x0040, "Y2B6W1KE", "YAR41BW0", "Maxtor 6Y080L0");
    id.Word(47, 0x8010).Word(49, 0x0F00).Sectors28(160086528);
    id.Word(63, 0x0007).Word(64, 0x0003).Word(80, 0x007E).Word(81, 0x001A);
    id.Word(82, 0x7C69).Word(83, 0x7B09).Word(84, 0x4000).Word(85, 0x7C69).Word(86, 0x3A01).Word(87, 0x4000);
    id.Word(88, 0x203F).Word(94, 0x80FE).Word(21, 4096);
    const std::vector<Attribute> attributes = {
        {3, 0x0027, 213, 208, 6034, 63},   {4, 0x0032, 253, 253, 1108, 0},  {5, 0x0033, 253, 253, 0, 63},
        {6, 0x0002, 253, 253, 0, 100},     {7, 0x000A, 253, 252, 0, 0},     {8, 0x0027, 245, 230, 51871, 187},
        {9, 0x0032, 207, 207, 29911, 0},   {10, 0x002B, 253, 252, 0, 157},  {11, 0x002B, 253, 252, 0, 223},
        {12, 0x0032, 252, 252, 1262, 0},   {192, 0x0032, 253, 253, 0, 0},   {193, 0x0032, 253, 253, 0, 0},
        {194, 0x0032, 253, 253, 38, 0},    {195, 0x000A, 253, 252, 2461, 0}, {196, 0x0008, 253, 253, 0, 0},
        {197, 0x0008, 253, 253, 0, 0},     {198, 0x0008, 253, 253, 0, 0},   {199, 0x0008, 199, 199, 0, 0},
        {200, 0x000A, 253, 252, 0, 0},     {201, 0x000A, 253, 252, 0, 0},   {202, 0x000A, 253, 252, 0, 0},
    };
    Drive d;
    d.DevicePath = std::string("\\\\?\\ide#diskmaxtor_6y080l0________________________yar41bw0#5&2f3e4a6b&0&0.0.0") +
                   DiskClass;
    d.Parent = IdeChannel;
    d.Address = 0;  // master
    d.DeviceNumber = 3;
    d.Identify = id.Bytes();
    d.SmartData = SmartValuePage(attributes, {0x5B, 0x03, 2, 39});
    d.Aging.SecondsPerPowerOnUnit = 60;  // this family counts power-on minutes
    d.SmartThresholds = SmartThresholdPage(attributes);
    AddErrorAndSelfTestLogs(d);
    d.Methods = {AccessMethod::ATA, AccessMethod::IDE, AccessMethod::OLD};
    return d;
}

// A 160 GB SATA disk behind a RAID driver that passes only the legacy S.M.A.R.T. requests.
Drive LegacyOnlyDisk() {
    IdentifyPage id = AtaIdentity(0x0C5A, "9RA3F8XK", "3.AAD", "ST3160815AS");
    id.Word(47, 0x8010).Word(49, 0x2F00).Sectors28(0x0FFFFFFF).Word(75, 31);
    id.Word(63, 0x0007).Word(64, 0x0003).Word(76, 0x0506).Word(80, 0x00FE).Word(81, 0x0000);
    id.Word(82, 0x346B).Word(83, 0x7D01).Word(84, 0x4023).Word(85, 0x3469).Word(86, 0x3C01).Word(87, 0x4023);
    id.Word(88, 0x407F).Sectors48(312581808).Word(222, 0x101F);
    const std::vector<Attribute> attributes = {
        {1, 0x000F, 117, 99, 137554112, 6},  {3, 0x0003, 97, 97, 0, 0},       {4, 0x0032, 100, 100, 224, 20},
        {5, 0x0033, 100, 100, 0, 36},        {7, 0x000F, 85, 60, 358190522, 30}, {9, 0x0032, 71, 71, 25847, 0},
        {10, 0x0013, 100, 100, 0, 97},       {12, 0x0032, 100, 100, 231, 20}, {187, 0x0032, 100, 100, 0, 0},
        {189, 0x003A, 100, 100, 0, 0},       {190, 0x0022, 63, 55, 0x25220025, 45}, {194, 0x0022, 37, 45, 37, 0},
        {195, 0x001A, 58, 53, 137554112, 0}, {197, 0x0012, 100, 100, 0, 0},   {198, 0x0010, 100, 100, 0, 0},
        {199, 0x003E, 200, 200, 0, 0},       {200, 0x0000, 100, 253, 0, 0},   {202, 0x0032, 100, 253, 0, 0},
    };
    Drive d;
    d.DevicePath = std::string("\\\\?\\scsi#disk&ven_st316081&prod_5as#5&1b2c3d4e&0&000100") + DiskClass;
    d.Parent = RaidController;
    d.DeviceNumber = 4;
    d.Identify = id.Bytes();
    d.SmartData = SmartValuePage(attributes, {0x5B, 0x01, 1, 54});
    d.Aging.SecondsPerPowerOnUnit = 3600;  // attribute 9 counts hours
    d.SmartThresholds = SmartThresholdPage(attributes);
    d.Logs[0x01] = std::vector<uint8_t>(512, 0);
    d.Methods = {AccessMethod::OLD};
    return d;
}

// A 1 TB NVMe SSD with DRAM (no host memory buffer), autonomous power state transitions and TRIM.
Drive NvmeSsd() {
    NvmeController c;
    c.vendorId = c.subsystemVendorId = 0x144D;
    c.serial = "S4EWNX0R123456K";
    c.model = "Samsung SSD 970 EVO Plus 1TB";
    c.firmware = "2B2QEXM7";
    c.ieeeOui[0] = 0x38;  // 00-25-38, least significant byte first
    c.ieeeOui[1] = 0x25;
    c.version = 0x00010300;
    c.apsta = 1;
    c.warningKelvin = 358;
    c.criticalKelvin = 358;
    c.optionalNvmCommands = 0x005F;
    c.volatileWriteCache = 1;
    c.powerStates = 4;
    c.maxPowerCentiwatts = 754;
    c.extendedSelfTestMinutes = 10;
    NvmeHealth h;
    h.temperatureKelvin = 311;
    h.percentageUsed = 2;
    h.dataUnitsRead = 31536448;
    h.dataUnitsWritten = 29714553;
    h.powerCycles = 512;
    h.powerOnHours = 2104;
    h.unsafeShutdowns = 41;
    h.errorLogEntries = 1023;
    Drive d;
    d.DevicePath = std::string("\\\\?\\scsi#disk&ven_nvme&prod_samsung_ssd_970#5&2c1e4f0&0&000000") + DiskClass;
    d.Parent = NvmeHostController;
    d.DeviceNumber = 0;
    d.Trim = TrimState::Enabled;
    d.NvmeIdentifyController = NvmeIdentifyControllerPage(c);
    d.NvmeNamespaces[1] = NvmeIdentifyNamespacePage(1953525168, {9}, 0);
    d.NvmeLogs[0x02] = NvmeHealthLogPage(h);
    d.Aging.SecondsPerPowerOnUnit = 3600;
    d.NvmeLogs[0x06] = std::vector<uint8_t>(564, 0);
    d.NvmeFeatures = {{0x01, 0x00000003}, {0x02, 0x00000000}, {0x04, 0x0000016B}, {0x06, 0x00000001},
                      {0x07, 0x007F007F}, {0x08, 0x00000000}, {0x09, 0x00000000}, {0x0A, 0x00000000},
                      {0x0B, 0x0000011F}, {0x0C, 0x00000001}, {0x0D, 0x00000000}};
    d.NvmeFeatureData[0x0D] = std::vector<uint8_t>(16, 0);  // host memory buffer attributes: none
    d.Methods = {AccessMethod::NVMe};
    return d;
}

// A 2 TB portable disk behind a USB Attached SCSI bridge that passes ATA commands only inside SCSI
// commands.
Drive UsbBridgedDisk() {
    IdentifyPage id = AtaIdentity(0x0040, "WD-WX21A98K7T4C", "01.01A01", "WDC WD20SPZX-22UA7T0");
    id.Word(47, 0x8010).Word(49, 0x2F00).Word(59, 0x0110).Sectors28(0x0FFFFFFF).Word(75, 31);
    id.Word(76, 0x070E).Word(77, 0x0006).Word(78, 0x004C).Word(79, 0x0040);
    id.Word(80, 0x07F8).Word(81, 0x006D).Word(82, 0x746B).Word(83, 0x7D69).Word(84, 0x6163);
    id.Word(85, 0x7469).Word(86, 0xBC49).Word(87, 0x6163).Word(88, 0x407F).Word(91, 0x0080);
    id.Sectors48(3907029168ULL).Word(106, 0x6003).Word(108, 0x5001).Word(109, 0x4EE0).Word(110, 0x6C21).Word(111, 0x0A9B);
    id.Word(119, 0x4000).Word(120, 0x4000).Word(168, 0x0003).Word(206, 0x003D).Word(217, 5400).Word(222, 0x10FF);
    const std::vector<Attribute> attributes = {
        {1, 0x002F, 200, 200, 0, 51},   {3, 0x0027, 189, 187, 3508, 21}, {4, 0x0032, 100, 100, 412, 0},
        {5, 0x0033, 200, 200, 0, 140},  {7, 0x002E, 100, 253, 0, 0},     {9, 0x0032, 98, 98, 1820, 0},
        {10, 0x0032, 100, 100, 0, 0},   {11, 0x0032, 100, 100, 0, 0},    {12, 0x0032, 100, 100, 403, 0},
        {191, 0x0032, 100, 100, 3, 0},  {192, 0x0032, 200, 200, 51, 0},  {193, 0x0032, 199, 199, 3712, 0},
        {194, 0x0022, 113, 99, 34, 0},  {196, 0x0032, 200, 200, 0, 0},   {197, 0x0032, 200, 200, 0, 0},
        {198, 0x0030, 100, 253, 0, 0},  {199, 0x0032, 200, 200, 0, 0},   {200, 0x0008, 100, 253, 0, 0},
    };
    Drive d;
    d.DevicePath = std::string("\\\\?\\scsi#disk&ven_wd&prod_wd20spzx-22ua7t0#6&1f2e3d4c&0&000000") + DiskClass;
    d.Parent = UasBridge;
    d.DeviceNumber = 5;
    d.Identify = id.Bytes();
    d.SmartData = SmartValuePage(attributes, {0x7B, 0x01, 2, 255});
    d.Aging.SecondsPerPowerOnUnit = 3600;  // attribute 9 counts hours
    d.Sct = Sct(34, 48, 60, 85);
    d.SmartThresholds = SmartThresholdPage(attributes);
    AddErrorAndSelfTestLogs(d);
    d.Logs[0x30] = IdentifyDataLog(0x8000000001000000ULL, 0);  // 16 MiB buffer
    d.Methods = {AccessMethod::SAT};
    return d;
}

// A 1 TB NVMe SSD in a portable enclosure on an ASMedia bridge, which tunnels Identify and log pages.
Drive NvmeInEnclosure() {
    NvmeController c;
    c.vendorId = c.subsystemVendorId = 0xC0A9;
    c.serial = "2241E6A1B2C3";
    c.model = "CT1000P3SSD8";
    c.firmware = "P9CR30A";
    c.ieeeOui[0] = 0x75;  // 00-A0-75, least significant byte first
    c.ieeeOui[1] = 0xA0;
    c.version = 0x00010400;
    c.warningKelvin = 343;
    c.criticalKelvin = 358;
    c.powerStates = 5;
    c.maxPowerCentiwatts = 600;
    c.extendedSelfTestMinutes = 20;
    NvmeHealth h;
    h.temperatureKelvin = 313;
    h.percentageUsed = 1;
    h.dataUnitsRead = 2251799;
    h.dataUnitsWritten = 1875432;
    h.powerCycles = 97;
    h.powerOnHours = 412;
    h.unsafeShutdowns = 12;
    Drive d;
    d.DevicePath = std::string("\\\\?\\scsi#disk&ven_asmt&prod_2362#8&3a4b5c6d&0&000000") + DiskClass;
    d.Parent = NvmeEnclosure;
    d.DeviceNumber = 7;
    d.NvmeIdentifyController = NvmeIdentifyControllerPage(c);
    d.NvmeNamespaces[1] = NvmeIdentifyNamespacePage(1953525168, {9}, 0);
    d.NvmeLogs[0x02] = NvmeHealthLogPage(h);
    d.NvmeLogs[0x06] = std::vector<uint8_t>(564, 0);
    d.Aging.SecondsPerPowerOnUnit = 3600;
    d.Methods = {AccessMethod::SAT};
    d.Bridge = AccessMethod::ASMedia;
    return d;
}

// A 500 GB laptop disk in an older enclosure on a JMicron bridge that does not speak SAT.
Drive DiskInOldEnclosure() {
    IdentifyPage id = AtaIdentity(0x0C5A, "5VE1ABCD", "0002SDM1", "ST9500325AS");
    id.Word(47, 0x8010).Word(49, 0x2F00).Word(59, 0x0110).Sectors28(0x0FFFFFFF).Word(75, 31);
    id.Word(76, 0x050E).Word(78, 0x0048).Word(80, 0x00FE).Word(81, 0x0000).Word(82, 0x306B);
    id.Word(83, 0x7D09).Word(84, 0x4123).Word(85, 0x3069).Word(86, 0xBC09).Word(87, 0x4123).Word(88, 0x407F);
    id.Word(91, 0x0080).Sectors48(976773168ULL).Word(119, 0x4000).Word(120, 0x4000).Word(217, 5400);
    const std::vector<Attribute> attributes = {
        {1, 0x000F, 114, 99, 81465038, 6},   {3, 0x0003, 99, 99, 0, 0},        {4, 0x0032, 98, 98, 2412, 20},
        {5, 0x0033, 100, 100, 0, 36},        {7, 0x000F, 80, 60, 101374551, 30}, {9, 0x0032, 91, 91, 8132, 0},
        {10, 0x0013, 100, 100, 0, 97},       {12, 0x0032, 98, 98, 2398, 20},   {187, 0x0032, 100, 100, 0, 0},
        {189, 0x003A, 100, 100, 0, 0},       {190, 0x0022, 64, 52, 0x2A1D0024, 45}, {191, 0x0032, 100, 100, 14, 0},
        {192, 0x0032, 100, 100, 201, 0},     {193, 0x0032, 71, 71, 59210, 0},  {194, 0x0022, 36, 48, 0x003000120024ULL, 0},
        {195, 0x001A, 49, 44, 81465038, 0},  {197, 0x0012, 100, 100, 0, 0},    {198, 0x0010, 100, 100, 0, 0},
        {199, 0x003E, 200, 200, 0, 0},
    };
    Drive d;
    d.DevicePath = std::string("\\\\?\\scsi#disk&ven_st950032&prod_5as#8&1b2c3d4e&0&000000") + DiskClass;
    d.Parent = OldEnclosure;
    d.DeviceNumber = 8;
    d.Identify = id.Bytes();
    d.SmartData = SmartValuePage(attributes, {0x82, 0x00, 1, 96});
    d.Aging.SecondsPerPowerOnUnit = 3600;
    d.SmartThresholds = SmartThresholdPage(attributes);
    AddErrorAndSelfTestLogs(d);
    d.Methods = {AccessMethod::SAT};
    d.Bridge = AccessMethod::JMicron;
    return d;
}

DeviceNode PciDevice(const std::string& instanceId, const std::string& driverDesc, int address) {
    DeviceNode n;
    n.InstanceId = instanceId;
    n.Parent = RootBus;
    n.Enumerator = "PCI";
    n.Address = address;
    n.DriverDesc = driverDesc;
    // The identifier without its instance part, then the same without the revision.
    const std::string id = instanceId.substr(0, instanceId.rfind('\\'));
    n.HardwareIds = {id, id.substr(0, id.rfind('&'))};
    return n;
}

DeviceNode ChildDevice(const std::string& instanceId, const std::string& parent, const std::string& enumerator,
                       int address, const std::string& driverDesc, const std::string& matchingId) {
    DeviceNode n;
    n.InstanceId = instanceId;
    n.Parent = parent;
    n.Enumerator = enumerator;
    n.Address = address;
    n.DriverDesc = driverDesc;
    n.HardwareIds = {instanceId.substr(0, instanceId.rfind('\\'))};
    n.MatchingDeviceId = matchingId;
    return n;
}

// A USB device's hardware identifiers as Windows lists them: with the device's release first.
DeviceNode UsbDevice(DeviceNode n, const std::string& release) {
    n.HardwareIds.insert(n.HardwareIds.begin(), n.HardwareIds.front() + "&REV_" + release);
    return n;
}

// The controllers the drives hang from, up to the PCI root bus; the NVMe controller sits in a
// PCIe 3.0 x4 slot.
std::vector<DeviceNode> DeviceTree() {
    DeviceNode root;
    root.InstanceId = RootBus;
    root.Enumerator = "ACPI";
    root.DriverDesc = "PCI Express Root Complex";
    root.HardwareIds = {"ACPI\\PNP0A08", "*PNP0A08"};
    DeviceNode nvme = PciDevice(NvmeHostController, "Standard NVM Express Controller", 0x00010000);
    nvme.PciExpress = true;
    nvme.MaxLinkSpeed = nvme.CurrentLinkSpeed = 3;  // 8 GT/s
    nvme.MaxLinkWidth = nvme.CurrentLinkWidth = 4;
    return {root,
            PciDevice(AhciController, "Standard SATA AHCI Controller", 0x00170000),
            PciDevice(IdeController, "Standard Dual Channel PCI IDE Controller", 0x00000000),
            ChildDevice(IdeChannel, IdeController, "PCIIDE", 0, "ATA Channel 0", "Internal_IDE_Channel"),
            PciDevice(RaidController, "Silicon Image SiI 3132 SoftRaid 5 Controller", 0x00000000),
            nvme,
            PciDevice(XhciController, "Intel(R) USB 3.0 eXtensible Host Controller - 1.0 (Microsoft)", 0x00140000),
            ChildDevice(RootHub, XhciController, "USB", 0, "USB Root Hub (USB 3.0)", "USB\\ROOT_HUB30"),
            UsbDevice(ChildDevice(UasBridge, RootHub, "USB", 4, "USB Attached SCSI (UAS) Mass Storage Device",
                                  "USB\\Class_08&SubClass_06&Prot_62"),
                      "0209"),
            UsbDevice(ChildDevice(NvmeEnclosure, RootHub, "USB", 2, "USB Attached SCSI (UAS) Mass Storage Device",
                                  "USB\\Class_08&SubClass_06&Prot_62"),
                      "0100"),
            UsbDevice(ChildDevice(OldEnclosure, RootHub, "USB", 3, "USB Mass Storage Device",
                                  "USB\\Class_08&SubClass_06&Prot_50"),
                      "0100")};
}

Volume VolumeOn(char letter, std::vector<DiskExtent> extents) {
    Volume v;
    v.Letter = letter;
    v.Extents = std::move(extents);
    return v;
}

// Windows on the NVMe disk (C:) beside a data partition (E:); F: is spanned over the hard disk and
// the RAID-attached disk; R: is an optical drive with no disc.
std::vector<Volume> Volumes() {
    return {VolumeOn('C', {{0, 240 * MiB, 900 * GB}}),
            VolumeOn('D', {{1, 1 * MiB, 600 * GB}}),
            VolumeOn('E', {{0, 240 * MiB + 900 * GB, 99 * GB}}),
            VolumeOn('F', {{1, 600 * GB + 2 * MiB, 400 * GB}, {4, 1 * MiB, 160 * GB}}),
            VolumeOn('G', {{2, 1 * MiB, 500 * GB}}),
            VolumeOn('H', {{3, 32256, 80 * GB}}),
            VolumeOn('I', {{5, 1 * MiB, 2000 * GB}}),
            VolumeOn('J', {{6, 1 * MiB, 1000 * GB}}),
            VolumeOn('K', {{7, 1 * MiB, 1000 * GB}}),
            VolumeOn('L', {{8, 1 * MiB, 500 * GB}}),
            VolumeOn('R', {})};
}

}  // namespace

Machine DefaultMachine() {
    Machine m;
    m.Drives = {SataHardDisk(), SataSsd(),       ParallelDisk(),         LegacyOnlyDisk(),
                NvmeSsd(),      UsbBridgedDisk(), SanDiskControllerSsd(), NvmeInEnclosure(), DiskInOldEnclosure()};
    m.Devices = DeviceTree();
    m.Volumes = Volumes();
    return m;
}

Machine DefaultMachineDay() {
    Machine m = DefaultMachine();
    auto at = [&m](size_t drive, uint64_t minute, EventKind kind, uint32_t value = 0) {
        m.Drives[drive].Events.push_back({minute * 60000, kind, value, false});
    };
    at(0, 30, EventKind::Remap, 1);
    at(0, 45, EventKind::Remap, 2);
    at(1, 90, EventKind::Sleep);
    at(1, 150, EventKind::Wake);
    at(5, 200, EventKind::Temperature, 61);
    at(6, 300, EventKind::ChecksumError);
    at(3, 400, EventKind::StopAnswering);
    m.SystemEvents = {{420 * 60000, SystemEventKind::Suspend}, {450 * 60000, SystemEventKind::Resume}};
    m.ExpectedAlerts = {{30 * 60000, 0, "remap"}, {45 * 60000, 0, "remap"}, {200 * 60000, 5, "temperature"},
                        {400 * 60000, 3, "lost"}};
    return m;
}

}  // namespace sim
