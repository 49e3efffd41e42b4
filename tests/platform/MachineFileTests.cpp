// Machine descriptions: what a file can say about a drive, and the errors a bad file gets.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/sim/PageBuilders.h"
#include "platform/sim/SimMachine.h"

namespace {

class MachineFile : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder of its own: test runs of several trees may share the temporary directory.
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        folder = (std::filesystem::path(::testing::TempDir()) / ("korvante-machine-" + std::to_string(stamp))).string() + "/";
        std::filesystem::create_directories(folder);
        Write("id.bin", std::vector<uint8_t>(512, 0x11));
        Write("data.bin", std::vector<uint8_t>(512, 0x22));
        Write("thr.bin", std::vector<uint8_t>(512, 0x33));
        Write("log30.bin", std::vector<uint8_t>(3 * 512, 0x44));
        Write("short.bin", std::vector<uint8_t>(100, 0));
        Write("page4k.bin", std::vector<uint8_t>(4096, 0x55));
        Write("ns2.bin", std::vector<uint8_t>(4096, 0x66));
        Write("st.bin", std::vector<uint8_t>(564, 0x77));
        Write("errors.bin", std::vector<uint8_t>(3 * 64, 0x88));
        Write("hmb.bin", std::vector<uint8_t>(16, 0x99));
        Write("big.bin", std::vector<uint8_t>(4097, 0));
    }
    void TearDown() override { std::filesystem::remove_all(folder); }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(folder + name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    bool Load(const std::string& text) {
        std::ofstream(folder + "machine.txt") << text;
        return sim::LoadMachineFile(folder + "machine.txt", machine, error);
    }
    std::string folder, error;
    sim::Machine machine;
};

TEST_F(MachineFile, DescribesDrivesWithPagesMethodsAndFaults) {
    ASSERT_TRUE(Load("# two drives\n"
                     "[drive]\n"
                     "path = \\\\?\\scsi#disk&ven_a#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}\n"
                     "storage2-path = \\\\?\\scsi#disk&ven_a#1#{7fccc86c-228a-40ad-8a58-f590af7bfdce}\n"
                     "classes = disk storage2\n"
                     "parent = USB\\VID_152D&PID_0578\\1\n"
                     "identify = id.bin\n"
                     "smart-data = data.bin\n"
                     "smart-thresholds = thr.bin\n"
                     "log.30 = log30.bin\n"
                     "smart-enabled = no\n"
                     "methods = SAT ATA OLD\n"
                     "fault = ATA B0/D1 fail-first 2\n"
                     "fault = SAT no-data\n"
                     "fault = OLD EC error-status\n"
                     "\n"
                     "[drive]\n"
                     "  path = second   \n"
                     "opens = no\n"))
        << error;
    ASSERT_EQ(machine.Drives.size(), 2u);
    const sim::Drive& a = machine.Drives[0];
    EXPECT_EQ(a.DevicePath, "\\\\?\\scsi#disk&ven_a#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}");
    EXPECT_TRUE(a.InDiskClass && a.InStorage2Class);
    EXPECT_EQ(a.Parent, "USB\\VID_152D&PID_0578\\1");
    EXPECT_EQ(a.Identify, std::vector<uint8_t>(512, 0x11));
    EXPECT_EQ(a.SmartThresholds, std::vector<uint8_t>(512, 0x33));
    ASSERT_EQ(a.Logs.count(0x30), 1u);
    EXPECT_EQ(a.Logs.at(0x30).size(), 1536u);
    EXPECT_FALSE(a.SmartEnabled);
    EXPECT_EQ(a.Methods, (std::vector<AccessMethod>{AccessMethod::SAT, AccessMethod::ATA, AccessMethod::OLD}));
    ASSERT_EQ(a.Faults.size(), 3u);
    EXPECT_EQ(a.Faults[0].method, AccessMethod::ATA);
    EXPECT_EQ(a.Faults[0].command, 0xB0);
    EXPECT_EQ(a.Faults[0].features, 0xD1);
    EXPECT_EQ(a.Faults[0].kind, sim::FaultKind::FailFirst);
    EXPECT_EQ(a.Faults[0].count, 2u);
    EXPECT_EQ(a.Faults[1].command, -1);
    EXPECT_EQ(a.Faults[1].kind, sim::FaultKind::NoData);
    EXPECT_EQ(a.Faults[2].command, 0xEC);
    EXPECT_EQ(a.Faults[2].features, -1);
    EXPECT_EQ(machine.Drives[1].DevicePath, "second");
    EXPECT_FALSE(machine.Drives[1].Opens);
}

TEST_F(MachineFile, DescribesNvmePagesLogsAndFeatures) {
    ASSERT_TRUE(Load("[drive]\n"
                     "path = \\\\?\\scsi#disk&ven_nvme&prod_x#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}\n"
                     "nvme-identify = page4k.bin\n"
                     "nvme-namespace.1 = page4k.bin\n"
                     "nvme-namespace.0x10 = ns2.bin\n"
                     "nvme-health-log = id.bin\n"
                     "nvme-self-test-log = st.bin\n"
                     "nvme-error-log = errors.bin\n"
                     "nvme-feature.0D = 0x00000001 hmb.bin\n"
                     "nvme-feature.c = 4294967295\n"
                     "nvme-feature.01 = 3\n"))
        << error;
    const sim::Drive& d = machine.Drives.at(0);
    EXPECT_EQ(d.NvmeIdentifyController, std::vector<uint8_t>(4096, 0x55));
    EXPECT_EQ(d.NvmeNamespaces, (std::map<uint32_t, std::vector<uint8_t>>{{1, std::vector<uint8_t>(4096, 0x55)},
                                                                          {16, std::vector<uint8_t>(4096, 0x66)}}));
    EXPECT_EQ(d.NvmeLogs, (std::map<uint8_t, std::vector<uint8_t>>{{0x01, std::vector<uint8_t>(192, 0x88)},
                                                                  {0x02, std::vector<uint8_t>(512, 0x11)},
                                                                  {0x06, std::vector<uint8_t>(564, 0x77)}}));
    EXPECT_EQ(d.NvmeFeatures, (std::map<uint8_t, uint32_t>{{0x01, 3}, {0x0C, 0xFFFFFFFF}, {0x0D, 1}}));
    EXPECT_EQ(d.NvmeFeatureData, (std::map<uint8_t, std::vector<uint8_t>>{{0x0D, std::vector<uint8_t>(16, 0x99)}}));
}

TEST_F(MachineFile, BadDescriptionsNameTheLineAndTheReason) {
    struct Case { const char* text; const char* says; };
    const Case cases[] = {
        {"path = x\n", ":1: a key before the first [drive]"},
        {"[drive]\ncolour = blue\n", ":2: unknown key colour"},
        {"[drive]\nidentify = short.bin\n", ":2: short.bin must be 512 bytes, not 100"},
        {"[drive]\nidentify = missing.bin\n", ":2: cannot read missing.bin"},
        {"[drive]\nlog.00 = log30.bin\n", ":2: log.XX takes a hexadecimal log address 01..FF"},
        {"[drive]\nlog.30 = short.bin\n", ":2: short.bin must hold 1 to 255 whole 512-byte sectors"},
        {"[drive]\nmethods = ATA FLOPPY\n", ":2: unknown access method FLOPPY"},
        {"[drive]\nfault = ATA melt\n", ":2: unknown fault kind melt"},
        {"[drive]\nfault = ATA 1FF refuse\n", ":2: bad command in fault: 1FF"},
        {"[drive]\nfault = ATA B0/D1\n", ":2: a fault needs a kind"},
        {"[drive]\nfault = ATA fail-first\n", ":2: fail-first needs a count"},
        {"[drive]\nopens = maybe\n", ":2: expected yes or no, not maybe"},
        {"[drive]\nclasses = disk tape\n", ":2: unknown interface class tape"},
        {"[drive]\njust words\n", ":2: expected [drive] or key = value"},
        {"[drive]\nlog.-1 = log30.bin\n", ":2: log.XX takes a hexadecimal log address 01..FF"},
        {"[drive]\nnvme-identify = id.bin\n", ":2: id.bin must be 4096 bytes, not 512"},
        {"[drive]\nnvme-health-log = page4k.bin\n", ":2: page4k.bin must be 512 bytes, not 4096"},
        {"[drive]\nnvme-self-test-log = id.bin\n", ":2: id.bin must be 564 bytes, not 512"},
        {"[drive]\nnvme-namespace.1 = id.bin\n", ":2: id.bin must be 4096 bytes, not 512"},
        {"[drive]\nnvme-namespace.0 = page4k.bin\n", ":2: nvme-namespace.N takes a namespace identifier"},
        {"[drive]\nnvme-namespace.0xFFFFFFFF = page4k.bin\n", ":2: nvme-namespace.N takes a namespace identifier"},
        {"[drive]\nnvme-namespace.one = page4k.bin\n", ":2: nvme-namespace.N takes a namespace identifier"},
        {"[drive]\nnvme-error-log = short.bin\n", ":2: short.bin must hold 1 to 256 whole 64-byte entries"},
        {"[drive]\nnvme-error-log = missing.bin\n", ":2: cannot read missing.bin"},
        {"[drive]\nnvme-feature.00 = 1\n", ":2: nvme-feature.XX takes a hexadecimal feature identifier 01..FF"},
        {"[drive]\nnvme-feature.100 = 1\n", ":2: nvme-feature.XX takes a hexadecimal feature identifier 01..FF"},
        {"[drive]\nnvme-feature.-1 = 1\n", ":2: nvme-feature.XX takes a hexadecimal feature identifier 01..FF"},
        {"[drive]\nnvme-feature.0D =\n", ":2: a feature is VALUE [DATA-FILE]"},
        {"[drive]\nnvme-feature.0D = 1 hmb.bin extra\n", ":2: a feature is VALUE [DATA-FILE]"},
        {"[drive]\nnvme-feature.0D = 0x100000000\n", ":2: bad number 0x100000000"},
        {"[drive]\nnvme-feature.0D = 1 big.bin\n", ":2: big.bin must hold 1 to 4096 bytes"},
        {"[drive]\nnvme-feature.0D = 1 missing.bin\n", ":2: cannot read missing.bin"},
        {"[drive]\nnvme-firmware = x\n", ":2: unknown key nvme-firmware"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Load(c.text)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << " gave: " << error;
    }
    EXPECT_FALSE(sim::LoadMachineFile(folder + "no-such-machine.txt", machine, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    // A page name that leads to a file without end (there is no such device under Windows).
    std::error_code noLink;
    std::filesystem::create_symlink("/dev/zero", folder + "endless.bin", noLink);
    if (noLink) return;
    EXPECT_FALSE(Load("[drive]\nlog.30 = endless.bin\n"));
    EXPECT_NE(error.find(":2: endless.bin is longer than any page (130560 bytes)"), std::string::npos) << error;
}

}  // namespace
