// NVMe drives: the property queries and protocol command the transport builds, what comes back,
// and the dispatcher's NVMe and USB orders end to end.
#include <gtest/gtest.h>

#include "TestMachine.h"
#include "discovery/NvmeIdentify.h"
#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "device/TIOCTL.h"
#include "device/Transports.h"

using testmachine::OpenRecord;
using M = AccessMethod;

namespace {

class Nvme : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine m = sim::DefaultMachine();
        sim::Drive nvme = m.Drives[4];
        ASSERT_TRUE(nvme.Accepts(M::NVMe));
        nvme.NvmeFeatureData[0x0D] = {0x00, 0x20, 0x00, 0x00};  // 8192 pages
        nvme.NvmeLogs[0x30] = std::vector<uint8_t>(512, 0x99);
        m.Drives = {nvme};
        Install(std::move(m));
        drive = OpenRecord(0, false, true);
    }
    const std::vector<uint8_t>& Sent() { return Drive(0).LastInput; }
    unsigned Requests() { return Drive(0).Requests[M::NVMe]; }
    static AtaTaskFile IdentifyTf(uint8_t cns, uint8_t nsid) {
        AtaTaskFile tf;
        tf.Command = ATA_IDENTIFY_DEVICE;
        tf.SectorCount = cns;
        tf.SectorNumber = nsid;
        return tf;
    }
    static AtaTaskFile FeatureTf(uint8_t fid) {
        AtaTaskFile tf;
        tf.Command = ATA_SET_FEATURES;
        tf.Features = fid;
        return tf;
    }
    static AtaTaskFile SelfTestTf(uint8_t code) { return SmartTaskFile(SMART_EXECUTE_OFFLINE, 0, code); }

    DriveRecord drive;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(4096 + 64, 0xEE);
};

TEST_F(Nvme, IdentifyAsksTheAdapterForTheControllerAndTheDeviceForANamespace) {
    ASSERT_TRUE(TransportNVMe(drive, IdentifyTf(1, 0), buffer.data(), buffer.size(), false));
    ASSERT_EQ(Sent().size(), NvmeQuerySize);
    EXPECT_EQ(Drive(0).History.back().ioControlCode, IOCTL_STORAGE_QUERY_PROPERTY);
    EXPECT_EQ(Get32(Sent().data(), 0), 49u);
    EXPECT_EQ(Get32(Sent().data(), 4), 0u);
    EXPECT_EQ(Get32(Sent().data(), 8), 3u);
    EXPECT_EQ(Get32(Sent().data(), 12), 1u);
    EXPECT_EQ(Get32(Sent().data(), 16), 1u);
    EXPECT_EQ(Get32(Sent().data(), 20), 0u);
    EXPECT_EQ(Get32(Sent().data(), 24), 40u);
    EXPECT_EQ(Get32(Sent().data(), 28), 4096u);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4096), Drive(0).NvmeIdentifyController);
    EXPECT_EQ(buffer[4096], 0xEE);

    ASSERT_TRUE(TransportNVMe(drive, IdentifyTf(0, 1), buffer.data(), buffer.size(), false));
    EXPECT_EQ(Get32(Sent().data(), 0), 50u);
    EXPECT_EQ(Get32(Sent().data(), 16), 0u);
    EXPECT_EQ(Get32(Sent().data(), 20), 1u);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 4096), Drive(0).NvmeNamespaces[1]);

    EXPECT_FALSE(TransportNVMe(drive, IdentifyTf(0, 2), buffer.data(), buffer.size(), false));  // no namespace 2
    const unsigned before = Requests();
    EXPECT_FALSE(TransportNVMe(drive, IdentifyTf(1, 0), buffer.data(), 512, false));  // too small: not sent
    EXPECT_EQ(Requests(), before);
}

TEST_F(Nvme, LogPagesCopyTheirOwnSizeOnly) {
    ASSERT_TRUE(TransportNVMe(drive, SmartTaskFile(SMART_READ_DATA, 1), buffer.data(), buffer.size(), false));
    EXPECT_EQ(Get32(Sent().data(), 0), 50u);
    EXPECT_EQ(Get32(Sent().data(), 12), 2u);
    EXPECT_EQ(Get32(Sent().data(), 16), 2u);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 512), Drive(0).NvmeLogs[0x02]);
    EXPECT_EQ(buffer[512], 0xEE);

    Drive(0).NvmeLogs[0x06].assign(564, 0x5C);
    ASSERT_TRUE(TransportNVMe(drive, SmartTaskFile(SMART_READ_LOG, 1, 6), buffer.data(), buffer.size(), false));
    EXPECT_EQ(Get32(Sent().data(), 16), 6u);
    EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + 564, 0x5C), 564);
    EXPECT_EQ(buffer[564], 0xEE);

    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_TRUE(TransportNVMe(drive, SmartTaskFile(SMART_READ_LOG, 1, 0x30), buffer.data(), buffer.size(), false));
    EXPECT_EQ(Get32(Sent().data(), 16), 0x30u);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xEE), static_cast<long>(buffer.size()));  // untouched
}

TEST_F(Nvme, GetFeaturesReturnsTheCompletionValue) {
    uint8_t value[4] = {};
    ASSERT_TRUE(TransportNVMe(drive, FeatureTf(0x07), value, sizeof value, false));
    EXPECT_EQ(Get32(Sent().data(), 12), 3u);
    EXPECT_EQ(Get32(Sent().data(), 16), 7u);
    EXPECT_EQ(Get32(value, 0), 0x007F007Fu);
    EXPECT_EQ(drive.HMB_Size, 0u);

    ASSERT_TRUE(TransportNVMe(drive, FeatureTf(0x0D), value, sizeof value, false));
    EXPECT_EQ(drive.HMB_Size, 8192u);  // memory pages; converted to bytes by the identification

    EXPECT_FALSE(TransportNVMe(drive, FeatureTf(0x10), value, sizeof value, false));  // not supported
    const unsigned before = Requests();
    EXPECT_FALSE(TransportNVMe(drive, FeatureTf(0x07), value, 3, false));
    EXPECT_EQ(Requests(), before);
}

TEST_F(Nvme, SelfTestIsAProtocolCommandThatMayBeThrottled) {
    Drive(0).NvmeThrottledSelfTests = 2;
    EXPECT_FALSE(TransportNVMe(drive, SelfTestTf(1), nullptr, 0, false));
    EXPECT_TRUE(SelfTestThrottled);
    const std::vector<uint8_t> c = Sent();
    ASSERT_EQ(c.size(), NvmeCommandSize);
    EXPECT_EQ(Drive(0).History.back().ioControlCode, IOCTL_STORAGE_PROTOCOL_COMMAND);
    EXPECT_EQ(Get32(c.data(), 0), 1u);
    EXPECT_EQ(Get32(c.data(), 4), 84u);
    EXPECT_EQ(Get32(c.data(), 8), 3u);
    EXPECT_EQ(Get32(c.data(), 12), 0x80000000u);
    EXPECT_EQ(Get32(c.data(), 24), 64u);
    EXPECT_EQ(Get32(c.data(), 40), 60u);
    EXPECT_EQ(Get32(c.data(), 56), 1u);
    EXPECT_EQ(Get32(c.data(), 80), 0x14u);
    EXPECT_EQ(Get32(c.data(), 84), 0xFFFFFFFFu);
    EXPECT_EQ(Get32(c.data(), 120), 1u);

    SelfTestThrottled = false;
    EXPECT_FALSE(ExecuteCommand(drive, SelfTestTf(1)));
    EXPECT_TRUE(SelfTestThrottled);
    EXPECT_EQ(drive.Log, "");  // the throttled request is not reported
    EXPECT_TRUE(ExecuteCommand(drive, SelfTestTf(2)));
    EXPECT_FALSE(SelfTestThrottled);
    EXPECT_EQ(Drive(0).NvmeSelfTests, std::vector<uint32_t>{2});

    Drive(0).NvmeIdentifyController[256] &= ~0x10;  // no self-test support: refused, and reported
    EXPECT_FALSE(ExecuteCommand(drive, SelfTestTf(1)));
    EXPECT_FALSE(SelfTestThrottled);
    EXPECT_NE(drive.Log.find("Features - IMMEDIATE OFFLINE\r\nSectorNumber - 1"), std::string::npos);
}

TEST_F(Nvme, WhatNvmeCannotCarryIsRefusedWithoutARequest) {
    for (uint8_t features : {0xD1, 0xD2, 0xD6, 0xD8, 0xD9, 0xDA}) {
        const unsigned before = Requests();
        EXPECT_FALSE(TransportNVMe(drive, SmartTaskFile(features, 1), buffer.data(), buffer.size(), false));
        EXPECT_EQ(Requests(), before) << std::hex << int(features);
    }
    AtaTaskFile power;
    power.Command = ATA_CHECK_POWER_MODE;
    EXPECT_FALSE(TransportNVMe(drive, power, nullptr, 0, false));
    EXPECT_EQ(Requests(), 0u);
}

TEST_F(Nvme, FaultsApplyPerNvmeRequest) {
    uint8_t value[4] = {};
    Drive(0).Faults = {{M::NVMe, 0xEF, 0x0D, sim::FaultKind::Refuse, 0},
                       {M::NVMe, 0xEC, -1, sim::FaultKind::FailFirst, 1},
                       {M::NVMe, 0xB0, 0xD4, sim::FaultKind::ErrorStatus, 0},
                       {M::NVMe, 0xB0, 0xD0, sim::FaultKind::NoData, 0}};
    EXPECT_FALSE(TransportNVMe(drive, FeatureTf(0x0D), value, sizeof value, false));
    EXPECT_TRUE(TransportNVMe(drive, FeatureTf(0x07), value, sizeof value, false));
    EXPECT_FALSE(TransportNVMe(drive, IdentifyTf(1, 0), buffer.data(), buffer.size(), false));
    EXPECT_TRUE(TransportNVMe(drive, IdentifyTf(1, 0), buffer.data(), buffer.size(), false));
    EXPECT_FALSE(TransportNVMe(drive, SelfTestTf(1), nullptr, 0, false));
    EXPECT_FALSE(SelfTestThrottled);
    EXPECT_TRUE(Drive(0).NvmeSelfTests.empty());
    // A health read the stack completes without data hands back zeros: the query form has no marker.
    std::fill(buffer.begin(), buffer.end(), 0xEE);
    EXPECT_TRUE(TransportNVMe(drive, SmartTaskFile(SMART_READ_DATA, 1), buffer.data(), buffer.size(), false));
    EXPECT_EQ(std::count(buffer.begin(), buffer.begin() + 512, 0), 512);
    EXPECT_EQ(Requests(), 6u);
}

// An NVMe stack that also takes ATA pass-through: what NVMe cannot carry goes there, logged once.
TEST_F(Nvme, FallsBackToAtaAndScsiOnce) {
    Drive(0).Methods = {M::NVMe, M::ATA};
    uint8_t sector[512];
    EXPECT_TRUE(ExecuteCommand(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS)));  // aborted, status 0x51 counts
    EXPECT_TRUE(ExecuteCommand(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS)));
    EXPECT_FALSE(ExecuteCommand(drive, SmartTaskFile(SMART_READ_THRESHOLDS, 1), sector, sizeof sector));
    EXPECT_EQ(drive.Log.find("DEBUG - NVMe via ATA"), 0u);
    EXPECT_EQ(drive.Log.rfind("NVMe via ATA"), drive.Log.find("NVMe via ATA"));
    EXPECT_TRUE(drive.UsedNVMe_ATA);
    EXPECT_EQ(Requests(), 0u);
    EXPECT_EQ(Drive(0).Requests[M::ATA], 3u);
    EXPECT_EQ(Drive(0).Requests[M::SCSI], 1u);  // tried after ATA for the thresholds
}

// The header fields the NVMe driver checks: the protocol data must fit the buffer, and Identify
// needs room for its whole page.
TEST_F(Nvme, QueriesTheDriverWouldRefuseFail) {
    ASSERT_TRUE(TransportNVMe(drive, IdentifyTf(1, 0), buffer.data(), buffer.size(), false));
    const std::vector<uint8_t> identify = Sent();
    uint8_t value[4];
    ASSERT_TRUE(TransportNVMe(drive, FeatureTf(0x07), value, sizeof value, false));
    const std::vector<uint8_t> feature = Sent();
    const struct {
        const char* what;
        const std::vector<uint8_t>& request;
        uint32_t dataLength;
        bool answered;
    } cases[] = {
        {"identify as sent", identify, 4096, true},
        {"identify longer than the buffer", identify, 4097, false},
        {"identify without room for its page", identify, 512, false},
        {"feature with no protocol data", feature, 0, true},
        {"feature longer than the buffer", feature, 0x10000, false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> r = c.request;
        Put32(r.data(), 28, c.dataLength);  // ProtocolDataLength
        uint32_t returned = 0;
        const uint32_t size = static_cast<uint32_t>(r.size());
        EXPECT_EQ(platform::DeviceIoControl(drive.Handle, IOCTL_STORAGE_QUERY_PROPERTY, r.data(), size, r.data(), size,
                                            returned),
                  c.answered)
            << c.what;
    }
}

// Over ATA or SCSI a Get Features would become SET FEATURES with the feature identifier as its
// subcommand: it goes to NVMe only, while other requests keep their fallbacks.
TEST_F(Nvme, GetFeaturesNeverFallsBackToAtaOrScsi) {
    Drive(0).Methods = {M::NVMe, M::ATA, M::SCSI};
    Drive(0).Faults = {{M::NVMe, 0xEF, -1, sim::FaultKind::Refuse, 0}};
    for (uint8_t fid : {0x02, 0x03, 0x06}) {  // write cache, transfer mode, power-up in standby
        uint32_t value = 0;
        EXPECT_FALSE(GetFeature(drive, fid, value)) << int(fid);
    }
    EXPECT_EQ(Requests(), 3u);
    EXPECT_EQ(Drive(0).Requests[M::ATA], 0u);
    EXPECT_EQ(Drive(0).Requests[M::SCSI], 0u);
    EXPECT_NE(drive.Log.find("Features - NVME_FEATURE_POWER_MANAGEMENT"), std::string::npos) << "still reported";
    EXPECT_FALSE(drive.UsedNVMe_ATA || drive.UsedNVMe_SCSI);

    Drive(0).Faults = {{M::NVMe, -1, -1, sim::FaultKind::Refuse, 0}};
    EXPECT_TRUE(ExecuteCommand(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS)));
    EXPECT_EQ(Drive(0).Requests[M::ATA], 1u) << "the other requests fall back";
}

class UsbBridge : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine m = sim::DefaultMachine();
        m.Drives = {m.Drives[5]};
        Install(std::move(m));
        drive = OpenRecord(0, true);
    }
    DriveRecord drive;
    uint8_t sector[512] = {};
};

TEST_F(UsbBridge, ReadsThroughSatWithoutLogging) {
    AtaTaskFile tf;
    tf.Command = ATA_IDENTIFY_DEVICE;
    tf.SectorCount = 1;
    ASSERT_TRUE(ExecuteCommand(drive, tf, sector, sizeof sector));
    EXPECT_EQ(std::vector<uint8_t>(sector, sector + 512), Drive(0).Identify);
    EXPECT_EQ(drive.Log, "");
    EXPECT_EQ(Drive(0).RequestCount(), 1u);
}

// A bridge that completes commands without running them: reads are caught by the marker and go on
// to the next method; a non-data command looks done although the drive never saw it.
TEST_F(UsbBridge, BridgeThatDoesNotExecuteFallsBackOnReads) {
    Drive(0).Methods = {M::SAT, M::ATA};
    Drive(0).Faults.push_back({M::SAT, -1, -1, sim::FaultKind::NoData, 0});
    Drive(0).SmartEnabled = false;
    EXPECT_TRUE(ExecuteCommand(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS)));
    EXPECT_FALSE(Drive(0).SmartEnabled);
    EXPECT_EQ(drive.Log, "");
    Drive(0).SmartEnabled = true;
    ASSERT_TRUE(ExecuteCommand(drive, SmartTaskFile(SMART_READ_DATA, 1), sector, sizeof sector));
    ASSERT_TRUE(ExecuteCommand(drive, SmartTaskFile(SMART_READ_DATA, 1), sector, sizeof sector));
    EXPECT_EQ(std::vector<uint8_t>(sector, sector + 512), Drive(0).SmartData);
    EXPECT_EQ(drive.Log, "DEBUG - USB via ATA");
    EXPECT_TRUE(drive.UsedUSB_ATA);
}

TEST_F(UsbBridge, FailingBridgeWithNothingBehindIsReported) {
    Drive(0).Faults.push_back({M::SAT, -1, -1, sim::FaultKind::Refuse, 0});
    EXPECT_FALSE(ExecuteCommand(drive, SmartTaskFile(SMART_READ_DATA, 1), sector, sizeof sector));
    EXPECT_EQ(drive.Log, "DEBUG - IOCTL failed.\r\nCommand - SMART\r\nFeatures - READ VALUES\r\nSectorNumber - 0\r\n"
                         "Time - 3:04:05 PM");
    EXPECT_EQ(Drive(0).RequestCount(), 5u);  // SAT, ATA, SCSI, OLD, IDE
}

}  // namespace
