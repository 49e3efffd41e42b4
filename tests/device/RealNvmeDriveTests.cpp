// A real NVMe drive's Identify Controller page, loaded from a machine description and scanned end to
// end, checked against the independent decode of the same page that sits beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "TestMachine.h"
#include "device/Scan.h"
#include "device/TIOCTL.h"
#include "platform/sim/SimMachine.h"

namespace {

const char* const DriveFolder = "real-drives/THNSN5512GPU7_TOSHIBA__410557LA/";

// The text after the first "key": of a flat JSON text, up to the next comma, closing brace or
// bracket; a string loses its quotes. Enough for the decode's scalar fields; empty when absent.
std::string JsonValue(const std::string& json, const std::string& key) {
    const std::string quoted = "\"" + key + "\":";
    const size_t at = json.find(quoted);
    if (at == std::string::npos) return std::string();
    const size_t begin = at + quoted.size();
    if (begin < json.size() && json[begin] == '"') {
        const size_t end = json.find('"', begin + 1);
        return end == std::string::npos ? std::string() : json.substr(begin + 1, end - begin - 1);
    }
    return json.substr(begin, json.find_first_of(",}]\n", begin) - begin);
}

unsigned long long JsonNumber(const std::string& json, const std::string& key) {
    const std::string text = JsonValue(json, key);
    EXPECT_FALSE(text.empty()) << key << " is not in the decode";
    return std::strtoull(text.c_str(), nullptr, 10);
}

// Drive text as it is shown: without the blanks it is padded with.
std::string Trimmed(const std::string& text) {
    const size_t b = text.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : text.substr(b, text.find_last_not_of(' ') - b + 1);
}

bool Bit(unsigned long long value, unsigned bit) { return (value >> bit) & 1; }

uint8_t Celsius(unsigned long long kelvin) { return static_cast<uint8_t>(kelvin - 273); }

class RealNvmeDrive : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        decode = testmachine::ReadFixtureFile(std::string(DriveFolder) + "peer-nvme-id-ctrl.json");
        page = testmachine::ReadFixtureFile(std::string(DriveFolder) + "id-ctrl.bin");
        if (decode.empty() || page.empty()) GTEST_SKIP() << "../shared/fixtures/" << DriveFolder << " is not here";
        sim::Machine machine;
        std::string error;
        const std::string description = std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/real-nvme.machine";
        ASSERT_TRUE(sim::LoadMachineFile(description, machine, error)) << error;
        Install(std::move(machine));
        ScanDrives();
        ASSERT_EQ(DriveTable.Count, 1u) << GlobalLogText();
    }
    const DriveRecord& Drive() const { return *DriveTable.Drives[0]; }
    std::string decode, page;
};

TEST_F(RealNvmeDrive, IdentityMatchesTheIndependentDecode) {
    const DriveRecord& d = Drive();
    ASSERT_EQ(page.size(), sizeof d.NVMeIdentifyController);
    EXPECT_TRUE(std::equal(page.begin(), page.end(), reinterpret_cast<const char*>(d.NVMeIdentifyController)));
    EXPECT_EQ(d.Model, Trimmed(JsonValue(decode, "mn")));
    EXPECT_EQ(d.SerialNumber, Trimmed(JsonValue(decode, "sn")));
    EXPECT_EQ(d.FirmwareVersion, Trimmed(JsonValue(decode, "fr")));
    EXPECT_EQ(d.Caption, "Model - " + d.Model + " ( " + d.SerialNumber + " )");
    EXPECT_EQ(d.PCI_VendorID, JsonNumber(decode, "vid"));
    EXPECT_EQ(d.OUI, JsonNumber(decode, "ieee"));
    EXPECT_EQ(d.NVMe_version, JsonNumber(decode, "ver"));
    EXPECT_TRUE(d.IsNVMe && d.IsSSD);
}

TEST_F(RealNvmeDrive, CapabilitiesMatchTheIndependentDecode) {
    const DriveRecord& d = Drive();
    const unsigned long long oacs = JsonNumber(decode, "oacs"), npss = JsonNumber(decode, "npss");
    EXPECT_EQ(d.SecuritySupport, Bit(oacs, 0));
    EXPECT_EQ(d.DownloadMicrocode, Bit(oacs, 2));
    EXPECT_EQ(d.SelfTestSupport, Bit(oacs, 4));
    EXPECT_EQ(d.TRIM_Support, Bit(JsonNumber(decode, "oncs"), 2));
    EXPECT_EQ(d.WriteCacheSupport, Bit(JsonNumber(decode, "vwc"), 0));
    EXPECT_EQ(d.APST_Support, Bit(JsonNumber(decode, "apsta"), 0));
    EXPECT_EQ(d.PowerStatesCount, npss);
    EXPECT_EQ(d.PowerManagementSupport, npss != 0);
    EXPECT_EQ(d.HMB_Support, JsonNumber(decode, "hmpre") != 0);
    EXPECT_EQ(d.KeepAliveSupport, JsonNumber(decode, "kas") != 0);
    EXPECT_EQ(d.HCTM_Support, Bit(JsonNumber(decode, "hctma"), 0));
    EXPECT_EQ(d.SanitizeSupport, JsonNumber(decode, "sanicap") != 0);
    const unsigned long long ctratt = JsonNumber(decode, "ctratt");
    EXPECT_EQ(d.NOPSPM_Support, Bit(ctratt, 1));
    EXPECT_EQ(d.ReadRecoverySupport, Bit(ctratt, 3));
    EXPECT_EQ(d.PLM_Support, Bit(ctratt, 5));
    EXPECT_EQ(d.WarningTemperature, Celsius(JsonNumber(decode, "wctemp")));
    EXPECT_EQ(d.CriticalTemperature, Celsius(JsonNumber(decode, "cctemp")));
    // Power state 0 comes first among the descriptors: its maximum power in watts.
    const unsigned long long scale = Bit(JsonNumber(decode, "flags"), 0) ? 10000 : 100;
    EXPECT_EQ(d.MaxPower, JsonNumber(decode, "max_power") / scale);
}

// Without a namespace page and without any Get Features answer the drive is kept, and what those
// would supply stays empty.
TEST_F(RealNvmeDrive, NamespaceAndFeaturesAbsentLeaveTheirFieldsEmpty) {
    const DriveRecord& d = Drive();
    const unsigned long long nn = JsonNumber(decode, "nn"), mnan = JsonNumber(decode, "mnan");
    EXPECT_EQ(d.NamespaceCount, nn);
    EXPECT_EQ(d.MaxNamespaces, mnan != 0 ? mnan : nn);
    EXPECT_EQ(JsonValue(decode, "tnvmcap"), "0");  // the page states no total capacity either
    EXPECT_EQ(d.AvailableSize, 0);
    EXPECT_EQ(d.PhysicalSectorSize, 0u);
    EXPECT_EQ(d.MaxPhysicalSectorSize, 0u);
    EXPECT_TRUE(std::all_of(std::begin(d.NVMeIdentifyNamespace), std::end(d.NVMeIdentifyNamespace),
                            [](uint8_t b) { return b == 0; }));
    EXPECT_NE(d.Log.find("NVMeIdentificationNameSpace fail"), std::string::npos);
    EXPECT_FALSE(d.WriteCacheEnabled || d.APST_Enabled || d.HMB_Enabled);
    EXPECT_EQ(d.Arbitration, 0u);
    EXPECT_EQ(d.AsyncEventConfig, 0u);
    EXPECT_EQ(GlobalLogText(), "");
}

}  // namespace
