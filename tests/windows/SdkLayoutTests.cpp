// The request buffers the transports build, read back through the structures of the Windows headers:
// each transport runs against a simulated drive, the bytes the drive received are copied into the
// header's structure and every field the transport sets is compared; replies are written through
// the same structures and the transport must find what they hold. The I/O control codes, interface
// classes and property keys of the platform interface are compared with the headers' too.
//
// The program's own headers come first: several of their names are macros in the Windows headers.
#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "device/DriveRecord.h"
#include "protocol/IoctlCodes.h"
#include "device/TIOCTL.h"
#include "platform/Storage.h"
#include "platform/sim/SimMachine.h"

namespace ours {
constexpr uint32_t AtaPassThrough = IOCTL_ATA_PASS_THROUGH;
constexpr uint32_t IdePassThrough = IOCTL_IDE_PASS_THROUGH;
constexpr uint32_t SmartReceive = SMART_RCV_DRIVE_DATA;
constexpr uint32_t SmartSend = SMART_SEND_DRIVE_COMMAND;
constexpr uint32_t ScsiPassThrough = IOCTL_SCSI_PASS_THROUGH;
constexpr uint32_t ScsiMiniport = IOCTL_SCSI_MINIPORT;
constexpr uint32_t QueryProperty = IOCTL_STORAGE_QUERY_PROPERTY;
constexpr uint32_t ProtocolCommand = IOCTL_STORAGE_PROTOCOL_COMMAND;
constexpr uint16_t AtaDataIn = ATA_FLAGS_DATA_IN;
constexpr uint16_t AtaDataOut = ATA_FLAGS_DATA_OUT;
constexpr uint32_t PropertyTypeString = platform::DEVPROP_TYPE_STRING;
}  // namespace ours

#include <windows.h>
#include <devpropdef.h>

namespace sdk {
constexpr uint32_t PropertyTypeString = DEVPROP_TYPE_STRING;
}

#include "platform/win32/WindowsApi.h"

#include <ntddscsi.h>
#include <ntdddisk.h>
#include <ntddstor.h>
#include <nvme.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <vector>

// The interface classes and property keys are defined here, after every other header: winioctl.h
// defines its GUIDs each time it is included.
#include <initguid.h>
#include <winioctl.h>
#include <devpkey.h>

// Not in mingw-w64's headers, copied from the documented layout (winioctl.h of the Windows SDK):
// the request of IOCTL_STORAGE_PROTOCOL_COMMAND and the values the program uses with it.
struct StorageProtocolCommand {
    DWORD Version;
    DWORD Length;
    STORAGE_PROTOCOL_TYPE ProtocolType;
    DWORD Flags;
    DWORD ReturnStatus;
    DWORD ErrorCode;
    DWORD CommandLength;
    DWORD ErrorInfoLength;
    DWORD DataToDeviceTransferLength;
    DWORD DataFromDeviceTransferLength;
    DWORD TimeOutValue;
    DWORD ErrorInfoOffset;
    DWORD DataToDeviceBufferOffset;
    DWORD DataFromDeviceBufferOffset;
    DWORD CommandSpecific;
    DWORD Reserved0;
    DWORD FixedProtocolReturnData;
    DWORD Reserved1[3];
    BYTE Command[ANYSIZE_ARRAY];
};
constexpr DWORD StorageProtocolStructureVersion = 1;
constexpr DWORD StorageProtocolCommandFlagAdapterRequest = 0x80000000;
constexpr DWORD StorageProtocolSpecificNvmeAdminCommand = 0x01;
constexpr DWORD StorageProtocolStatusSuccess = 0x1;
constexpr DWORD StorageProtocolStatusError = 0x2;
constexpr DWORD StorageProtocolStatusThrottledRequest = 0x8;

// Not in mingw-w64's headers either: the request of IOCTL_IDE_PASS_THROUGH, the register block
// followed by the size and the data.
struct IdePassThroughRequest {
    IDEREGS IdeReg;
    ULONG DataBufferSize;
    UCHAR DataBuffer[1];
};

#include "windows/PortableGuid.h"
#include "device/Transports.h"

namespace {

using M = AccessMethod;

// The transports are written for the 32-bit program.
static_assert(sizeof(void*) == 4, "the Windows tests are built for i686");

template <class T>
T Overlay(const std::vector<uint8_t>& bytes, size_t offset = 0) {
    T value;
    std::memset(&value, 0, sizeof value);
    if (offset < bytes.size()) std::memcpy(&value, bytes.data() + offset, std::min(sizeof value, bytes.size() - offset));
    return value;
}

template <class T>
void Store(uint8_t* at, const T& value) {
    std::memcpy(at, &value, sizeof value);
}

AtaTaskFile IdentifyTaskFile() {
    AtaTaskFile tf;
    tf.Command = ID_CMD;
    tf.SectorCount = 1;
    return tf;
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i) v[i] = static_cast<uint8_t>(seed + i * 7);
    return v;
}

class SdkLayout : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine m;
        m.Drives.push_back(testmachine::SataDrive("SDK1", 0, {M::ATA, M::IDE, M::OLD, M::SAT, M::SCSI, M::NVMe}));
        Install(std::move(m));
        drive = testmachine::OpenRecord(0);
        ASSERT_NE(drive.Handle, platform::INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        sim::SetReplyHook(nullptr);
        MachineTest::TearDown();
    }

    const std::vector<uint8_t>& Sent() { return Drive(0).LastInput; }
    uint32_t SentCode() { return Drive(0).History.back().ioControlCode; }

    // Every later reply is the one `edit` writes into the output buffer, whatever the drive answered.
    void Reply(std::function<void(uint32_t code, uint8_t* out, uint32_t size)> edit) {
        sim::SetReplyHook([edit](uint32_t code, bool, uint8_t* out, uint32_t size, uint32_t& returned) {
            edit(code, out, size);
            returned = size;
            return true;
        });
    }

    DriveRecord drive;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(4096, 0xEE);
};

// --- ATA_PASS_THROUGH_EX -------------------------------------------------------------------------

TEST_F(SdkLayout, AtaPassThroughExRequest) {
    EXPECT_EQ(sizeof(ATA_PASS_THROUGH_EX), AtaHeaderSize);
    EXPECT_EQ(AtaRequestSize, AtaDataOffset + 255 * SectorSize);

    ASSERT_TRUE(TransportATA(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(SentCode(), static_cast<uint32_t>(IOCTL_ATA_PASS_THROUGH));
    ASSERT_EQ(Sent().size(), AtaRequestSize);
    auto apt = Overlay<ATA_PASS_THROUGH_EX>(Sent());
    EXPECT_EQ(apt.Length, sizeof(ATA_PASS_THROUGH_EX));
    EXPECT_EQ(apt.AtaFlags, ATA_FLAGS_DATA_IN);
    EXPECT_EQ(apt.DataTransferLength, static_cast<ULONG>(IDENTIFY_BUFFER_SIZE));
    EXPECT_EQ(apt.TimeOutValue, 20u);
    EXPECT_EQ(apt.DataBufferOffset, AtaDataOffset);
    EXPECT_GE(apt.DataBufferOffset, sizeof(ATA_PASS_THROUGH_EX));
    EXPECT_EQ(apt.PathId | apt.TargetId | apt.Lun, 0);
    const IDEREGS previous = Overlay<IDEREGS>(Sent(), offsetof(ATA_PASS_THROUGH_EX, PreviousTaskFile));
    EXPECT_EQ(previous.bCommandReg | previous.bFeaturesReg | previous.bSectorCountReg, 0);
    const IDEREGS current = Overlay<IDEREGS>(Sent(), offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile));
    EXPECT_EQ(current.bCommandReg, ID_CMD);
    EXPECT_EQ(current.bSectorCountReg, 1);
    EXPECT_EQ(std::memcmp(&Sent()[apt.DataBufferOffset], "Magic", 5), 0);

    ASSERT_TRUE(TransportATA(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    apt = Overlay<ATA_PASS_THROUGH_EX>(Sent());
    EXPECT_EQ(apt.AtaFlags, 0);
    EXPECT_EQ(apt.DataTransferLength, 0u);
    const IDEREGS smart = Overlay<IDEREGS>(Sent(), offsetof(ATA_PASS_THROUGH_EX, CurrentTaskFile));
    EXPECT_EQ(smart.bFeaturesReg, ENABLE_SMART);
    EXPECT_EQ(smart.bCylLowReg, SMART_CYL_LOW);
    EXPECT_EQ(smart.bCylHighReg, SMART_CYL_HI);
    EXPECT_EQ(smart.bCommandReg, SMART_CMD);

    const std::vector<uint8_t> data = Pattern(512, 3);
    std::vector<uint8_t> sent = data;
    ASSERT_TRUE(TransportATA(drive, SmartTaskFile(SMART_WRITE_LOG, 1, 0x80), sent.data(), sent.size(), true));
    apt = Overlay<ATA_PASS_THROUGH_EX>(Sent());
    EXPECT_EQ(apt.AtaFlags, ATA_FLAGS_DATA_OUT);
    EXPECT_EQ(apt.DataTransferLength, static_cast<ULONG>(SMART_LOG_SECTOR_SIZE));
    EXPECT_EQ(std::vector<uint8_t>(Sent().begin() + apt.DataBufferOffset, Sent().begin() + apt.DataBufferOffset + 512),
              data);
}

TEST_F(SdkLayout, AtaPassThroughExReply) {
    const std::vector<uint8_t> page = Pattern(512, 11);
    uint8_t status = 0x50;
    Reply([&](uint32_t, uint8_t* out, uint32_t) {
        ATA_PASS_THROUGH_EX apt;
        std::memcpy(&apt, out, sizeof apt);
        IDEREGS regs;
        std::memcpy(&regs, apt.CurrentTaskFile, sizeof regs);
        regs.bCommandReg = status;  // the status register comes back in the command register
        std::memcpy(apt.CurrentTaskFile, &regs, sizeof regs);
        Store(out, apt);
        std::memcpy(out + apt.DataBufferOffset, page.data(), page.size());
    });
    ASSERT_TRUE(TransportATA(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 512), page);

    status = 0x59;  // ERR and DRQ
    EXPECT_FALSE(TransportATA(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
}

// --- IDE pass-through --------------------------------------------------------------------------

TEST_F(SdkLayout, IdePassThroughRequestAndReply) {
    EXPECT_EQ(sizeof(IDEREGS), 8u);
    EXPECT_EQ(offsetof(IdePassThroughRequest, DataBuffer), IdeDataOffset);
    EXPECT_EQ(IdeRequestSize, IdeDataOffset + IDENTIFY_BUFFER_SIZE);

    ASSERT_TRUE(TransportIDE(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(SentCode(), static_cast<uint32_t>(IOCTL_IDE_PASS_THROUGH));
    ASSERT_EQ(Sent().size(), IdeRequestSize);
    const auto ide = Overlay<IdePassThroughRequest>(Sent());
    EXPECT_EQ(ide.IdeReg.bCommandReg, ID_CMD);
    EXPECT_EQ(ide.IdeReg.bSectorCountReg, 1);
    EXPECT_EQ(ide.DataBufferSize, static_cast<ULONG>(IDENTIFY_BUFFER_SIZE));

    Reply([](uint32_t, uint8_t* out, uint32_t) {
        IDEREGS regs;
        std::memcpy(&regs, out, sizeof regs);
        regs.bCommandReg = 0x51;  // ERR
        Store(out, regs);
        std::memset(out + offsetof(IdePassThroughRequest, DataBuffer), 0, 512);
    });
    EXPECT_FALSE(TransportIDE(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
}

// --- SENDCMDINPARAMS / SENDCMDOUTPARAMS ----------------------------------------------------------

TEST_F(SdkLayout, LegacySmartRequest) {
    EXPECT_EQ(sizeof(SENDCMDINPARAMS), 33u);
    EXPECT_EQ(offsetof(SENDCMDINPARAMS, irDriveRegs), 4u);
    EXPECT_EQ(offsetof(SENDCMDINPARAMS, bBuffer), SendCmdInSize);

    ASSERT_TRUE(TransportOLD(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(SentCode(), static_cast<uint32_t>(SMART_RCV_DRIVE_DATA));
    ASSERT_EQ(Sent().size(), offsetof(SENDCMDINPARAMS, bBuffer));  // no data byte is sent
    auto in = Overlay<SENDCMDINPARAMS>(Sent());
    EXPECT_EQ(in.cBufferSize, static_cast<DWORD>(IDENTIFY_BUFFER_SIZE));
    EXPECT_EQ(in.irDriveRegs.bCommandReg, ID_CMD);
    EXPECT_EQ(in.irDriveRegs.bSectorCountReg, 1);
    EXPECT_EQ(in.bDriveNumber, 0);

    ASSERT_TRUE(TransportOLD(drive, SmartTaskFile(SMART_ENABLE_OPERATIONS), nullptr, 0, false));
    EXPECT_EQ(SentCode(), static_cast<uint32_t>(SMART_SEND_DRIVE_COMMAND));
    in = Overlay<SENDCMDINPARAMS>(Sent());
    EXPECT_EQ(in.cBufferSize, 0u);
    EXPECT_EQ(in.irDriveRegs.bFeaturesReg, ENABLE_SMART);
    EXPECT_EQ(in.irDriveRegs.bCylLowReg, SMART_CYL_LOW);
    EXPECT_EQ(in.irDriveRegs.bCylHighReg, SMART_CYL_HI);
    EXPECT_EQ(in.irDriveRegs.bCommandReg, SMART_CMD);
}

TEST_F(SdkLayout, LegacySmartReply) {
    EXPECT_EQ(offsetof(SENDCMDOUTPARAMS, DriverStatus), 4u);
    EXPECT_EQ(offsetof(SENDCMDOUTPARAMS, bBuffer), SendCmdOutDataOffset);
    EXPECT_EQ(sizeof(SENDCMDOUTPARAMS) - 1 + READ_ATTRIBUTE_BUFFER_SIZE, SendCmdOutSize);

    const std::vector<uint8_t> page = Pattern(512, 29);
    BYTE driverError = SMART_NO_ERROR;
    uint32_t outSize = 0;
    Reply([&](uint32_t, uint8_t* out, uint32_t size) {
        outSize = size;
        SENDCMDOUTPARAMS reply;
        std::memset(&reply, 0, sizeof reply);
        reply.cBufferSize = 512;
        reply.DriverStatus.bDriverError = driverError;
        Store(out, reply);
        std::memcpy(out + offsetof(SENDCMDOUTPARAMS, bBuffer), page.data(), page.size());
    });
    ASSERT_TRUE(TransportOLD(drive, SmartTaskFile(SMART_READ_DATA), buffer.data(), buffer.size(), false));
    EXPECT_EQ(outSize, sizeof(SENDCMDOUTPARAMS) - 1 + READ_ATTRIBUTE_BUFFER_SIZE);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 512), page);

    driverError = SMART_IDE_ERROR;
    EXPECT_FALSE(TransportOLD(drive, SmartTaskFile(SMART_READ_DATA), buffer.data(), buffer.size(), false));
}

// --- SCSI_PASS_THROUGH ---------------------------------------------------------------------------

TEST_F(SdkLayout, ScsiPassThroughRequest) {
    EXPECT_EQ(sizeof(SCSI_PASS_THROUGH), 44u);
    EXPECT_EQ(offsetof(SCSI_PASS_THROUGH, Cdb), 28u);
    EXPECT_EQ(SatRequestSize, sizeof(SCSI_PASS_THROUGH) + 255 * SectorSize);

    ASSERT_TRUE(TransportSAT(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(SentCode(), static_cast<uint32_t>(IOCTL_SCSI_PASS_THROUGH));
    ASSERT_EQ(Sent().size(), SatRequestSize);
    auto spt = Overlay<SCSI_PASS_THROUGH>(Sent());
    EXPECT_EQ(spt.Length, sizeof(SCSI_PASS_THROUGH));
    EXPECT_EQ(spt.CdbLength, 12);
    EXPECT_EQ(spt.SenseInfoLength, 0);
    EXPECT_EQ(spt.DataIn, SCSI_IOCTL_DATA_IN);
    EXPECT_EQ(spt.DataTransferLength, static_cast<ULONG>(IDENTIFY_BUFFER_SIZE));
    EXPECT_EQ(spt.TimeOutValue, 20u);
    EXPECT_EQ(spt.DataBufferOffset, SatDataOffset);
    EXPECT_GE(spt.DataBufferOffset, sizeof(SCSI_PASS_THROUGH));
    EXPECT_EQ(spt.Cdb[0], 0xA1);  // ATA PASS-THROUGH (12)
    EXPECT_EQ(spt.Cdb[9], ID_CMD);

    std::vector<uint8_t> data = Pattern(512, 5);
    ASSERT_TRUE(TransportSAT(drive, SmartTaskFile(SMART_WRITE_LOG, 1, 0x80), data.data(), data.size(), true));
    spt = Overlay<SCSI_PASS_THROUGH>(Sent());
    EXPECT_EQ(spt.DataIn, SCSI_IOCTL_DATA_OUT);
    EXPECT_EQ(spt.DataTransferLength, static_cast<ULONG>(SMART_LOG_SECTOR_SIZE));
    EXPECT_EQ(std::vector<uint8_t>(Sent().begin() + spt.DataBufferOffset, Sent().begin() + spt.DataBufferOffset + 512),
              data);
}

// A USB bridge's own command block: the same structure with a sense area between it and the data.
TEST_F(SdkLayout, BridgeCommandBlock) {
    EXPECT_GE(BridgeSenseOffset, sizeof(SCSI_PASS_THROUGH));
    EXPECT_GE(BridgeDataOffset, BridgeSenseOffset + BridgeSenseSize);
    EXPECT_EQ(BridgeDataOffset % sizeof(ULONG), 0u);
    const struct {
        TransportFunction transport;
        AtaTaskFile tf;
        bool dataOut;
        UCHAR direction;
    } blocks[] = {
        {TransportSunplus, IdentifyTaskFile(), false, SCSI_IOCTL_DATA_IN},
        {TransportProlific, SmartTaskFile(SMART_WRITE_LOG, 1, 0xE0), true, SCSI_IOCTL_DATA_OUT},
        {TransportCypress, SmartTaskFile(SMART_ENABLE_OPERATIONS), false, SCSI_IOCTL_DATA_UNSPECIFIED},
    };
    for (const auto& b : blocks) {
        b.transport(drive, b.tf, b.dataOut || b.direction == SCSI_IOCTL_DATA_IN ? buffer.data() : nullptr,
                    buffer.size(), b.dataOut);
        EXPECT_EQ(SentCode(), static_cast<uint32_t>(IOCTL_SCSI_PASS_THROUGH));
        const auto spt = Overlay<SCSI_PASS_THROUGH>(Sent());
        EXPECT_EQ(spt.Length, sizeof(SCSI_PASS_THROUGH));
        EXPECT_EQ(spt.DataIn, b.direction);
        EXPECT_EQ(spt.SenseInfoLength, BridgeSenseSize);
        EXPECT_EQ(spt.SenseInfoOffset, BridgeSenseOffset);
        EXPECT_EQ(spt.DataBufferOffset, BridgeDataOffset);
        EXPECT_EQ(spt.TimeOutValue, BridgeTimeoutSeconds);
        EXPECT_EQ(Sent().size(), BridgeDataOffset + spt.DataTransferLength);
    }
}

// --- SRB_IO_CONTROL and the miniport S.M.A.R.T. interface ----------------------------------------

TEST_F(SdkLayout, MiniportRequest) {
    EXPECT_EQ(sizeof(SRB_IO_CONTROL), 28u);
    EXPECT_EQ(MiniportInDataOffset, sizeof(SRB_IO_CONTROL) + offsetof(SENDCMDINPARAMS, bBuffer));
    EXPECT_EQ(MiniportOutDataOffset, sizeof(SRB_IO_CONTROL) + offsetof(SENDCMDOUTPARAMS, bBuffer));
    EXPECT_EQ(MiniportRequestSize, MiniportInDataOffset + SectorSize);

    ASSERT_TRUE(TransportSCSI(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(SentCode(), static_cast<uint32_t>(IOCTL_SCSI_MINIPORT));
    ASSERT_EQ(Sent().size(), MiniportRequestSize);
    const auto srb = Overlay<SRB_IO_CONTROL>(Sent());
    EXPECT_EQ(srb.HeaderLength, sizeof(SRB_IO_CONTROL));
    EXPECT_EQ(std::memcmp(srb.Signature, "SCSIDISK", 8), 0);
    EXPECT_EQ(srb.Timeout, 20u);
    // IOCTL_SCSI_MINIPORT_IDENTIFY, ((FILE_DEVICE_SCSI << 16) + 0x0501): mingw-w64 has neither name;
    // the portable tests pin every subcommand's code.
    EXPECT_EQ(srb.ControlCode, (0x1Bu << 16) + 0x0501);
    EXPECT_EQ(srb.ReturnCode, 0u);
    EXPECT_EQ(srb.Length, sizeof(SENDCMDINPARAMS) - 1 + IDENTIFY_BUFFER_SIZE);
    EXPECT_EQ(sizeof(SRB_IO_CONTROL) + srb.Length, MiniportRequestSize);
    const auto in = Overlay<SENDCMDINPARAMS>(Sent(), sizeof(SRB_IO_CONTROL));
    EXPECT_EQ(in.cBufferSize, static_cast<DWORD>(IDENTIFY_BUFFER_SIZE));
    EXPECT_EQ(in.irDriveRegs.bCommandReg, ID_CMD);
    EXPECT_EQ(in.irDriveRegs.bSectorCountReg, 1);
}

TEST_F(SdkLayout, MiniportReply) {
    const std::vector<uint8_t> page = Pattern(512, 41);
    ULONG returnCode = 0;
    BYTE driverError = SMART_NO_ERROR;
    Reply([&](uint32_t, uint8_t* out, uint32_t) {
        SRB_IO_CONTROL srb;
        std::memcpy(&srb, out, sizeof srb);
        srb.ReturnCode = returnCode;
        Store(out, srb);
        SENDCMDOUTPARAMS reply;
        std::memset(&reply, 0, sizeof reply);
        reply.cBufferSize = 512;
        reply.DriverStatus.bDriverError = driverError;
        Store(out + sizeof srb, reply);
        std::memcpy(out + sizeof srb + offsetof(SENDCMDOUTPARAMS, bBuffer), page.data(), page.size());
    });
    ASSERT_TRUE(TransportSCSI(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 512), page);

    driverError = SMART_IDE_ERROR;
    EXPECT_FALSE(TransportSCSI(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
    driverError = SMART_NO_ERROR;
    returnCode = 1;
    EXPECT_FALSE(TransportSCSI(drive, IdentifyTaskFile(), buffer.data(), buffer.size(), false));
}

// --- STORAGE_PROPERTY_QUERY with STORAGE_PROTOCOL_SPECIFIC_DATA ----------------------------------

constexpr size_t SpecificDataAt = offsetof(STORAGE_PROPERTY_QUERY, AdditionalParameters);

TEST_F(SdkLayout, NvmeQueryRequest) {
    EXPECT_EQ(SpecificDataAt, 8u);
    EXPECT_EQ(sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA), 40u);
    EXPECT_EQ(offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, ProtocolType), 0u);
    EXPECT_EQ(NvmeQueryDataOffset, SpecificDataAt + sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA));
    EXPECT_EQ(NvmeQuerySize, NvmeQueryDataOffset + 4096);

    struct Case {
        const char* what;
        AtaTaskFile tf;
        STORAGE_PROPERTY_ID property;
        DWORD dataType;
        DWORD value;
        DWORD subValue;
    };
    AtaTaskFile controller = IdentifyTaskFile();
    controller.SectorCount = NVME_IDENTIFY_CNS_CONTROLLER;
    controller.SectorNumber = 0;
    AtaTaskFile nameSpace = IdentifyTaskFile();
    nameSpace.SectorCount = NVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE;
    nameSpace.SectorNumber = 1;
    AtaTaskFile feature;
    feature.Command = ATA_SET_FEATURES;
    feature.Features = NVME_FEATURE_HOST_MEMORY_BUFFER;
    const Case cases[] = {
        {"identify controller", controller, StorageAdapterProtocolSpecificProperty, NVMeDataTypeIdentify,
         NVME_IDENTIFY_CNS_CONTROLLER, 0},
        {"identify namespace", nameSpace, StorageDeviceProtocolSpecificProperty, NVMeDataTypeIdentify,
         NVME_IDENTIFY_CNS_SPECIFIC_NAMESPACE, 1},
        {"health log", SmartTaskFile(SMART_READ_DATA), StorageDeviceProtocolSpecificProperty, NVMeDataTypeLogPage,
         NVME_LOG_PAGE_HEALTH_INFO, 0},
        {"self-test log", SmartTaskFile(SMART_READ_LOG, 1, NVME_LOG_PAGE_DEVICE_SELF_TEST),
         StorageDeviceProtocolSpecificProperty, NVMeDataTypeLogPage, NVME_LOG_PAGE_DEVICE_SELF_TEST, 0},
        {"feature", feature, StorageDeviceProtocolSpecificProperty, NVMeDataTypeFeature,
         NVME_FEATURE_HOST_MEMORY_BUFFER, 0},
    };
    Reply([](uint32_t, uint8_t*, uint32_t) {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(TransportNVMe(drive, c.tf, buffer.data(), buffer.size(), false));
        EXPECT_EQ(SentCode(), static_cast<uint32_t>(IOCTL_STORAGE_QUERY_PROPERTY));
        ASSERT_EQ(Sent().size(), NvmeQuerySize);
        const auto query = Overlay<STORAGE_PROPERTY_QUERY>(Sent());
        EXPECT_EQ(query.PropertyId, c.property);
        EXPECT_EQ(query.QueryType, PropertyStandardQuery);
        const auto data = Overlay<STORAGE_PROTOCOL_SPECIFIC_DATA>(Sent(), SpecificDataAt);
        EXPECT_EQ(data.ProtocolType, ProtocolTypeNvme);
        EXPECT_EQ(data.DataType, c.dataType);
        EXPECT_EQ(data.ProtocolDataRequestValue, c.value);
        EXPECT_EQ(data.ProtocolDataRequestSubValue, c.subValue);
        EXPECT_EQ(data.ProtocolDataOffset, sizeof(STORAGE_PROTOCOL_SPECIFIC_DATA));
        EXPECT_EQ(data.ProtocolDataLength, 4096u);
        EXPECT_EQ(SpecificDataAt + data.ProtocolDataOffset + data.ProtocolDataLength, Sent().size());
    }
}

TEST_F(SdkLayout, NvmeQueryReply) {
    // The reply is a STORAGE_PROTOCOL_DATA_DESCRIPTOR: the protocol data sits where the query's does.
    constexpr size_t replyData = offsetof(STORAGE_PROTOCOL_DATA_DESCRIPTOR, ProtocolSpecificData);
    EXPECT_EQ(replyData, SpecificDataAt);
    EXPECT_EQ(replyData + offsetof(STORAGE_PROTOCOL_SPECIFIC_DATA, FixedProtocolReturnData), 32u);

    const std::vector<uint8_t> page = Pattern(4096, 17);
    const DWORD hostMemoryBufferSize = 0x00004000;  // in 4 KiB units
    const DWORD dword0 = 0x00000001;                // EHM: the host memory buffer is enabled
    Reply([&](uint32_t, uint8_t* out, uint32_t) {
        STORAGE_PROTOCOL_DATA_DESCRIPTOR reply;
        std::memcpy(&reply, out, sizeof reply);
        reply.Version = sizeof reply;
        reply.Size = sizeof reply;
        reply.ProtocolSpecificData.FixedProtocolReturnData = dword0;
        Store(out, reply);
        uint8_t* data = out + replyData + reply.ProtocolSpecificData.ProtocolDataOffset;
        if (reply.ProtocolSpecificData.DataType == NVMeDataTypeFeature)
            std::memcpy(data, &hostMemoryBufferSize, sizeof hostMemoryBufferSize);
        else
            std::memcpy(data, page.data(), page.size());
    });

    AtaTaskFile controller = IdentifyTaskFile();
    controller.SectorCount = NVME_IDENTIFY_CNS_CONTROLLER;
    ASSERT_TRUE(TransportNVMe(drive, controller, buffer.data(), buffer.size(), false));
    EXPECT_EQ(buffer, page);

    AtaTaskFile feature;
    feature.Command = ATA_SET_FEATURES;
    feature.Features = NVME_FEATURE_HOST_MEMORY_BUFFER;
    std::vector<uint8_t> fixed(4, 0);
    ASSERT_TRUE(TransportNVMe(drive, feature, fixed.data(), fixed.size(), false));
    EXPECT_EQ(Get32(fixed.data(), 0), dword0);
    EXPECT_EQ(drive.HMB_Size, hostMemoryBufferSize);
}

// --- STORAGE_PROTOCOL_COMMAND --------------------------------------------------------------------

TEST_F(SdkLayout, NvmeProtocolCommandRequest) {
    EXPECT_EQ(offsetof(StorageProtocolCommand, Command), 80u);
    EXPECT_EQ(sizeof(StorageProtocolCommand), 84u);
    EXPECT_EQ(sizeof(NVME_COMMAND), 64u);
    EXPECT_EQ(NvmeCommandSize, offsetof(StorageProtocolCommand, Command) + sizeof(NVME_COMMAND));

    Reply([](uint32_t, uint8_t* out, uint32_t) {
        StorageProtocolCommand reply;
        std::memcpy(&reply, out, sizeof reply);
        reply.ReturnStatus = StorageProtocolStatusSuccess;
        Store(out, reply);
    });
    const uint8_t shortSelfTest = 1;
    ASSERT_TRUE(TransportNVMe(drive, SmartTaskFile(SMART_EXECUTE_OFFLINE, 0, shortSelfTest), nullptr, 0, false));
    EXPECT_EQ(SentCode(), static_cast<uint32_t>(IOCTL_STORAGE_PROTOCOL_COMMAND));
    ASSERT_EQ(Sent().size(), NvmeCommandSize);
    const auto command = Overlay<StorageProtocolCommand>(Sent());
    EXPECT_EQ(command.Version, StorageProtocolStructureVersion);
    EXPECT_EQ(command.Length, sizeof(StorageProtocolCommand));
    EXPECT_EQ(command.ProtocolType, ProtocolTypeNvme);
    EXPECT_EQ(command.Flags, StorageProtocolCommandFlagAdapterRequest);
    EXPECT_EQ(command.ReturnStatus, 0u);
    EXPECT_EQ(command.CommandLength, sizeof(NVME_COMMAND));
    EXPECT_EQ(command.ErrorInfoLength | command.DataToDeviceTransferLength | command.DataFromDeviceTransferLength, 0u);
    EXPECT_EQ(command.TimeOutValue, 60u);
    EXPECT_EQ(command.CommandSpecific, StorageProtocolSpecificNvmeAdminCommand);
    const auto nvme = Overlay<NVME_COMMAND>(Sent(), offsetof(StorageProtocolCommand, Command));
    EXPECT_EQ(nvme.CDW0.OPC, static_cast<ULONG>(NVME_ADMIN_COMMAND_DEVICE_SELF_TEST));
    EXPECT_EQ(nvme.NSID, static_cast<ULONG>(NVME_NAMESPACE_ALL));
    EXPECT_EQ(nvme.u.GENERAL.CDW10, shortSelfTest);
}

TEST_F(SdkLayout, NvmeProtocolCommandReply) {
    DWORD status = StorageProtocolStatusSuccess;
    Reply([&](uint32_t, uint8_t* out, uint32_t) {
        StorageProtocolCommand reply;
        std::memcpy(&reply, out, sizeof reply);
        reply.ReturnStatus = status;
        Store(out, reply);
    });
    const AtaTaskFile selfTest = SmartTaskFile(SMART_EXECUTE_OFFLINE, 0, 2);
    EXPECT_TRUE(TransportNVMe(drive, selfTest, nullptr, 0, false));
    EXPECT_FALSE(SelfTestThrottled);

    status = StorageProtocolStatusThrottledRequest;
    EXPECT_FALSE(TransportNVMe(drive, selfTest, nullptr, 0, false));
    EXPECT_TRUE(SelfTestThrottled);

    status = StorageProtocolStatusError;
    EXPECT_FALSE(TransportNVMe(drive, selfTest, nullptr, 0, false));
    EXPECT_FALSE(SelfTestThrottled);
}

// --- codes, classes and keys ---------------------------------------------------------------------

TEST(SdkValues, IoControlCodes) {
    EXPECT_EQ(ours::AtaPassThrough, static_cast<uint32_t>(IOCTL_ATA_PASS_THROUGH));
    EXPECT_EQ(ours::IdePassThrough, static_cast<uint32_t>(IOCTL_IDE_PASS_THROUGH));
    EXPECT_EQ(ours::SmartReceive, static_cast<uint32_t>(SMART_RCV_DRIVE_DATA));
    EXPECT_EQ(ours::SmartSend, static_cast<uint32_t>(SMART_SEND_DRIVE_COMMAND));
    EXPECT_EQ(ours::ScsiPassThrough, static_cast<uint32_t>(IOCTL_SCSI_PASS_THROUGH));
    EXPECT_EQ(ours::ScsiMiniport, static_cast<uint32_t>(IOCTL_SCSI_MINIPORT));
    EXPECT_EQ(ours::QueryProperty, static_cast<uint32_t>(IOCTL_STORAGE_QUERY_PROPERTY));
    EXPECT_EQ(ours::ProtocolCommand, static_cast<uint32_t>(IOCTL_STORAGE_PROTOCOL_COMMAND));
    EXPECT_EQ(ours::AtaDataIn, ATA_FLAGS_DATA_IN);
    EXPECT_EQ(ours::AtaDataOut, ATA_FLAGS_DATA_OUT);
}


TEST(SdkValues, InterfaceClassesAndPropertyKeys) {
    EXPECT_TRUE(platform::GUID_DEVINTERFACE_DISK == Portable(::GUID_DEVINTERFACE_DISK));
    EXPECT_TRUE(platform::DEVPKEY_Device_Parent.fmtid == Portable(::DEVPKEY_Device_Parent.fmtid));
    EXPECT_EQ(platform::DEVPKEY_Device_Parent.pid, ::DEVPKEY_Device_Parent.pid);
    EXPECT_EQ(ours::PropertyTypeString, sdk::PropertyTypeString);
    // The second interface class the scan walks, {7FCCC86C-228A-40AD-8A58-F590AF7BFDCE}, has no
    // name in mingw-w64's headers to compare with.
}

}  // namespace
