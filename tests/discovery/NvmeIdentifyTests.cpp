// NVMe identification: the Identify Controller fields, the PCI device identifier taken from the
// parent's instance identifier, Identify Namespace and its LBA formats, and the Get Features the
// scan sends, all against a simulated NVMe drive.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "discovery/NvmeIdentify.h"
#include "device/TIOCTL.h"

using M = AccessMethod;

namespace {

const char* const NvmeParent = "PCI\\VEN_144D&DEV_A808&SUBSYS_A801144D&REV_00\\4&1d8b6e1a&0&0008";

class NvmeIdentification : public MachineTest {
protected:
    // A controller with none of the optional features, one namespace of 512-byte blocks, and an
    // answer to every Get Features.
    void SetUp() override {
        MachineTest::SetUp();
        sim::NvmeController c;
        c.vendorId = 0x144D;
        c.serial = "  S4EWNX0R123456K";
        c.model = "Samsung SSD 970 EVO Plus 1TB";
        c.firmware = "2B2QEXM7";
        c.ieeeOui[0] = 0x38;
        c.ieeeOui[1] = 0x25;
        c.version = 0x00010400;
        c.optionalAdminCommands = 0;
        page = sim::NvmeIdentifyControllerPage(c);
        namespaces[1] = sim::NvmeIdentifyNamespacePage(1000, {9}, 0);
        for (uint8_t fid = 0x01; fid <= 0x15; ++fid) features[fid] = 0;
    }

    DriveRecord Interpret(const std::string& parent = NvmeParent) {
        sim::Machine m;
        sim::Drive d;
        d.DevicePath = "\\\\?\\scsi#disk&ven_nvme&prod_test#5&1&0&000000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
        d.Parent = parent;
        d.NvmeIdentifyController = page;
        d.NvmeNamespaces = namespaces;
        d.NvmeFeatures = features;
        d.NvmeFeatureData = featureData;
        d.Methods = {M::NVMe};
        m.Drives = {d};
        m.PageSize = pageSize;
        Install(std::move(m));
        DriveRecord record = testmachine::OpenRecord(0, false, true);
        std::copy(page.begin(), page.end(), record.NVMeIdentifyController);
        InterpretNVMeIdentify(record, parent);
        return record;
    }

    // The Get Features identifiers the drive was asked for through its NVMe queries, in order.
    std::vector<int> FeaturesAsked() {
        std::vector<int> asked;
        for (const sim::Request& r : Drive(0).History)
            if (r.method == M::NVMe && r.taskFile.Command == ATA_SET_FEATURES) asked.push_back(r.taskFile.Features);
        return asked;
    }
    bool NamespaceAsked() {
        for (const sim::Request& r : Drive(0).History)
            if (r.taskFile.Command == ATA_IDENTIFY_DEVICE && r.taskFile.SectorCount == 0) return true;
        return false;
    }

    std::vector<uint8_t> page;
    std::map<uint32_t, std::vector<uint8_t>> namespaces;
    std::map<uint8_t, uint32_t> features;
    std::map<uint8_t, std::vector<uint8_t>> featureData;
    uint32_t pageSize = 4096;
};

TEST_F(NvmeIdentification, IdentityTextsAndVersion) {
    const DriveRecord d = Interpret();
    EXPECT_EQ(d.Model, "Samsung SSD 970 EVO Plus 1TB");
    EXPECT_EQ(d.SerialNumber, "S4EWNX0R123456K");  // blanks trimmed at both ends, no byte swapping
    EXPECT_EQ(d.FirmwareVersion, "2B2QEXM7");
    EXPECT_EQ(d.PCI_VendorID, 0x144D);
    EXPECT_EQ(d.OUI, 0x002538u);  // 00-25-38, stored least significant byte first
    EXPECT_EQ(d.NVMe_version, 0x00010400u);
    EXPECT_EQ(d.Log, "");  // 1.4.0 is known

    Put32(page.data(), 80, 0x00020000);  // 2.0.0, the newest known
    EXPECT_EQ(Interpret().Log, "");
    Put32(page.data(), 80, 0x00020100);  // 2.1.0
    EXPECT_EQ(Interpret().Log, "DEBUG - Unknown NVMe_version - 131328");
}

TEST_F(NvmeIdentification, PciDeviceIdComesFromTheFourCharactersAfterDev) {
    const struct {
        const char* parent;
        uint16_t id;
    } cases[] = {
        {NvmeParent, 0xA808},
        {"PCI\\VEN_8086&DEV_f1a8", 0xF1A8},          // at the very end, lower-case digits
        {"PCI\\VEN_1987&DEV_5012345", 0x5012},       // only four characters count
        {"PCI\\VEN_1987&DEV_50", 0x50},              // fewer than four: nothing read past the end
        {"PCI\\VEN_1987&DEV_5G12&SUBSYS_0", 0x5},    // stops at the first non-digit
        {"PCI\\VEN_1987&DEV_", 0},
        {"PCI\\VEN_1987&dev_5012", 0},               // the search is case-sensitive
        {"PCI\\VEN_1987&DEV_0000", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parent);
        const DriveRecord d = Interpret(c.parent);
        EXPECT_EQ(d.PCI_DeviceID, c.id);
        EXPECT_EQ(d.Log, c.id ? "" : std::string("DEBUG - Get PCI_DeviceID failed - ") + c.parent);
    }
}

TEST_F(NvmeIdentification, MaximumPowerOfTheFirstPowerState) {
    const struct {
        uint16_t mp;
        bool scaled;
        uint8_t watts;
        const char* log;
    } cases[] = {
        {900, false, 9, ""},
        {2500, true, 0, "DEBUG - MaxPower = 0"},  // 0.25 W
        {35000, true, 3, ""},
        {65535, false, 255, ""},  // 655 W does not fit the byte: kept at its largest value
        {0, false, 0, ""},        // not reported: nothing said
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mp);
        Put16(page.data(), 2048, c.mp);
        page[2051] = c.scaled ? 0x01 : 0x00;
        const DriveRecord d = Interpret();
        EXPECT_EQ(d.MaxPower, c.watts);
        EXPECT_EQ(d.Log, c.log);
    }
}

TEST_F(NvmeIdentification, TemperatureLimitsInKelvin) {
    const struct {
        uint16_t kelvin;
        uint8_t celsius;
    } cases[] = {{343, 70}, {273, 0}, {394, 121}, {395, 122}, {528, 255}, {529, 0}, {272, 0}, {600, 0}, {0, 0}};
    // Limits keep the whole byte range; only a measured temperature stops at 121 °C.
    Put16(page.data(), 322, 1);  // HCTMA
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kelvin);
        Put16(page.data(), 266, c.kelvin);
        Put16(page.data(), 268, c.kelvin);
        features[0x10] = static_cast<uint32_t>(c.kelvin) << 16 | c.kelvin;
        const DriveRecord d = Interpret();
        EXPECT_EQ(d.WarningTemperature, c.celsius);
        EXPECT_EQ(d.CriticalTemperature, c.celsius);
        EXPECT_EQ(d.HCTM_TMT1, c.celsius);
        EXPECT_EQ(d.HCTM_TMT2, c.celsius);
    }
    Put16(page.data(), 322, 0);
    Put16(page.data(), 266, 358);
    EXPECT_EQ(Interpret().TemperatureLimit, 85);  // computed from the warning limit just read
}

TEST_F(NvmeIdentification, CapabilitiesFromTheControllerData) {
    const DriveRecord none = Interpret();
    EXPECT_FALSE(none.SecuritySupport || none.DownloadMicrocode || none.SelfTestSupport || none.SanitizeSupport ||
                 none.PowerManagementSupport || none.TRIM_Support);

    Put16(page.data(), 256, 0x0015);      // OACS: security, firmware download, self-test
    Put16(page.data(), 316, 300);         // EDSTT: 300 minutes
    Put32(page.data(), 328, 0x00000003);  // SANICAP: crypto erase and block erase
    page[263] = 4;                        // NPSS
    Put16(page.data(), 520, 0x0004);      // ONCS: dataset management
    Put32(page.data(), 516, 3);           // NN; MNAN not reported
    const DriveRecord d = Interpret();
    EXPECT_TRUE(d.SecuritySupport && d.DownloadMicrocode && d.SelfTestSupport && d.TRIM_Support);
    EXPECT_EQ(d.ShortSelfTestTime, 2);
    EXPECT_EQ(d.ExtendedSelfTestTime, 255);  // 255 stands for 255 minutes or more
    EXPECT_TRUE(d.SanitizeSupport && d.CryptoEraseSupport);
    EXPECT_EQ(d.PowerStatesCount, 4);
    EXPECT_TRUE(d.PowerManagementSupport);
    EXPECT_EQ(d.NamespaceCount, 3u);
    EXPECT_EQ(d.MaxNamespaces, 3u);

    Put32(page.data(), 328, 0x00000002);  // block erase only
    Put32(page.data(), 540, 32);
    const DriveRecord other = Interpret();
    EXPECT_TRUE(other.SanitizeSupport);
    EXPECT_FALSE(other.CryptoEraseSupport);
    EXPECT_EQ(other.MaxNamespaces, 32u);
}

TEST_F(NvmeIdentification, SectorSizesFromTheLbaFormats) {
    const struct {
        const char* what;
        std::vector<uint8_t> exponents;
        uint8_t formatInUse;
        uint32_t physical, largest;
        const char* log;
    } cases[] = {
        {"one 512-byte format", {9}, 0, 512, 512, ""},
        {"format 1 of 4 KiB in use", {9, 12}, 1, 4096, 4096, ""},
        {"the upper bits of FLBAS are not the format", {9, 12}, 0x11, 4096, 4096, ""},
        {"the largest is the last format", {12, 9}, 0, 4096, 512, ""},
        {"odd sizes are logged", {9, 10}, 1, 1024, 1024,
         "DEBUG - PhysicalSectorSize = 1024\r\n\r\nDEBUG - MaxPhysicalSectorSize = 1024"},
        {"an exponent beyond 16 is no size", {40}, 0, 0, 0,
         "DEBUG - PhysicalSectorSize = 0\r\n\r\nDEBUG - MaxPhysicalSectorSize = 0"},
        {"an exponent below 9 is no size", {9, 3}, 1, 0, 0,
         "DEBUG - PhysicalSectorSize = 0\r\n\r\nDEBUG - MaxPhysicalSectorSize = 0"},
        {"a largest format with a bad exponent", {9, 200}, 0, 512, 0, "DEBUG - MaxPhysicalSectorSize = 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Put32(page.data(), 516, 1);
        namespaces[1] = sim::NvmeIdentifyNamespacePage(2000, c.exponents, c.formatInUse);
        const DriveRecord d = Interpret();
        EXPECT_TRUE(NamespaceAsked());
        EXPECT_EQ(d.PhysicalSectorSize, c.physical);
        EXPECT_EQ(d.MaxPhysicalSectorSize, c.largest);
        EXPECT_EQ(d.AvailableSize, 2000 * static_cast<int64_t>(c.physical));
        EXPECT_EQ(d.Log, c.log);
    }

    namespaces[1] = sim::NvmeIdentifyNamespacePage(2000, {9}, 0);
    namespaces[1][25] = 64;  // NLBAF past the 64 formats the structure holds
    EXPECT_EQ(Interpret().MaxPhysicalSectorSize, 0u);

    namespaces[1] = sim::NvmeIdentifyNamespacePage(1ULL << 60, {12}, 0);  // 2^72 bytes: no signed 64-bit size
    const DriveRecord huge = Interpret();
    EXPECT_EQ(huge.PhysicalSectorSize, 4096u);
    EXPECT_EQ(huge.AvailableSize, 0);
}

TEST_F(NvmeIdentification, NamespaceSkippedWithoutNamespacesAndReportedWhenItFails) {
    Put32(page.data(), 516, 0);
    const DriveRecord none = Interpret();
    EXPECT_FALSE(NamespaceAsked());
    EXPECT_EQ(none.AvailableSize, 0);
    EXPECT_EQ(none.PhysicalSectorSize, 0u);
    EXPECT_EQ(none.Log, "");

    Put32(page.data(), 516, 1);
    namespaces.clear();
    const DriveRecord failed = Interpret();
    EXPECT_TRUE(NamespaceAsked());
    EXPECT_EQ(failed.AvailableSize, 0);
    EXPECT_EQ(failed.PhysicalSectorSize, 0u);
    EXPECT_EQ(failed.MaxPhysicalSectorSize, 0u);
    EXPECT_NE(failed.Log.find("DEBUG - NVMeIdentificationNameSpace fail"), std::string::npos) << failed.Log;
}

TEST_F(NvmeIdentification, FeaturesAreAskedAsSupportedAndStoredOnlyWhenTheyCameBack) {
    Interpret();
    EXPECT_EQ(FeaturesAsked(), (std::vector<int>{0x01, 0x02, 0x08, 0x09, 0x0B}));

    Put16(page.data(), 256, 0x0200);  // OACS: LBA status
    page[265] = 1;                    // APSTA
    Put16(page.data(), 320, 100);     // KAS
    Put16(page.data(), 322, 1);       // HCTMA
    Put32(page.data(), 272, 8192);    // HMPRE
    Put32(page.data(), 96, 0x2A);     // CTRATT: non-operational power state, read recovery, predictable latency
    page[525] = 1;                    // VWC
    features = {{0x01, 0x03020103}, {0x02, 0x00001234}, {0x06, 0x00000003}, {0x08, 0x12345678},
                {0x09, 0x00010002}, {0x0B, 0x0000011F}, {0x0D, 0x00000000}, {0x0F, 0x0000EA60},
                {0x10, 0x01570161}, {0x11, 0x00000001}, {0x12, 0x000000F7}, {0x13, 0x00000001},
                {0x14, 0x000000FE}, {0x15, 0x00000064}};  // no 0x0C: that one fails
    const DriveRecord d = Interpret();
    EXPECT_EQ(FeaturesAsked(), (std::vector<int>{0x01, 0x02, 0x06, 0x08, 0x09, 0x0B, 0x0C, 0x0D, 0x0F, 0x10, 0x11,
                                                 0x12, 0x13, 0x14, 0x15}));
    EXPECT_EQ(d.Arbitration, 0x03020103u);
    EXPECT_EQ(d.PowerState, 0x34);
    EXPECT_TRUE(d.WriteCacheEnabled);
    EXPECT_EQ(d.InterruptCoalescing, 0x5678);
    EXPECT_EQ(d.InterruptVectorConfig, 0x00010002u);
    EXPECT_EQ(d.AsyncEventConfig, 0x0000011Fu);
    EXPECT_FALSE(d.APST_Enabled);
    EXPECT_EQ(d.KeepAliveTimer, 60000u);
    EXPECT_EQ(d.HCTM_TMT1, 70);  // 343 K
    EXPECT_EQ(d.HCTM_TMT2, 80);  // 353 K
    EXPECT_TRUE(d.NOPSPM_Enabled && d.PLM_Enabled);
    EXPECT_EQ(d.ReadRecoveryLevel, 7);
    EXPECT_EQ(d.PLM_Window, 6);
    EXPECT_EQ(d.LBAStatusInterval, 100u);
    // The dispatcher's report of the one that failed names the NVMe feature.
    EXPECT_NE(d.Log.find("Features - NVME_FEATURE_AUTONOMOUS_POWER_STATE_TRANSITION"), std::string::npos) << d.Log;

    features = {{0x10, 0x00000161}};  // the first threshold not set; every other feature fails
    const DriveRecord partial = Interpret();
    EXPECT_EQ(partial.HCTM_TMT1, 0);
    EXPECT_EQ(partial.HCTM_TMT2, 80);
    EXPECT_EQ(partial.Arbitration, 0u);
    EXPECT_EQ(partial.ReadRecoveryLevel, 0);
}

TEST_F(NvmeIdentification, HostMemoryBufferSizeInPages) {
    Put32(page.data(), 272, 8192);  // HMPRE
    features[0x0D] = 1;
    featureData[0x0D] = {0x00, 0x20, 0x00, 0x00};  // 8192 pages
    const DriveRecord d = Interpret();
    EXPECT_TRUE(d.HMB_Enabled);
    EXPECT_EQ(d.HMB_Size, 33554432u);
    EXPECT_EQ(d.Log, "");

    pageSize = 16384;
    const DriveRecord large = Interpret();
    EXPECT_EQ(large.HMB_Size, 134217728u);
    EXPECT_EQ(large.Log, "DEBUG - PageSize - 16384");

    pageSize = 4096;
    featureData[0x0D] = {0x00, 0x00, 0x10, 0x00};  // 2^20 pages, 4 GiB: more than the field holds
    EXPECT_EQ(Interpret().HMB_Size, 0xFFFFFFFFu);

    features[0x0D] = 0;  // present but not enabled: no size, whatever the attributes say
    const DriveRecord off = Interpret();
    EXPECT_FALSE(off.HMB_Enabled);
    EXPECT_EQ(off.HMB_Size, 0u);

    features.erase(0x0D);  // the feature fails: nothing taken
    const DriveRecord failed = Interpret();
    EXPECT_FALSE(failed.HMB_Enabled);
    EXPECT_EQ(failed.HMB_Size, 0u);
}

}  // namespace
