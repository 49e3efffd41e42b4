// The simulated USB bridges: command blocks built byte by byte at the protocols' own offsets, and
// the replies each bridge gives, its quirks, and machine files that describe bridged drives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "TestMachine.h"
#include "platform/Storage.h"
#include "platform/sim/SimWorld.h"
#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"

namespace {

using M = AccessMethod;
enum Drive { AsmNvme, RtkNvme, JmsNvme, JmAta, PlAta, SpAta, CyAta, SatAta, DriveCount };
const M Bridges[DriveCount] = {M::ASMedia, M::Realtek, M::JMicronNVMe, M::JMicron,
                               M::Prolific, M::Sunplus, M::Cypress, M::SAT};
enum : uint8_t { Out = 0, In = 1, None = 2 };

std::vector<uint8_t> NvmePage(const std::string& name) {
    std::ifstream in(std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/nvme/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// SCSI_PASS_THROUGH (32-bit): a 32-byte sense area at 44 (or none), the data at 76.
struct Request {
    std::vector<uint8_t> b;
    Request(std::vector<uint8_t> cdb, uint8_t direction, uint32_t length, uint8_t sense = 32) : b(76 + length) {
        b[0] = 44, b[6] = static_cast<uint8_t>(cdb.size()), b[7] = sense, b[8] = direction;
        b[12] = static_cast<uint8_t>(length), b[13] = static_cast<uint8_t>(length >> 8);
        b[16] = 60, b[20] = 76, b[24] = 44;
        std::copy(cdb.begin(), cdb.end(), b.begin() + 28);
    }
    uint8_t* data() { return b.data() + 76; }
    uint8_t sense(size_t i) const { return b[44 + i]; }
};

class SimBridges : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine m;
        for (int i = 0; i < DriveCount; ++i) {
            sim::Drive d = testmachine::SataDrive("B" + std::to_string(i), 0, {M::SAT});
            if (i <= JmsNvme) {
                d.Identify.clear();
                d.NvmeIdentifyController = NvmePage("id-ctrl.bin");
                d.NvmeNamespaces[1] = NvmePage("ns1.bin");
                d.NvmeLogs[2] = NvmePage("health.bin");
                d.NvmeLogs[6] = NvmePage("self-test.bin");
            }
            d.Bridge = Bridges[i];
            m.Drives.push_back(d);
        }
        Install(m);
        for (int i = 0; i < DriveCount; ++i) handles[i] = platform::CreateFile(Drive(i).DevicePath);
    }
    bool Send(int drive, Request& r) {
        uint32_t bytes = 0;
        const uint32_t size = static_cast<uint32_t>(r.b.size());
        return platform::DeviceIoControl(handles[drive], IOCTL_SCSI_PASS_THROUGH, r.b.data(), size, r.b.data(), size, bytes);
    }
    // JMicron's phase 1 block: signature, opcode, NSID, CDW10.
    static Request PhaseOne(uint8_t opcode, uint32_t nsid, uint32_t cdw10) {
        Request p1({0xA1, 0x80, 0, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0}, Out, 512);
        Put32(p1.data(), 0, 0x454D564E), p1.data()[8] = opcode, Put32(p1.data(), 12, nsid), Put32(p1.data(), 48, cdw10);
        return p1;
    }
    // The three phases of one admin command; returns phase 3's block.
    Request Tunnel(int drive, uint8_t opcode, uint32_t nsid, uint32_t cdw10, uint32_t length) {
        Request p1 = PhaseOne(opcode, nsid, cdw10);
        EXPECT_TRUE(Send(drive, p1));
        Request p2({0xA1, 0x82, 0, static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 8),
                    static_cast<uint8_t>(length), 0, 0, 0, 0, 0, 0}, In, length);
        EXPECT_TRUE(Send(drive, p2));
        phase2 = p2;
        Request p3({0xA1, 0x8F, 0, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0}, In, 512);
        EXPECT_TRUE(Send(drive, p3));
        return p3;
    }
    // A drive gone after a reset answers nothing until the clock passes the reset, then as before.
    void ExpectGoneThenBack(int drive, Request probe, unsigned hazards) {
        EXPECT_EQ(Drive(drive).HazardousCommands, hazards);
        EXPECT_EQ(sim::HazardousCommandTotal(), hazards);
        bool on = false;
        EXPECT_FALSE(platform::GetDevicePowerState(handles[drive], on));
        sim::AdvanceTime(1000);
        Request again = probe;
        EXPECT_FALSE(Send(drive, again));
        sim::AdvanceTime(10000);
        EXPECT_TRUE(Send(drive, probe));
    }
    platform::Handle handles[DriveCount] = {};
    Request phase2{{}, None, 0};
};

enum class Page { None, Zeros, IdCtrl, Ns1, Health, SelfTest, Identify, Thresholds };

struct Case {
    const char* name;
    int drive;
    std::vector<uint8_t> cdb;
    uint8_t direction;
    uint32_t length;
    bool ok;         // DeviceIoControl's result
    uint8_t status;  // ScsiStatus
    M counted;       // the method the drive counted
    Page page;       // what the data area holds, from pageOffset of it
    uint32_t pageOffset;
    std::vector<std::pair<int, int>> bytes;  // data offset (sense offset when negative: -1 - i), value
    uint8_t senseSize = 32;
};

const Case Cases[] = {
    {"ASMedia Identify controller", AsmNvme, {0xE6, 0x06, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 4096, true, 0, M::ASMedia, Page::IdCtrl, 0, {}},
    {"ASMedia Identify namespace 1", AsmNvme, {0xE6, 0x06, 0, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 4096, true, 0, M::ASMedia, Page::Ns1, 0, {}},
    {"ASMedia health log", AsmNvme, {0xE6, 0x02, 0, 0x02, 0, 0, 0x00, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0}, In, 512, true, 0, M::ASMedia, Page::Health, 0, {}},
    {"ASMedia self-test log from offset 0x20", AsmNvme, {0xE6, 0x02, 0, 0x06, 0, 0, 0x00, 0x07, 0, 0, 0, 0, 0, 0, 0, 0x20}, In, 32, true, 0, M::ASMedia, Page::SelfTest, 0x20, {}},
    {"ASMedia missing log: good, zeros", AsmNvme, {0xE6, 0x02, 0, 0x09, 0, 0, 0x00, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0}, In, 512, true, 0, M::ASMedia, Page::Zeros, 0, {}},
    {"ASMedia refuses SAT", AsmNvme, {0xA1, 0x08, 0x0E, 0, 1, 0, 0, 0, 0, 0xEC, 0, 0}, In, 512, true, 2, M::SAT, Page::None, 0, {{-1, 0x70}, {-3, 0x05}, {-13, 0x20}}},
    {"Realtek Identify controller", RtkNvme, {0xE4, 0x00, 0x10, 0x06, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 4096, true, 0, M::Realtek, Page::IdCtrl, 0, {}},
    {"Realtek health log", RtkNvme, {0xE4, 0x00, 0x02, 0x02, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 512, true, 0, M::Realtek, Page::Health, 0, {}},
    {"Realtek log with CDW12 set: zeros", RtkNvme, {0xE4, 0x00, 0x02, 0x02, 0x02, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0}, In, 512, true, 0, M::Realtek, Page::Zeros, 0, {}},
    {"Realtek length disagreeing with the header", RtkNvme, {0xE4, 0x00, 0x01, 0x02, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 512, false, 0, M::Realtek, Page::None, 0, {}},
    {"JMicron IDENTIFY", JmAta, {0xDF, 0x10, 0, 0x02, 0x00, 0, 1, 0, 0, 0, 0xA0, 0xEC}, In, 512, true, 0, M::JMicron, Page::Identify, 0, {}},
    {"JMicron SMART thresholds", JmAta, {0xDF, 0x10, 0, 0x02, 0x00, 0xD1, 1, 0, 0x4F, 0xC2, 0xA0, 0xB0}, In, 512, true, 0, M::JMicron, Page::Thresholds, 0, {}},
    {"JMicron SMART RETURN STATUS byte", JmAta, {0xDF, 0x10, 0, 0x00, 0x01, 0xDA, 0, 0, 0x4F, 0xC2, 0xA0, 0xB0}, In, 1, true, 0, M::JMicron, Page::None, 0, {{0, 0xC2}}},
    {"JMicron port register", JmAta, {0xDF, 0x10, 0, 0x00, 0x01, 0, 0x72, 0x0F, 0, 0, 0xA0, 0xFD}, In, 1, true, 0, M::JMicron, Page::None, 0, {{0, 0x04}}},
    {"JMicron second port holds no drive", JmAta, {0xDF, 0x10, 0, 0x02, 0x00, 0, 1, 0, 0, 0, 0xB0, 0xEC}, In, 512, true, 2, M::JMicron, Page::None, 0, {{-3, 0x0B}}},
    {"JMicron write form with a data-in header", JmAta, {0xDF, 0x00, 0, 0x02, 0x00, 0, 1, 0, 0, 0, 0xA0, 0xEC}, In, 512, false, 0, M::JMicron, Page::None, 0, {}},
    {"JMicron also speaks SAT", JmAta, {0xA1, 0x08, 0x0E, 0, 1, 0, 0, 0, 0, 0xEC, 0, 0}, In, 512, true, 0, M::SAT, Page::Identify, 0, {}},
    {"Prolific IDENTIFY", PlAta, {0xD8, 0x15, 0, 0, 0x06, 0x7B, 0, 0, 0x02, 0x00, 1, 0, 0, 0, 0xA0, 0xEC}, In, 512, true, 0, M::Prolific, Page::Identify, 0, {}},
    {"Prolific SMART RETURN STATUS", PlAta, {0xD8, 0x15, 0, 0xDA, 0x06, 0x7B, 0, 0, 0, 0, 0, 0, 0x4F, 0xC2, 0xA0, 0xB0}, None, 0, true, 0, M::Prolific, Page::None, 0, {}},
    {"Prolific output registers", PlAta, {0xD7, 0, 0, 0, 0x06, 0x7B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 16, true, 0, M::Prolific, Page::None, 0, {{0, 0x50}, {1, 0}, {6, 0x4F}, {8, 0xC2}}},
    {"Sunplus IDENTIFY", SpAta, {0xF8, 0, 0x22, 0x10, 1, 0, 1, 0, 0, 0, 0xA0, 0xEC}, In, 512, true, 0, M::Sunplus, Page::Identify, 0, {}},
    {"Sunplus unknown command aborted", SpAta, {0xF8, 0, 0x22, 0x00, 0, 0, 0, 0, 0, 0, 0xA0, 0x25}, None, 0, true, 2, M::Sunplus, Page::None, 0, {{-3, 0x0B}}},
    {"Sunplus status of the aborted command", SpAta, {0xF8, 0, 0x21, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 8, true, 0, M::Sunplus, Page::None, 0, {{1, 0x04}, {7, 0x51}}},
    {"Cypress IDENTIFY", CyAta, {0x24, 0x24, 0x80, 0xBE, 1, 0, 0, 1, 0, 0, 0, 0xA0, 0xEC, 0, 0, 0}, In, 512, true, 0, M::Cypress, Page::Identify, 0, {}},
    {"Cypress IDENTIFY without data", CyAta, {0x24, 0x24, 0x80, 0xBE, 1, 0, 0, 1, 0, 0, 0, 0xA0, 0xEC, 0, 0, 0}, None, 0, false, 0, M::Cypress, Page::None, 0, {}},
    {"Cypress SMART RETURN STATUS", CyAta, {0x24, 0x24, 0x00, 0xBE, 1, 0, 0xDA, 0, 0, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0}, None, 0, true, 0, M::Cypress, Page::None, 0, {}},
    {"Cypress output registers", CyAta, {0x24, 0x24, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 8, true, 0, M::Cypress, Page::None, 0, {{4, 0x4F}, {5, 0xC2}, {7, 0x50}}},
    {"SAT ck_cond: descriptor sense", SatAta, {0xA1, 0x06, 0x20, 0xDA, 0, 0, 0x4F, 0xC2, 0, 0xB0, 0, 0}, None, 0, true, 2, M::SAT, Page::None, 0,
     {{-1, 0x72}, {-2, 0x01}, {-4, 0x1D}, {-9, 0x09}, {-10, 0x0C}, {-18, 0x4F}, {-20, 0xC2}, {-22, 0x50}}},
    {"SAT ck_cond: fixed sense in 18 bytes", SatAta, {0xA1, 0x06, 0x20, 0xDA, 0, 0, 0x4F, 0xC2, 0, 0xB0, 0, 0}, None, 0, true, 2, M::SAT, Page::None, 0,
     {{-1, 0x70}, {-5, 0x50}, {-11, 0x4F}, {-12, 0xC2}, {-13, 0x00}, {-14, 0x1D}}, 18},
    {"SAT bridge refuses JMicron's block", SatAta, {0xDF, 0x10, 0, 0x02, 0x00, 0, 1, 0, 0, 0, 0xA0, 0xEC}, In, 512, true, 2, M::JMicron, Page::None, 0, {{-3, 0x05}, {-13, 0x20}}},
};

TEST_F(SimBridges, EachBridgeAnswersItsOwnBlocksByteForByte) {
    for (const Case& c : Cases) {
        SCOPED_TRACE(c.name);
        Request r(c.cdb, c.direction, c.length, c.senseSize);
        std::fill(r.data(), r.data() + c.length, 0xEE);
        ASSERT_EQ(Send(c.drive, r), c.ok);
        EXPECT_EQ(Drive(c.drive).History.back().method, c.counted);
        if (!c.ok) continue;
        EXPECT_EQ(r.b[2], c.status);
        sim::Drive& d = Drive(c.drive);
        const std::vector<uint8_t> zeros(c.length, 0);
        const std::vector<uint8_t>* pages[] = {nullptr,         &zeros,        &d.NvmeIdentifyController,
                                               &d.NvmeNamespaces[1], &d.NvmeLogs[2], &d.NvmeLogs[6],
                                               &d.Identify,     &d.SmartThresholds};
        if (const std::vector<uint8_t>* page = pages[static_cast<int>(c.page)])
            EXPECT_TRUE(std::equal(r.data(), r.data() + c.length, page->begin() + c.pageOffset));
        for (const auto& b : c.bytes)
            EXPECT_EQ(b.first < 0 ? r.sense(-1 - b.first) : r.data()[b.first], b.second) << b.first;
    }
    EXPECT_EQ(sim::HazardousCommandTotal(), 0u);
}

TEST_F(SimBridges, JMicronTunnelRunsThePhaseOneCommandAndReportsItsCompletionOnce) {
    Request p3 = Tunnel(JmsNvme, 0x06, 0, 0x01, 4096);
    EXPECT_EQ(Get32(p3.data(), 0), 0x454D564Eu);
    EXPECT_EQ(Get32(p3.data(), 20), 0u);
    EXPECT_TRUE(std::equal(phase2.data(), phase2.data() + 4096, Drive(JmsNvme).NvmeIdentifyController.begin()));
    p3 = Tunnel(JmsNvme, 0x02, 0xFFFFFFFF, 0x007F0002, 512);  // health log
    EXPECT_EQ(Get32(p3.data(), 20), 0u);
    EXPECT_TRUE(std::equal(phase2.data(), phase2.data() + 512, Drive(JmsNvme).NvmeLogs.at(2).begin()));
    p3 = Tunnel(JmsNvme, 0x02, 5, 0x007F0002, 512);  // a namespace's log: refused
    EXPECT_EQ(Get32(p3.data(), 0), 0x454D564Eu);
    EXPECT_EQ(Get32(p3.data(), 20) >> 17, 2u);
    p3 = Tunnel(JmsNvme, 0x14, 0, 1, 0);  // no other command
    EXPECT_NE(Get32(p3.data(), 20) >> 17, 0u);
    // Phase 2 and 3 again with no phase 1 before them: no signature.
    Request p2({0xA1, 0x82, 0, 0, 0x10, 0x00, 0, 0, 0, 0, 0, 0}, In, 4096), lone3 = p3;
    ASSERT_TRUE(Send(JmsNvme, p2) && Send(JmsNvme, lone3));
    EXPECT_NE(Get32(lone3.data(), 0), 0x454D564Eu);
    EXPECT_EQ(Drive(JmsNvme).Requests[M::JMicronNVMe], 14u);
    EXPECT_EQ(sim::HazardousCommandTotal(), 0u);
}

TEST_F(SimBridges, SataAdapterOnTheJMicronIdTakesPhaseOneAsAHardwareReset) {
    for (const M bridge : {M::SAT, M::JMicron}) {
        SCOPED_TRACE(AccessMethodName(bridge));
        Drive(SatAta).Bridge = bridge;
        Drive(SatAta).HazardousCommands = 0;
        Request p1({0xA1, 0x80, 0, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0}, Out, 512);
        EXPECT_FALSE(Send(SatAta, p1));
        EXPECT_EQ(Drive(SatAta).History.back().method, M::JMicronNVMe);
        ExpectGoneThenBack(SatAta, Request({0xA1, 0x08, 0x0E, 0, 1, 0, 0, 0, 0, 0xEC, 0, 0}, In, 512), 1);
    }
}

TEST_F(SimBridges, JMicronResetsItsPortOnALongSelfTestLogRead) {
    Request p3 = Tunnel(JmsNvme, 0x02, 0, (0x218 / 4 - 1) << 16 | 6, 0x218);
    EXPECT_EQ(Get32(p3.data(), 20), 0u);
    EXPECT_EQ(sim::HazardousCommandTotal(), 0u);
    Request p1 = PhaseOne(0x02, 0, (0x234 / 4 - 1) << 16 | 6);
    ASSERT_TRUE(Send(JmsNvme, p1));
    Request p2({0xA1, 0x82, 0, 0, 0x02, 0x34, 0, 0, 0, 0, 0, 0}, In, 0x234);
    EXPECT_FALSE(Send(JmsNvme, p2));
    ExpectGoneThenBack(JmsNvme, Request({0xA1, 0x8F, 0, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0}, In, 512), 1);
}

TEST_F(SimBridges, RealtekLogReadsPast0x200BytesReturnWhatTheLastReplyLeft) {
    Request id({0xE4, 0x00, 0x10, 0x06, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 4096);
    Request log({0xE4, 0x34, 0x02, 0x02, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, In, 0x234);
    ASSERT_TRUE(Send(RtkNvme, id) && Send(RtkNvme, log));
    const sim::Drive& d = Drive(RtkNvme);
    EXPECT_TRUE(std::equal(log.data(), log.data() + 0x200, d.NvmeLogs.at(6).begin()));
    EXPECT_TRUE(std::equal(log.data() + 0x200, log.data() + 0x234, d.NvmeIdentifyController.begin() + 0x200));
}

TEST(SimBridgeMachineFile, DescribesADriveBehindEachBridgeAndRefusesBridgesElsewhere) {
    if (!std::filesystem::exists(testmachine::FixturesRoot() + "/real-drives"))
        GTEST_SKIP() << "the real drives' pages are absent";
    sim::Machine m;
    std::string error;
    ASSERT_TRUE(sim::LoadMachineFile(std::string(KORVANTE_SOURCE_DIR) + "/tests/fixtures/bridges.machine", m, error))
        << error;
    ASSERT_EQ(m.Drives.size(), static_cast<size_t>(DriveCount));
    for (int i = 0; i < DriveCount; ++i) EXPECT_EQ(m.Drives[i].Bridge, Bridges[i]) << i;
    EXPECT_EQ(m.Devices[0].HardwareIds.at(0), "USB\\VID_174C&PID_2362&REV_0100");
    const std::string path = ::testing::TempDir() + "korvante-bad-bridge.machine";
    const std::pair<const char*, const char*> Bad[] = {{"bridge = NVMe", ":3: unknown bridge"},
                                                       {"bridge = ASMedia2362", ":3: unknown bridge"},
                                                       {"methods = Realtek", ":3: Realtek is a bridge"},
                                                       {"fault = JMicron NVMe fail", ":3: unknown fault kind fail"}};
    for (const auto& bad : Bad) {
        std::ofstream(path) << "[drive]\nmethods = SAT\n" << bad.first << "\n";
        EXPECT_FALSE(sim::LoadMachineFile(path, m, error));
        EXPECT_NE(error.find(bad.second), std::string::npos) << error;
    }
    std::filesystem::remove(path);
}

}  // namespace
