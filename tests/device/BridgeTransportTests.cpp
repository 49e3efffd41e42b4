// The command blocks each USB bridge transport sends, byte for byte as written out by hand from the
// bridges' protocols, and what the dispatcher refuses to send through them.
#include <gtest/gtest.h>

#include <vector>

#include "TestMachine.h"
#include "device/TIOCTL.h"
#include "device/Transports.h"
#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"

using M = AccessMethod;

namespace {

AtaTaskFile IdentifyTf(uint8_t cns = 1, uint8_t nsid = 0) {
    AtaTaskFile tf;
    tf.Command = ATA_IDENTIFY_DEVICE;
    tf.SectorCount = cns;
    tf.SectorNumber = nsid;
    return tf;
}

struct BlockCase {
    const char* name;
    TransportFunction transport;
    bool nvme;
    AtaTaskFile tf;
    bool dataOut;
    std::vector<int> cdb;  // all 16 bytes
    uint8_t cdbLength, direction;  // SCSI_IOCTL_DATA_OUT 0, _IN 1, _UNSPECIFIED 2
    uint32_t length;
};

const BlockCase Blocks[] = {
    {"ASMedia Identify Controller", TransportASMedia, true, IdentifyTf(), false,
     {0xE6, 0x06, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 16, 1, 4096},
    {"ASMedia health log: 128 dwords", TransportASMedia, true, SmartTaskFile(SMART_READ_DATA, 1), false,
     {0xE6, 0x02, 0, 0x02, 0, 0, 0x00, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0}, 16, 1, 512},
    {"ASMedia self-test log: 141 dwords", TransportASMedia, true, SmartTaskFile(SMART_READ_LOG, 1, 6), false,
     {0xE6, 0x02, 0, 0x06, 0, 0, 0x00, 0x8C, 0, 0, 0, 0, 0, 0, 0, 0}, 16, 1, 564},
    {"Realtek Identify Namespace", TransportRealtek, true, IdentifyTf(0, 1), false,
     {0xE4, 0x00, 0x10, 0x06, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 16, 1, 4096},
    {"Realtek self-test log: no more than 0x200 bytes", TransportRealtek, true, SmartTaskFile(SMART_READ_LOG, 1, 6),
     false, {0xE4, 0x00, 0x02, 0x02, 0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 16, 1, 0x200},
    {"JMicron NVMe, phase 1: the command goes out", TransportJMicronNVMe, true, IdentifyTf(), false,
     {0xA1, 0x80, 0, 0x00, 0x02, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 12, 0, 512},
    {"JMicron IDENTIFY DEVICE on port 0", TransportJMicron, false, IdentifyTf(), false,
     {0xDF, 0x10, 0, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xA0, 0xEC, 0, 0, 0, 0}, 12, 1, 512},
    {"JMicron WRITE LOG", TransportJMicron, false, SmartTaskFile(SMART_WRITE_LOG, 1, 0xE0), true,
     {0xDF, 0x00, 0, 0x02, 0x00, 0xD6, 0x01, 0xE0, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0, 0}, 12, 0, 512},
    {"Prolific S.M.A.R.T. values", TransportProlific, false, SmartTaskFile(SMART_READ_DATA, 1), false,
     {0xD8, 0x15, 0, 0xD0, 0x06, 0x7B, 0, 0, 0x02, 0x00, 0x01, 0x00, 0x4F, 0xC2, 0xA0, 0xB0}, 16, 1, 512},
    {"Prolific ENABLE OPERATIONS, no data", TransportProlific, false, SmartTaskFile(SMART_ENABLE_OPERATIONS), false,
     {0xD8, 0x15, 0, 0xD8, 0x06, 0x7B, 0, 0, 0, 0, 0x00, 0x00, 0x4F, 0xC2, 0xA0, 0xB0}, 16, 2, 0},
    {"Sunplus thresholds", TransportSunplus, false, SmartTaskFile(SMART_READ_THRESHOLDS, 1), false,
     {0xF8, 0x00, 0x22, 0x10, 0x01, 0xD1, 0x01, 0x00, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0, 0}, 12, 1, 512},
    {"Sunplus WRITE LOG", TransportSunplus, false, SmartTaskFile(SMART_WRITE_LOG, 1, 0xE0), true,
     {0xF8, 0x00, 0x22, 0x11, 0x01, 0xD6, 0x01, 0xE0, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0, 0}, 12, 0, 512},
    {"Cypress IDENTIFY DEVICE", TransportCypress, false, IdentifyTf(), false,
     {0x24, 0x24, 0x80, 0xBE, 0x01, 0xFF, 0x00, 0x01, 0x00, 0x00, 0x00, 0xA0, 0xEC, 0, 0, 0}, 16, 1, 512},
    {"Cypress EXECUTE OFF-LINE", TransportCypress, false, SmartTaskFile(SMART_EXECUTE_OFFLINE, 0, 1), false,
     {0x24, 0x24, 0x00, 0xBE, 0x01, 0xFF, 0xD4, 0x00, 0x01, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0, 0}, 16, 2, 0},
};

class BridgeTransport : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine m;
        // a drive that takes no request: each block is recorded as sent, and nothing happens to it
        m.Drives.push_back(testmachine::SataDrive("B1", 0, {}));
        Install(std::move(m));
        drive = testmachine::OpenRecord(0, true);
        drive.BridgePort = 1;  // port 0, known: the JMicron block is the first request
    }
    const std::vector<uint8_t>& Sent() { return Drive(0).LastInput; }

    DriveRecord drive;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(4096, 0);
};

TEST_F(BridgeTransport, EachBlockAsTheBridgeReadsIt) {
    for (const BlockCase& c : Blocks) {
        SCOPED_TRACE(c.name);
        drive.IsNVMe = c.nvme;
        const size_t before = Drive(0).History.size();
        EXPECT_FALSE(c.transport(drive, c.tf, buffer.data(), buffer.size(), c.dataOut));
        ASSERT_EQ(Drive(0).History.size(), before + 1);
        const std::vector<uint8_t>& r = Sent();
        EXPECT_EQ(Drive(0).History.back().ioControlCode, IOCTL_SCSI_PASS_THROUGH);
        ASSERT_GE(r.size(), BridgeDataOffset + c.length);
        EXPECT_EQ(Get16(r.data(), 0), 44);
        EXPECT_EQ(r[6], c.cdbLength);
        EXPECT_EQ(r[7], BridgeSenseSize);
        EXPECT_EQ(r[8], c.direction);
        EXPECT_EQ(Get32(r.data(), 12), c.length);
        EXPECT_EQ(Get32(r.data(), 16), 60u);
        EXPECT_EQ(Get32(r.data(), 20), BridgeDataOffset);
        EXPECT_EQ(Get32(r.data(), 24), BridgeSenseOffset);
        std::vector<uint8_t> cdb(r.begin() + 28, r.begin() + 44);
        EXPECT_EQ(cdb, std::vector<uint8_t>(c.cdb.begin(), c.cdb.end()));
    }
}

// JMicron's first phase carries the NVMe command in a 512-byte block of little-endian dwords.
TEST_F(BridgeTransport, TheJMicronCommandBlock) {
    drive.IsNVMe = true;
    TransportJMicronNVMe(drive, SmartTaskFile(SMART_READ_LOG, 1, 6), buffer.data(), buffer.size(), false);
    const uint8_t* block = Sent().data() + BridgeDataOffset;
    EXPECT_EQ(Get32(block, 0), 0x454D564Eu);  // "NVME"
    EXPECT_EQ(Get32(block, 8), 0x02u);        // Get Log Page
    EXPECT_EQ(Get32(block, 12), 0xFFFFFFFFu);
    EXPECT_EQ(Get32(block, 48), 0x06u | (0x218u / 4 - 1) << 16) << "the self-test log, cut at 0x218 bytes";
    for (size_t at = 52; at < 512; at += 4) EXPECT_EQ(Get32(block, at), 0u) << at;
}

// What a bridge cannot carry is never sent: the dispatcher says so once and sends nothing.
TEST_F(BridgeTransport, TheDispatcherSendsNothingABridgeCannotCarry) {
    const struct {
        const char* name;
        M bridge;
        bool nvme;
        AtaTaskFile tf;
        const char* logged;
    } refusals[] = {
        {"a feature's value through a tunnel without completions", M::ASMedia, true,
         [] { AtaTaskFile tf; tf.Command = ATA_SET_FEATURES; tf.Features = 0x02; return tf; }(),
         "ASMedia cannot carry this NVMe request: FEATURES"},
        {"a self-test through a tunnel", M::JMicronNVMe, true, SmartTaskFile(SMART_EXECUTE_OFFLINE, 0, 1),
         "JMicron NVMe cannot carry this NVMe request: SMART IMMEDIATE OFFLINE"},
        {"data to the drive through Cypress", M::Cypress, false, SmartTaskFile(SMART_WRITE_LOG, 1, 0xE0),
         "Cypress cannot carry data to the drive: SMART WRITE LOG SECTOR"},
        {"eight sectors through Cypress", M::Cypress, false, SmartTaskFile(SMART_READ_LOG, 8, 0x30),
         "Cypress cannot carry that many sectors: SMART READ LOG SECTOR"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.name);
        drive.BridgeMethod = static_cast<uint8_t>(r.bridge);
        drive.IsNVMe = r.nvme;
        drive.Log.clear();
        const unsigned before = Drive(0).RequestCount();
        EXPECT_FALSE(ExecuteCommand(drive, r.tf, buffer.data(), buffer.size()));
        EXPECT_FALSE(ExecuteCommand(drive, r.tf, buffer.data(), buffer.size()));
        EXPECT_EQ(Drive(0).RequestCount(), before);
        EXPECT_EQ(drive.Log, std::string("DEBUG - ") + r.logged);
    }
}

}  // namespace
