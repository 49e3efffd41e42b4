// USB bridges' own command blocks, each sent through SCSI pass-through to the disk: the NVMe tunnels
// of ASMedia, Realtek and JMicron bridges, and the ATA pass-through of older bridges that do not speak
// SAT (JMicron, Prolific, Sunplus, Cypress).
#include <algorithm>
#include <cstring>
#include <vector>

#include "device/TIOCTL.h"
#include "device/Transports.h"
#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"

namespace {

enum class Direction : uint8_t { Out = 0, In = 1, None = 2 };  // SCSI_IOCTL_DATA_OUT / _IN / _UNSPECIFIED

// One command block with its data phase.
struct BridgeCommand {
    uint8_t Cdb[16]{};
    uint8_t CdbLength = 12;
    Direction Way = Direction::None;
    uint32_t Length = 0;
};

void PutBig16(uint8_t* at, uint16_t value) {
    at[0] = static_cast<uint8_t>(value >> 8);
    at[1] = static_cast<uint8_t>(value);
}

void PutBig24(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value >> 16);
    PutBig16(at + 1, static_cast<uint16_t>(value));
}

void PutBig32(uint8_t* at, uint32_t value) {
    PutBig16(at, static_cast<uint16_t>(value >> 16));
    PutBig16(at + 2, static_cast<uint16_t>(value));
}

// Sends the block; `data` holds the bytes going out, or receives the bytes coming in. True when the
// pass-through went through with GOOD status and, for data coming in, data really came.
bool Send(const DriveRecord& drive, const BridgeCommand& c, uint8_t* data) {
    std::vector<uint8_t>& request = LargeRequest(BridgeDataOffset + c.Length);
    uint8_t* const r = request.data();
    uint8_t* const area = r + BridgeDataOffset;
    Put16(r, 0, 44);  // SCSI_PASS_THROUGH, 32-bit layout
    r[6] = c.CdbLength;
    r[7] = BridgeSenseSize;
    r[8] = static_cast<uint8_t>(c.Way);
    Put32(r, 12, c.Length);
    Put32(r, 16, BridgeTimeoutSeconds);
    Put32(r, 20, BridgeDataOffset);
    Put32(r, 24, BridgeSenseOffset);
    std::memcpy(r + 28, c.Cdb, sizeof c.Cdb);
    const bool marked = c.Way == Direction::In && c.Length >= 5;
    if (c.Way == Direction::Out) std::memcpy(area, data, c.Length);
    if (marked) WriteMarker(area);

    if (!CallWithRequest(drive, IOCTL_SCSI_PASS_THROUGH, request) || r[2] != 0) return false;  // ScsiStatus
    if (marked && MarkerPresent(area)) return false;
    if (c.Way == Direction::In) std::memcpy(data, area, c.Length);
    return true;
}

// --- NVMe tunnels ---

constexpr uint8_t NvmeAdminIdentify = 0x06, NvmeAdminGetLogPage = 0x02;
constexpr uint32_t NvmeIdentifySize = 4096, NvmeHealthLogSize = 512, NvmeSelfTestLogBytes = 564;
constexpr uint32_t AllNamespaces = 0xFFFFFFFF;

// The one admin command a task file stands for: Identify (CNS and namespace), the health log, or
// the self-test log. Other pages carry no data the program reads this way.
struct NvmeAdmin {
    uint8_t Opcode = 0;
    uint32_t Nsid = 0, Cdw10 = 0, Cdw12 = 0, Cdw13 = 0;
    uint32_t Length = 0;
};

bool AdminFor(const AtaTaskFile& tf, AccessMethod method, size_t size, NvmeAdmin& a) {
    uint32_t needed = 0;  // what the caller's buffer must hold
    if (tf.Command == ATA_IDENTIFY_DEVICE) {
        a.Opcode = NvmeAdminIdentify;
        a.Cdw10 = tf.SectorCount;  // CNS
        a.Nsid = tf.SectorNumber;
        a.Length = needed = NvmeIdentifySize;
        return size >= needed;
    }
    const bool health = tf.Command == ATA_SMART && tf.Features == SMART_READ_DATA;
    const bool selfTestLog =
        tf.Command == ATA_SMART && tf.Features == SMART_READ_LOG && tf.SectorNumber == NvmeSelfTestLogPage;
    if (!health && !selfTestLog) return false;
    needed = health ? NvmeHealthLogSize : NvmeSelfTestLogBytes;
    a.Opcode = NvmeAdminGetLogPage;
    a.Nsid = AllNamespaces;
    a.Length = std::min(needed, CapabilityOf(method).MaxLogRead);
    a.Cdw10 = (health ? 0x02u : NvmeSelfTestLogPage) | ((a.Length / 4 - 1) << 16);  // LID, NUMDL
    return size >= needed;
}

// The caller's buffer from the bytes that came back; what the bridge may not read stays zero.
bool Deliver(const std::vector<uint8_t>& data, uint8_t* buffer, size_t size, bool statusBack) {
    if (!statusBack && std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0; }))
        return false;  // without a completion, a refused command reads as zeros
    std::memset(buffer, 0, size);
    std::memcpy(buffer, data.data(), std::min(size, data.size()));
    return true;
}

// ASMedia: the opcode and the command dwords the bridge passes on, big-endian.
bool SendASMedia(const DriveRecord& drive, const NvmeAdmin& a, std::vector<uint8_t>& data) {
    BridgeCommand c;
    c.CdbLength = 16;
    c.Way = Direction::In;
    c.Length = a.Length;
    c.Cdb[0] = 0xE6;
    c.Cdb[1] = a.Opcode;
    c.Cdb[3] = static_cast<uint8_t>(a.Cdw10);
    PutBig16(c.Cdb + 6, static_cast<uint16_t>(a.Cdw10 >> 16));
    PutBig32(c.Cdb + 8, a.Cdw13);
    PutBig32(c.Cdb + 12, a.Cdw12);
    return Send(drive, c, data.data());
}

// Realtek: the transfer length little-endian, the opcode and the low byte of dword 10.
bool SendRealtek(const DriveRecord& drive, const NvmeAdmin& a, std::vector<uint8_t>& data) {
    BridgeCommand c;
    c.CdbLength = 16;
    c.Way = Direction::In;
    c.Length = a.Length;
    c.Cdb[0] = 0xE4;
    Put16(c.Cdb, 1, static_cast<uint16_t>(a.Length));
    c.Cdb[3] = a.Opcode;
    c.Cdb[4] = static_cast<uint8_t>(a.Cdw10);
    return Send(drive, c, data.data());
}

// JMicron's three phases: the command out, its data in, the completion in.
constexpr uint32_t JMicronSignature = 0x454D564E;  // "NVME"
constexpr uint32_t JMicronBlockSize = 512;

BridgeCommand JMicronPhase(uint8_t protocol, Direction way, uint32_t length) {
    BridgeCommand c;
    c.Way = way;
    c.Length = length;
    c.Cdb[0] = 0xA1;
    c.Cdb[1] = static_cast<uint8_t>(0x80 | protocol);
    PutBig24(c.Cdb + 3, length);
    return c;
}

bool SendJMicronNVMe(const DriveRecord& drive, const NvmeAdmin& a, std::vector<uint8_t>& data) {
    uint8_t command[JMicronBlockSize] = {};
    Put32(command, 0, JMicronSignature);
    Put32(command, 8, a.Opcode);
    Put32(command, 12, a.Nsid);
    Put32(command, 48, a.Cdw10);
    Put32(command, 56, a.Cdw12);
    Put32(command, 60, a.Cdw13);
    uint8_t completion[JMicronBlockSize] = {};
    return Send(drive, JMicronPhase(0x00, Direction::Out, JMicronBlockSize), command) &&
           Send(drive, JMicronPhase(0x02, Direction::In, a.Length), data.data()) &&
           Send(drive, JMicronPhase(0x0F, Direction::In, JMicronBlockSize), completion) &&
           Get32(completion, 0) == JMicronSignature && (Get32(completion, 20) >> 17) == 0;
}

using TunnelSend = bool (*)(const DriveRecord&, const NvmeAdmin&, std::vector<uint8_t>&);

bool Tunnel(DriveRecord& drive, AccessMethod method, TunnelSend send, const AtaTaskFile& tf, uint8_t* buffer,
            size_t size) {
    NvmeAdmin a;
    if (!buffer || !AdminFor(tf, method, size, a)) return false;
    std::vector<uint8_t> data(a.Length, 0);
    return send(drive, a, data) && Deliver(data, buffer, size, CapabilityOf(method).StatusBack);
}

// --- ATA through older bridges ---

// The data phase of an ATA command: sectors from the task file when there is a buffer.
BridgeCommand AtaPhase(const AtaTaskFile& tf, bool hasBuffer, bool dataOut) {
    BridgeCommand c;
    c.Length = hasBuffer ? tf.SectorCount * SectorSize : 0;
    c.Way = c.Length == 0 ? Direction::None : dataOut ? Direction::Out : Direction::In;
    return c;
}

bool SendAta(DriveRecord& drive, const BridgeCommand& c, uint8_t* buffer, size_t size) {
    return c.Length <= size && Send(drive, c, buffer);
}

constexpr uint16_t JMicronPortRegister = 0x720F;

// The port of a two-port JMicron bridge the drive is on, read once from the bridge's register.
bool JMicronPort(DriveRecord& drive, uint8_t& port) {
    if (drive.BridgePort == 0) {
        BridgeCommand c;
        c.Way = Direction::In;
        c.Length = 1;
        c.Cdb[0] = 0xDF;
        c.Cdb[1] = 0x10;
        PutBig16(c.Cdb + 3, 1);
        PutBig16(c.Cdb + 6, JMicronPortRegister);
        c.Cdb[11] = 0xFD;
        uint8_t ports = 0;
        if (!Send(drive, c, &ports)) return false;
        if (ports & 0x04) drive.BridgePort = 1;
        else if (ports & 0x40) drive.BridgePort = 2;
        else return false;
    }
    port = static_cast<uint8_t>(drive.BridgePort - 1);
    return true;
}

void PutRegisters(const AtaTaskFile& tf, uint8_t* at) {
    at[0] = tf.Features;
    at[1] = tf.SectorCount;
    at[2] = tf.SectorNumber;
    at[3] = tf.CylinderLow;
    at[4] = tf.CylinderHigh;
}

}  // namespace

bool TransportASMedia(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool) {
    return Tunnel(drive, AccessMethod::ASMedia, SendASMedia, tf, buffer, size);
}

bool TransportRealtek(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool) {
    return Tunnel(drive, AccessMethod::Realtek, SendRealtek, tf, buffer, size);
}

bool TransportJMicronNVMe(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool) {
    return Tunnel(drive, AccessMethod::JMicronNVMe, SendJMicronNVMe, tf, buffer, size);
}

bool TransportJMicron(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut) {
    uint8_t port = 0;
    if (!JMicronPort(drive, port)) return false;
    BridgeCommand c = AtaPhase(tf, buffer != nullptr, dataOut);
    c.Cdb[0] = 0xDF;
    c.Cdb[1] = dataOut ? 0x00 : 0x10;
    PutBig16(c.Cdb + 3, static_cast<uint16_t>(c.Length));
    PutRegisters(tf, c.Cdb + 5);
    c.Cdb[10] = static_cast<uint8_t>(tf.DeviceHead | (port == 0 ? 0xA0 : 0xB0));
    c.Cdb[11] = tf.Command;
    return SendAta(drive, c, buffer, size);
}

bool TransportProlific(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut) {
    BridgeCommand c = AtaPhase(tf, buffer != nullptr, dataOut);
    c.CdbLength = 16;
    c.Cdb[0] = 0xD8;
    c.Cdb[1] = dataOut ? 0x05 : 0x15;
    c.Cdb[3] = tf.Features;
    c.Cdb[4] = 0x06;
    c.Cdb[5] = 0x7B;
    PutBig32(c.Cdb + 6, c.Length);
    c.Cdb[10] = tf.SectorCount;
    c.Cdb[11] = tf.SectorNumber;
    c.Cdb[12] = tf.CylinderLow;
    c.Cdb[13] = tf.CylinderHigh;
    c.Cdb[14] = static_cast<uint8_t>(tf.DeviceHead | 0xA0);
    c.Cdb[15] = tf.Command;
    return SendAta(drive, c, buffer, size);
}

bool TransportSunplus(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut) {
    BridgeCommand c = AtaPhase(tf, buffer != nullptr, dataOut);
    c.Cdb[0] = 0xF8;
    c.Cdb[2] = 0x22;  // pass-through
    c.Cdb[3] = c.Way == Direction::None ? 0x00 : dataOut ? 0x11 : 0x10;
    c.Cdb[4] = static_cast<uint8_t>(c.Length / SectorSize);
    PutRegisters(tf, c.Cdb + 5);
    c.Cdb[10] = static_cast<uint8_t>(tf.DeviceHead | 0xA0);
    c.Cdb[11] = tf.Command;
    return SendAta(drive, c, buffer, size);
}

bool TransportCypress(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut) {
    BridgeCommand c = AtaPhase(tf, buffer != nullptr, dataOut);
    c.CdbLength = 16;
    c.Cdb[0] = 0x24;
    c.Cdb[1] = 0x24;
    const bool identify = tf.Command == ATA_IDENTIFY_DEVICE || tf.Command == ATA_IDENTIFY_PACKET_DEVICE;
    c.Cdb[2] = identify ? 0x80 : 0x00;
    c.Cdb[3] = 0xBE;
    c.Cdb[4] = 1;     // transfer block count
    c.Cdb[5] = 0xFF;  // every register below is written
    PutRegisters(tf, c.Cdb + 6);
    c.Cdb[11] = static_cast<uint8_t>(tf.DeviceHead | 0xA0);
    c.Cdb[12] = tf.Command;
    return SendAta(drive, c, buffer, size);
}
