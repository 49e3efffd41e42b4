// The request buffers each transport builds, byte for byte as the simulated drive received them,
// and how each transport judges the reply.
#include <gtest/gtest.h>

#include <cstring>

#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "device/TIOCTL.h"
#include "device/Transports.h"
#include "platform/Storage.h"

using testmachine::OpenRecord;
using testmachine::SataDrive;
using M = AccessMethod;

namespace {

AtaTaskFile Identify() {
    AtaTaskFile tf;
    tf.Command = ATA_IDENTIFY_DEVICE;
    tf.SectorCount = 1;
    return tf;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) v.push_back(static_cast<uint8_t>(b));
    return v;
}

class Transport : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine m;
        m.Drives.push_back(SataDrive("S1", 0, {M::ATA, M::IDE, M::OLD, M::SAT, M::SCSI}));
        m.Drives[0].Logs[0x30] = std::vector<uint8_t>(8 * 512);
        for (size_t i = 0; i < m.Drives[0].Logs[0x30].size(); ++i)
            m.Drives[0].Logs[0x30][i] = static_cast<uint8_t>(i / 512 + 1);  // sector k holds k+1
        Install(std::move(m));
        drive = OpenRecord(0);
    }
    const std::vector<uint8_t>& Sent() { return Drive(0).LastInput; }
    uint32_t SentCode() { return Drive(0).History.back().ioControlCode; }
    void Fault(M method, sim::FaultKind kind) { Drive(0).Faults = {{method, -1, -1, kind, 0}}; }

    DriveRecord drive;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(8 * 512, 0xEE);
};

TEST_F(Transport, AtaPassThroughLayout) {
    ASSERT_TRUE(TransportATA(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    ASSERT_EQ(Sent().size(), AtaRequestSize);
    EXPECT_EQ(SentCode(), IOCTL_ATA_PASS_THROUGH);
    EXPECT_EQ(Get16(Sent().data(), 0), 40);
    EXPECT_EQ(Get16(Sent().data(), 2), 0);  // no buffer, no flags
    EXPECT_EQ(Get32(Sent().data(), 8), 0u);
    EXPECT_EQ(Get32(Sent().data(), 12), 20u);
    EXPECT_EQ(Get32(Sent().data(), 20), 44u);
    EXPECT_EQ(std::vector<uint8_t>(Sent().begin() + 24, Sent().begin() + 40),
              Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0xD8, 0, 0, 0x4F, 0xC2, 0, 0xB0, 0}));

    ASSERT_TRUE(TransportATA(drive, Identify(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(Get16(Sent().data(), 2), ATA_FLAGS_DATA_IN);
    EXPECT_EQ(Get32(Sent().data(), 8), 512u);
    EXPECT_EQ(std::memcmp(&Sent()[44], "Magic", 5), 0);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 512), Drive(0).Identify);
    EXPECT_EQ(buffer[512], 0xEE);  // one sector asked, one sector copied

    std::vector<uint8_t> data(512, 0x3C);
    ASSERT_TRUE(TransportATA(drive, SmartTaskFile(SMART_WRITE_LOG, 1, 0x80), data.data(), data.size(), true));
    EXPECT_EQ(Get16(Sent().data(), 2), ATA_FLAGS_DATA_OUT);
    EXPECT_EQ(std::vector<uint8_t>(Sent().begin() + 44, Sent().begin() + 44 + 512), data);
}

TEST_F(Transport, AtaPassThroughMovesEverySectorAsked) {
    ASSERT_TRUE(TransportATA(drive, SmartTaskFile(SMART_READ_LOG, 4, 0x30), buffer.data(), buffer.size(), false));
    EXPECT_EQ(Get32(Sent().data(), 8), 2048u);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[2047], 4);
    EXPECT_EQ(buffer[2048], 0xEE);
}

TEST_F(Transport, AtaPassThroughJudgesTheReturnedStatus) {
    // A drive without S.M.A.R.T. aborts ENABLE: status 0x51 has ERR but not DRQ, which still counts.
    Drive(0).Identify = testmachine::SataIdentify("S1").Word(82, 0x7468).Bytes();
    EXPECT_TRUE(TransportATA(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    // The same abort on a data-in command leaves the marker in place.
    EXPECT_FALSE(TransportATA(drive, SmartTaskFile(SMART_READ_DATA, 1), buffer.data(), buffer.size(), false));
    EXPECT_EQ(buffer[0], 0xEE);

    Fault(M::ATA, sim::FaultKind::ErrorStatus);  // ERR and DRQ together
    EXPECT_FALSE(TransportATA(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    Fault(M::ATA, sim::FaultKind::ZeroBytes);
    EXPECT_FALSE(TransportATA(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    Fault(M::ATA, sim::FaultKind::NoData);
    EXPECT_FALSE(TransportATA(drive, Identify(), buffer.data(), buffer.size(), false));
    EXPECT_TRUE(TransportATA(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    Fault(M::ATA, sim::FaultKind::Refuse);
    EXPECT_FALSE(TransportATA(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
}

TEST_F(Transport, IdePassThroughMovesOneSector) {
    ASSERT_TRUE(TransportIDE(drive, SmartTaskFile(SMART_READ_LOG, 4, 0x30), buffer.data(), buffer.size(), false));
    ASSERT_EQ(Sent().size(), IdeRequestSize);
    EXPECT_EQ(SentCode(), IOCTL_IDE_PASS_THROUGH);
    EXPECT_EQ(std::vector<uint8_t>(Sent().begin(), Sent().begin() + 8), Bytes({0xD5, 4, 0x30, 0x4F, 0xC2, 0, 0xB0, 0}));
    EXPECT_EQ(Get32(Sent().data(), 8), 512u);
    EXPECT_EQ(std::memcmp(&Sent()[12], "Magic", 5), 0);
    EXPECT_EQ(buffer[511], 1);
    EXPECT_EQ(buffer[512], 0xEE);

    ASSERT_TRUE(TransportIDE(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    EXPECT_EQ(Get32(Sent().data(), 8), 0u);
    Fault(M::IDE, sim::FaultKind::ErrorStatus);
    EXPECT_FALSE(TransportIDE(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    Fault(M::IDE, sim::FaultKind::NoData);
    EXPECT_FALSE(TransportIDE(drive, Identify(), buffer.data(), buffer.size(), false));
}

TEST_F(Transport, LegacyRequestsUseTwoBuffersAndTheDriverStatus) {
    ASSERT_TRUE(TransportOLD(drive, SmartTaskFile(SMART_READ_LOG, 4, 0x30), buffer.data(), buffer.size(), false));
    EXPECT_EQ(SentCode(), SMART_RCV_DRIVE_DATA);
    ASSERT_EQ(Sent().size(), SendCmdInSize);
    EXPECT_EQ(Get32(Sent().data(), 0), 512u);
    EXPECT_EQ(std::vector<uint8_t>(Sent().begin() + 4, Sent().end()),
              Bytes({0xD5, 4, 0x30, 0x4F, 0xC2, 0, 0xB0, 0, /*drive number*/ 0, 0, 0, 0, 0, 0, 0, 0,
                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(buffer[511], 1);
    EXPECT_EQ(buffer[512], 0xEE);

    ASSERT_TRUE(TransportOLD(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    EXPECT_EQ(SentCode(), SMART_SEND_DRIVE_COMMAND);
    EXPECT_EQ(Get32(Sent().data(), 0), 0u);

    Drive(0).Identify = testmachine::SataIdentify("S1").Word(82, 0x7468).Bytes();  // aborts S.M.A.R.T.
    EXPECT_FALSE(TransportOLD(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    Fault(M::OLD, sim::FaultKind::NoData);
    EXPECT_FALSE(TransportOLD(drive, Identify(), buffer.data(), buffer.size(), false));
}

TEST_F(Transport, SatCommandBlocks) {
    const auto cdb = [&] { return std::vector<uint8_t>(Sent().begin() + 28, Sent().begin() + 44); };
    ASSERT_TRUE(TransportSAT(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    ASSERT_EQ(Sent().size(), SatRequestSize);
    EXPECT_EQ(SentCode(), IOCTL_SCSI_PASS_THROUGH);
    EXPECT_EQ(Get16(Sent().data(), 0), 44);
    EXPECT_EQ(Sent()[6], 12);
    EXPECT_EQ(Sent()[8], 0);
    EXPECT_EQ(Get32(Sent().data(), 12), 0u);
    EXPECT_EQ(Get32(Sent().data(), 16), 20u);
    EXPECT_EQ(Get32(Sent().data(), 20), 44u);
    EXPECT_EQ(cdb(), Bytes({0xA1, 0x06, 0x0C, 0xD8, 0, 0, 0x4F, 0xC2, 0, 0xB0, 0, 0, 0, 0, 0, 0}));

    ASSERT_TRUE(TransportSAT(drive, Identify(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(cdb(), Bytes({0xA1, 0x08, 0x0E, 0, 1, 0, 0, 0, 0, 0xEC, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Sent()[8], 1);
    EXPECT_EQ(Get32(Sent().data(), 12), 512u);

    std::vector<uint8_t> data(512, 0x77);
    ASSERT_TRUE(TransportSAT(drive, SmartTaskFile(SMART_WRITE_LOG, 1, 0x80), data.data(), data.size(), true));
    EXPECT_EQ(cdb(), Bytes({0xA1, 0x0A, 0x06, 0xD6, 1, 0x80, 0x4F, 0xC2, 0, 0xB0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Sent()[8], 0);
    EXPECT_EQ(std::vector<uint8_t>(Sent().begin() + 44, Sent().begin() + 556), data);

    ASSERT_TRUE(TransportSAT(drive, SmartTaskFile(SMART_READ_LOG, 8, 0x30), buffer.data(), buffer.size(), false));
    EXPECT_EQ(Get32(Sent().data(), 12), 4096u);
    EXPECT_EQ(buffer[4095], 8);
}

// A bridge that completes the request without running it is caught by the marker on reads only.
TEST_F(Transport, SatBridgeThatDoesNothing) {
    Fault(M::SAT, sim::FaultKind::NoData);
    EXPECT_FALSE(TransportSAT(drive, Identify(), buffer.data(), buffer.size(), false));
    EXPECT_TRUE(TransportSAT(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
}

TEST_F(Transport, MiniportControlCodesAndReplyChecks) {
    struct Case { AtaTaskFile tf; uint32_t code; };
    const Case cases[] = {
        {Identify(), 0x001B0501},
        {SmartTaskFile(0xD0, 1), 0x001B0502}, {SmartTaskFile(0xD1, 1), 0x001B0503},
        {SmartTaskFile(0xD2), 0x001B0507},    {SmartTaskFile(0xD4), 0x001B0509},
        {SmartTaskFile(0xD5, 1), 0x001B050B}, {SmartTaskFile(0xD8), 0x001B0504},
        {SmartTaskFile(0xD9), 0x001B0505},    {SmartTaskFile(0xDA), 0x001B0506},
        {SmartTaskFile(0xDB), 0x001B050A},    {SmartTaskFile(0xD3), 0},
        {SmartTaskFile(0xD7), 0},
    };
    for (const Case& c : cases) {
        TransportSCSI(drive, c.tf, nullptr, 0, false);
        EXPECT_EQ(Get32(Sent().data(), 16), c.code) << std::hex << int(c.tf.Features);
    }
    // An unknown code is still sent, and the miniport's refusal is seen in ReturnCode.
    const unsigned before = Drive(0).Requests[M::SCSI];
    EXPECT_FALSE(TransportSCSI(drive, SmartTaskFile(0xD3), nullptr, 0, false));
    EXPECT_EQ(Drive(0).Requests[M::SCSI], before + 1);

    Drive(0).SmartEnabled = true;  // the loop sent DISABLE OPERATIONS
    ASSERT_TRUE(TransportSCSI(drive, SmartTaskFile(SMART_READ_LOG, 8, 0x30), buffer.data(), buffer.size(), false));
    ASSERT_EQ(Sent().size(), MiniportRequestSize);
    EXPECT_EQ(SentCode(), IOCTL_SCSI_MINIPORT);
    EXPECT_EQ(Get32(Sent().data(), 0), 28u);
    EXPECT_EQ(std::string(Sent().begin() + 4, Sent().begin() + 12), "SCSIDISK");
    EXPECT_EQ(Get32(Sent().data(), 12), 20u);
    EXPECT_EQ(Get32(Sent().data(), 24), 544u);
    EXPECT_EQ(Get32(Sent().data(), 28), 512u);
    EXPECT_EQ(std::memcmp(&Sent()[60], "Magic", 5), 0);
    EXPECT_EQ(buffer[511], 1);
    EXPECT_EQ(buffer[512], 0xEE);  // one sector only

    Drive(0).Identify = testmachine::SataIdentify("S1").Word(82, 0x7468).Bytes();
    EXPECT_FALSE(TransportSCSI(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));  // bDriverError
    Drive(0).Identify = testmachine::SataIdentify("S1").Bytes();
    Fault(M::SCSI, sim::FaultKind::ErrorStatus);  // ReturnCode
    EXPECT_FALSE(TransportSCSI(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));

    Drive(0).Faults.clear();
    std::vector<uint8_t> data(512, 0x41);
    ASSERT_TRUE(TransportSCSI(drive, SmartTaskFile(SMART_WRITE_LOG, 1, 0x80), data.data(), data.size(), true));
    EXPECT_EQ(Get32(Sent().data(), 16), 0x001B050Cu);
    EXPECT_EQ(std::vector<uint8_t>(Sent().begin() + 60, Sent().begin() + 572), data);
}

// Requests the transports built, replayed with one field changed: what a real stack rejects, the
// simulated one fails.
TEST_F(Transport, StacksRefuseRequestsThatContradictThemselves) {
    ASSERT_TRUE(TransportSAT(drive, Identify(), buffer.data(), buffer.size(), false));
    const std::vector<uint8_t> satRead = Sent();
    std::vector<uint8_t> data(512, 0x77);
    ASSERT_TRUE(TransportSAT(drive, SmartTaskFile(SMART_WRITE_LOG, 1, 0x80), data.data(), data.size(), true));
    const std::vector<uint8_t> satWrite = Sent();
    ASSERT_TRUE(TransportSAT(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    const std::vector<uint8_t> satNone = Sent();
    ASSERT_TRUE(TransportSCSI(drive, Identify(), buffer.data(), buffer.size(), false));
    const std::vector<uint8_t> miniport = Sent();
    constexpr size_t SatFlags = 28 + 2, SatDirection = 8, MiniportLength = 24;

    struct Case {
        const char* what;
        const std::vector<uint8_t>& request;
        uint32_t code;
        size_t at;
        uint32_t value;  // replaces one byte, or the 32-bit field at a miniport length
    };
    const Case cases[] = {
        {"SAT read as it was", satRead, IOCTL_SCSI_PASS_THROUGH, SatFlags, 0x0E},
        {"SAT read towards the drive", satRead, IOCTL_SCSI_PASS_THROUGH, SatFlags, 0x06},
        {"SAT read without a length", satRead, IOCTL_SCSI_PASS_THROUGH, SatFlags, 0x0C},
        {"SAT read counted in bytes", satRead, IOCTL_SCSI_PASS_THROUGH, SatFlags, 0x0A},
        {"SAT read, pass-through direction out", satRead, IOCTL_SCSI_PASS_THROUGH, SatDirection, 0},
        {"SAT write from the drive", satWrite, IOCTL_SCSI_PASS_THROUGH, SatFlags, 0x0E},
        {"SAT non-data with a length", satNone, IOCTL_SCSI_PASS_THROUGH, SatFlags, 0x0E},
        {"miniport as it was", miniport, IOCTL_SCSI_MINIPORT, MiniportLength, 544},
        {"miniport length past the buffer", miniport, IOCTL_SCSI_MINIPORT, MiniportLength, 545},
        {"miniport length without a sector", miniport, IOCTL_SCSI_MINIPORT, MiniportLength, 288},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> r = c.request;
        if (c.code == IOCTL_SCSI_MINIPORT)
            Put32(r.data(), c.at, c.value);
        else
            r[c.at] = static_cast<uint8_t>(c.value);
        const bool unchanged = r == c.request;
        uint32_t returned = 0;
        const uint32_t size = static_cast<uint32_t>(r.size());
        EXPECT_EQ(platform::DeviceIoControl(drive.Handle, c.code, r.data(), size, r.data(), size, returned), unchanged)
            << c.what;
    }
}

TEST(Marker, IsExactlyFiveCaseSensitiveBytes) {
    uint8_t area[8] = {};
    WriteMarker(area);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(area), 5), "Magic");
    EXPECT_EQ(area[5], 0);
    EXPECT_TRUE(MarkerPresent(area));
    area[0] = 'm';
    EXPECT_FALSE(MarkerPresent(area));
    area[0] = 'M';
    area[4] = 'C';
    EXPECT_FALSE(MarkerPresent(area));
}

}  // namespace
