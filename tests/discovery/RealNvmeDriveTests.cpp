// A real NVMe drive's Identify Controller page, loaded from a machine description and scanned end to
// end, checked against the independent decode of the same page that sits beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <nlohmann/json.hpp>

#include "TestMachine.h"
#include "discovery/Scan.h"
#include "device/DiagnosticLog.h"
#include "platform/sim/SimMachine.h"

namespace {

const char* const DriveFolder = "real-drives/THNSN5512GPU7_TOSHIBA__410557LA/";

using Json = nlohmann::json;
using testmachine::Trimmed;

// A member of the decode: its text, or its integer value (empty or 0, and a test failure, when it is
// missing or of another kind).
std::string Text(const Json& decode, const char* key) {
    const auto v = decode.find(key);
    const bool text = v != decode.end() && v->is_string();
    EXPECT_TRUE(text) << key << " is not a text in the decode";
    return text ? v->get<std::string>() : std::string();
}

long long Number(const Json& decode, const char* key) {
    const auto v = decode.find(key);
    const bool number = v != decode.end() && v->is_number();
    EXPECT_TRUE(number) << key << " is not a number in the decode";
    return number ? v->get<long long>() : 0;
}

bool Bit(long long value, unsigned bit) { return (value >> bit) & 1; }

uint8_t Celsius(long long kelvin) { return static_cast<uint8_t>(kelvin - 273); }

class RealNvmeDrive : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        const std::string json = testmachine::ReadFixtureFile(std::string(DriveFolder) + "peer-nvme-id-ctrl.json");
        page = testmachine::ReadFixtureFile(std::string(DriveFolder) + "id-ctrl.bin");
        if (json.empty() || page.empty()) GTEST_SKIP() << "../shared/fixtures/" << DriveFolder << " is not here";
        decode = Json::parse(json, nullptr, false);
        ASSERT_FALSE(decode.is_discarded()) << "peer-nvme-id-ctrl.json does not parse";
        sim::Machine machine;
        std::string error;
        const std::string description = std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/real-nvme.machine";
        ASSERT_TRUE(sim::LoadMachineFile(description, machine, error)) << error;
        Install(std::move(machine));
        ScanDrives();
        ASSERT_EQ(DriveCount(), 1u) << GlobalLogText();
    }
    const DriveRecord& Drive() const { return DriveForCommands(0); }
    Json decode;
    std::string page;
};

TEST_F(RealNvmeDrive, IdentityMatchesTheIndependentDecode) {
    const DriveRecord& d = Drive();
    ASSERT_EQ(page.size(), sizeof d.NVMeIdentifyController);
    EXPECT_TRUE(std::equal(page.begin(), page.end(), reinterpret_cast<const char*>(d.NVMeIdentifyController)));
    EXPECT_EQ(d.Model, Trimmed(Text(decode, "mn")));
    EXPECT_EQ(d.SerialNumber, Trimmed(Text(decode, "sn")));
    EXPECT_EQ(d.FirmwareVersion, Trimmed(Text(decode, "fr")));
    EXPECT_EQ(d.Caption, "Model - " + d.Model + " ( " + d.SerialNumber + " )");
    EXPECT_EQ(d.PCI_VendorID, Number(decode, "vid"));
    EXPECT_EQ(d.OUI, Number(decode, "ieee"));
    EXPECT_EQ(d.NVMe_version, Number(decode, "ver"));
    EXPECT_TRUE(d.IsNVMe && d.IsSSD);
}

TEST_F(RealNvmeDrive, CapabilitiesMatchTheIndependentDecode) {
    const DriveRecord& d = Drive();
    const long long oacs = Number(decode, "oacs"), npss = Number(decode, "npss");
    EXPECT_EQ(d.SecuritySupport, Bit(oacs, 0));
    EXPECT_EQ(d.DownloadMicrocode, Bit(oacs, 2));
    EXPECT_EQ(d.SelfTestSupport, Bit(oacs, 4));
    EXPECT_EQ(d.TRIM_Support, Bit(Number(decode, "oncs"), 2));
    EXPECT_EQ(d.WriteCacheSupport, Bit(Number(decode, "vwc"), 0));
    EXPECT_EQ(d.APST_Support, Bit(Number(decode, "apsta"), 0));
    EXPECT_EQ(d.PowerStatesCount, npss);
    EXPECT_EQ(d.PowerManagementSupport, npss != 0);
    EXPECT_EQ(d.HMB_Support, Number(decode, "hmpre") != 0);
    EXPECT_EQ(d.KeepAliveSupport, Number(decode, "kas") != 0);
    EXPECT_EQ(d.HCTM_Support, Bit(Number(decode, "hctma"), 0));
    EXPECT_EQ(d.SanitizeSupport, Number(decode, "sanicap") != 0);
    const long long ctratt = Number(decode, "ctratt");
    EXPECT_EQ(d.NOPSPM_Support, Bit(ctratt, 1));
    EXPECT_EQ(d.ReadRecoverySupport, Bit(ctratt, 3));
    EXPECT_EQ(d.PLM_Support, Bit(ctratt, 5));
    EXPECT_EQ(d.WarningTemperature, Celsius(Number(decode, "wctemp")));
    EXPECT_EQ(d.CriticalTemperature, Celsius(Number(decode, "cctemp")));
    // Power state 0, the first descriptor: its maximum power in watts.
    const auto states = decode.find("psds");
    ASSERT_TRUE(states != decode.end() && states->is_array() && !states->empty());
    const Json& first = states->front();
    const long long scale = Bit(Number(first, "flags"), 0) ? 10000 : 100;
    EXPECT_EQ(d.MaxPower, Number(first, "max_power") / scale);
}

// Without a namespace page and without any Get Features answer the drive is kept, and what those
// would supply stays empty.
TEST_F(RealNvmeDrive, NamespaceAndFeaturesAbsentLeaveTheirFieldsEmpty) {
    const DriveRecord& d = Drive();
    const long long nn = Number(decode, "nn"), mnan = Number(decode, "mnan");
    EXPECT_EQ(d.NamespaceCount, nn);
    EXPECT_EQ(d.MaxNamespaces, mnan != 0 ? mnan : nn);
    EXPECT_EQ(Text(decode, "tnvmcap"), "0");  // the page states no total capacity either
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
