// Machine descriptions: what a file can say about a drive, and the errors a bad file gets.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

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
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Load(c.text)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << " gave: " << error;
    }
    EXPECT_FALSE(sim::LoadMachineFile(folder + "no-such-machine.txt", machine, error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

}  // namespace
