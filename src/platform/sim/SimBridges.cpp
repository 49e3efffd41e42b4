// SCSI pass-through as the USB bridge in front of a simulated drive decodes it: ATA PASS-THROUGH
// (12) for SAT bridges, the NVMe tunnels (ASMedia, Realtek, JMicron's three phases) and the older
// ATA bridges' own blocks (JMicron, Prolific, Sunplus, Cypress). The SCSI_PASS_THROUGH header's own
// offsets and lengths say where the command block, the sense area and the data are.
//
// Which protocols a bridge speaks: a SAT bridge only ATA PASS-THROUGH (12); a JMicron ATA bridge
// its 0xDF block and ATA PASS-THROUGH (12); every other bridge only its own blocks. A block the
// bridge does not know gets CHECK CONDITION with ILLEGAL REQUEST sense. An ATA command the drive
// aborts comes back as CHECK CONDITION with ABORTED COMMAND sense (SAT without ck_cond: no sense,
// as before); the bridges that can read registers back still hold the aborted command's.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <utility>

#include "protocol/Bytes.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

constexpr uint32_t HeaderSize = 44;  // SCSI_PASS_THROUGH, 32-bit layout
constexpr uint8_t DirectionOut = 0, DirectionIn = 1, DirectionNone = 2;
constexpr uint8_t Good = 0x00, CheckCondition = 0x02;
constexpr uint8_t SenseRecovered = 0x01, SenseIllegalRequest = 0x05, SenseAbortedCommand = 0x0B;
constexpr uint8_t AscInvalidOpcode = 0x20, AscInvalidParameter = 0x26;
constexpr uint64_t ResetMicroseconds = 5000000;  // how long a reset leaves the drive gone

// The request as the header lays it out.
struct Frame {
    uint8_t* r = nullptr;
    const uint8_t* cdb = nullptr;
    uint8_t cdbLength = 0, direction = DirectionNone;
    uint32_t length = 0, dataOffset = 0, senseSize = 0, senseOffset = 0;
    uint8_t* data() const { return r + dataOffset; }
    bool in(uint32_t bytes) const { return direction == DirectionIn && length == bytes; }
    bool out(uint32_t bytes) const { return direction == DirectionOut && length == bytes; }
    bool none() const { return length == 0; }
};

bool DecodeFrame(uint8_t* r, uint32_t size, Frame& f) {
    if (size < HeaderSize || Get16(r, 0) != HeaderSize) return false;
    f.r = r;
    f.cdb = r + 28;
    f.cdbLength = r[6];
    f.senseSize = r[7];
    f.direction = r[8];
    f.length = Get32(r, 12);
    f.dataOffset = Get32(r, 20);
    f.senseOffset = Get32(r, 24);
    if (f.cdbLength == 0 || f.cdbLength > 16 || f.direction > DirectionNone) return false;
    if (f.dataOffset < HeaderSize || f.dataOffset > size || f.length > size - f.dataOffset) return false;
    return f.senseSize == 0 ||
           (f.senseOffset >= HeaderSize && f.senseOffset <= size && f.senseSize <= size - f.senseOffset);
}

// Writes what of the sense data fits the sense area; SenseInfoLength becomes what was written.
uint32_t WriteSense(const Frame& f, const uint8_t* sense, uint32_t size) {
    const uint32_t n = std::min(size, f.senseSize);
    if (n) std::memcpy(f.r + f.senseOffset, sense, n);
    f.r[7] = static_cast<uint8_t>(n);
    return n;
}

// What the stack returns: the header and the data moved, or the sense written when it ends later.
uint32_t Returned(const Frame& f, uint32_t dataBytes, uint32_t senseBytes) {
    const uint32_t senseEnd = senseBytes ? f.senseOffset + senseBytes : 0;
    return std::max(f.dataOffset + dataBytes, senseEnd);
}

bool GoodReply(const Frame& f, Reply reply, uint32_t dataBytes, uint32_t& bytesReturned) {
    f.r[2] = Good;
    return Finish(reply, Returned(f, dataBytes, 0), bytesReturned);
}

bool CheckReply(const Frame& f, Reply reply, uint8_t key, uint8_t asc, uint32_t& bytesReturned) {
    std::array<uint8_t, 18> sense{};
    sense[0] = 0x70;  // fixed format, current error
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    f.r[2] = CheckCondition;
    return Finish(reply, Returned(f, 0, WriteSense(f, sense.data(), sense.size())), bytesReturned);
}

bool Unknown(const Frame& f, Reply reply, uint32_t& bytesReturned) {
    return CheckReply(f, reply, SenseIllegalRequest, AscInvalidOpcode, bytesReturned);
}

// The drive drops off the bus for a while (an ATA reset, a bridge that hung and reset its USB port);
// the request that did it fails.
bool ResetDrive(Drive& d) {
    ++d.HazardousCommands;
    d.BridgeState = BridgeMemory{};
    d.Power.GoneUntilMicroseconds = UptimeMicroseconds() + ResetMicroseconds;
    return false;
}

uint32_t Get24BE(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2]; }
uint32_t Get32BE(const uint8_t* p) { return static_cast<uint32_t>(p[0]) << 24 | Get24BE(p + 1); }

// Where a command block or a reply carries the ATA registers.
struct RegisterOffsets {
    uint8_t features, count, low, mid, high, device, command;
};

AtaTaskFile LoadRegisters(const uint8_t* cdb, const RegisterOffsets& at) {
    AtaTaskFile tf;
    tf.Features = cdb[at.features];
    tf.SectorCount = cdb[at.count];
    tf.SectorNumber = cdb[at.low];
    tf.CylinderLow = cdb[at.mid];
    tf.CylinderHigh = cdb[at.high];
    tf.DeviceHead = cdb[at.device];
    tf.Command = cdb[at.command];
    return tf;
}

// Puts the registers at their offsets in an area of `size` bytes (the error register at the
// features offset, the status at the command's); an offset past the area is a register it lacks.
void StoreRegisters(const AtaTaskFile& t, const RegisterOffsets& at, uint8_t* p, uint32_t size) {
    const std::pair<uint8_t, uint8_t> fields[] = {{at.features, t.Features},  {at.count, t.SectorCount},
                                                  {at.low, t.SectorNumber},   {at.mid, t.CylinderLow},
                                                  {at.high, t.CylinderHigh},  {at.device, t.DeviceHead},
                                                  {at.command, t.Command}};
    for (const auto& field : fields)
        if (field.first < size) p[field.first] = field.second;
}

// ---- SAT ----

// Byte 2 of ATA PASS-THROUGH (12) as a bridge checks it against the protocol in byte 1: non-data
// (3) moves nothing (T_LENGTH 0); PIO data-in (4) and data-out (5) name where the count is (T_LENGTH
// 1: features, 2: sector count), whether it counts blocks (BYT_BLOK) and the direction (T_DIR set:
// from the device), which the pass-through's own direction and length must repeat.
bool SatTransferAgrees(const Frame& f) {
    const uint8_t protocol = (f.cdb[1] >> 1) & 0x0F, flags = f.cdb[2], tLength = flags & 0x03;
    const bool blocks = flags & 0x04, fromDevice = flags & 0x08;
    if (protocol == 3) return tLength == 0 && f.length == 0;
    if ((protocol != 4 && protocol != 5) || tLength == 0 || tLength == 3) return false;
    const bool dataIn = protocol == 4;
    const uint32_t count = tLength == 1 ? f.cdb[3] : f.cdb[4];
    return fromDevice == dataIn && f.direction == (dataIn ? DirectionIn : DirectionOut) &&
           f.length == (blocks ? count * 512 : count);
}

// ck_cond: the output registers in an ATA Return descriptor (descriptor sense) when the sense area
// holds one, else in fixed sense with "ATA pass-through information available".
uint32_t WriteReturnedRegisters(const Frame& f, const AtaOutcome& o) {
    constexpr RegisterOffsets Descriptor = {8 + 3, 8 + 5, 8 + 7, 8 + 9, 8 + 11, 8 + 12, 8 + 13};
    constexpr RegisterOffsets Fixed = {3, 6, 9, 10, 11, 5, 4};
    const uint8_t key = o.aborted() ? SenseAbortedCommand : SenseRecovered;
    std::array<uint8_t, 22> s{};
    const bool descriptor = f.senseSize >= s.size();
    if (descriptor) s = {0x72, key, 0x00, 0x1D, 0, 0, 0, 14, 0x09, 0x0C};
    else s = {0x70, 0, key, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x00, 0x1D};
    StoreRegisters(o.registers, descriptor ? Descriptor : Fixed, s.data(), static_cast<uint32_t>(s.size()));
    return WriteSense(f, s.data(), descriptor ? static_cast<uint32_t>(s.size()) : 18);
}

bool SatCommand(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (f.cdbLength != 12) return false;
    if (f.cdb[0] != 0xA1) return Unknown(f, reply, bytesReturned);
    const uint8_t protocol = (f.cdb[1] >> 1) & 0x0F;
    if (protocol <= 1) return ResetDrive(d);  // hardware reset, software reset
    if (!SatTransferAgrees(f)) return false;
    const bool hostSends = protocol == 5, moves = protocol != 3;
    const AtaOutcome o = RunAta(d, reply, SatRegisters(f.cdb), hostSends, f.data(), moves ? f.length : 0);
    const bool checkCondition = f.cdb[2] & 0x20;  // ck_cond: always, with the registers when there is room
    const uint32_t sense = checkCondition ? WriteReturnedRegisters(f, o) : 0;
    f.r[2] = o.aborted() || checkCondition ? CheckCondition : Good;
    return Finish(reply, Returned(f, o.delivered, sense), bytesReturned);
}

// ---- The ATA bridges ----

constexpr RegisterOffsets JMicronRegisters = {5, 6, 7, 8, 9, 10, 11};
constexpr RegisterOffsets ProlificRegisters = {3, 10, 11, 12, 13, 14, 15};
constexpr RegisterOffsets SunplusRegisters = {5, 6, 7, 8, 9, 10, 11};
constexpr RegisterOffsets CypressRegisters = {6, 7, 8, 9, 10, 11, 12};

constexpr uint8_t SmartReturnStatus = 0xDA;  // not among the shared subcommands
constexpr uint8_t JMicronRegisterRead = 0xFD;
constexpr uint16_t JMicronPortsRegister = 0x720F;
constexpr uint8_t JMicronDriveOnPort0 = 0x04;

// The blocks that carry a command (not a register read-back) and where their registers are.
bool CommandRegisters(AccessMethod method, const uint8_t* cdb, AtaTaskFile& tf) {
    switch (method) {
        case AccessMethod::JMicron:
            if (cdb[11] == JMicronRegisterRead) return false;
            tf = LoadRegisters(cdb, JMicronRegisters);
            return true;
        case AccessMethod::Prolific:
            if (cdb[0] != 0xD8) return false;
            tf = LoadRegisters(cdb, ProlificRegisters);
            return true;
        case AccessMethod::Sunplus:
            if (cdb[2] != 0x22) return false;
            tf = LoadRegisters(cdb, SunplusRegisters);
            return true;
        case AccessMethod::Cypress:
            if (cdb[2] & 0x01) return false;
            tf = LoadRegisters(cdb, CypressRegisters);
            return true;
        default: return false;
    }
}

// Runs the command with the data the header describes; the drive is on the bridge's first port.
bool RunBridgedAta(Drive& d, Reply reply, const Frame& f, const AtaTaskFile& tf, uint32_t& bytesReturned) {
    const bool secondPort = (tf.DeviceHead & 0x10) != 0;
    const AtaOutcome o = secondPort ? Aborted()
                                    : RunAta(d, reply, tf, f.direction == DirectionOut && f.length > 0, f.data(), f.length);
    d.BridgeState.Registers = o.registers;
    if (o.aborted()) return CheckReply(f, reply, SenseAbortedCommand, 0, bytesReturned);
    return GoodReply(f, reply, f.direction == DirectionIn ? o.delivered : 0, bytesReturned);
}

// Reads back the registers of the last command into an area of `size` bytes.
bool RegisterReadBack(Drive& d, Reply reply, const Frame& f, uint32_t size, const RegisterOffsets& at,
                      uint32_t& bytesReturned) {
    if (!f.in(size)) return false;
    std::memset(f.data(), 0, size);
    StoreRegisters(d.BridgeState.Registers, at, f.data(), size);
    return GoodReply(f, reply, size, bytesReturned);
}

// Sunplus 0x21 and Cypress with byte 2 = 0x01: 8 bytes, error at 1, count, LBA low/mid/high, device,
// status at 7. Prolific 0xD7: 16 bytes, status 0, error 1, count 2, LBA low 4, mid 6, high 8, and
// no device register (its offset lies past the area).
constexpr RegisterOffsets EightByteStatus = {1, 2, 3, 4, 5, 6, 7};
constexpr RegisterOffsets ProlificStatus = {1, 2, 4, 6, 8, 16, 0};

// A direction byte's read (`readValue`) or write (`writeValue`) form must match the header, whose
// length must be `length`; a block that moves nothing is sent as a read.
bool DirectionAgrees(const Frame& f, uint8_t value, uint8_t readValue, uint8_t writeValue, uint32_t length) {
    if (f.length != length) return false;
    if (length == 0) return value == readValue;
    return value == (f.direction == DirectionIn ? readValue : writeValue) && f.direction != DirectionNone;
}

// JMicron 0xDF: SMART RETURN STATUS answers with one byte (LBA high as the drive returned it);
// register 0x720F says which ports hold a drive.
bool JMicronCommand(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    const uint8_t* cdb = f.cdb;
    if (f.cdbLength != 12 || !DirectionAgrees(f, cdb[1], 0x10, 0x00, static_cast<uint32_t>(cdb[3] << 8 | cdb[4])))
        return false;
    if (cdb[11] == JMicronRegisterRead) {
        if (!f.in(1)) return false;
        f.data()[0] = (cdb[6] << 8 | cdb[7]) == JMicronPortsRegister ? JMicronDriveOnPort0 : 0;
        return GoodReply(f, reply, 1, bytesReturned);
    }
    AtaTaskFile tf;
    CommandRegisters(AccessMethod::JMicron, cdb, tf);
    if (tf.Command != ATA_SMART || tf.Features != SmartReturnStatus) return RunBridgedAta(d, reply, f, tf, bytesReturned);
    if (!f.in(1)) return false;
    const AtaOutcome o = RunAta(d, reply, tf, false, nullptr, 0);
    if (o.aborted()) return CheckReply(f, reply, SenseAbortedCommand, 0, bytesReturned);
    f.data()[0] = o.registers.CylinderHigh;
    return GoodReply(f, reply, 1, bytesReturned);
}

bool ProlificCommand(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (f.cdbLength != 16) return false;
    if (f.cdb[0] == 0xD7) return RegisterReadBack(d, reply, f, 16, ProlificStatus, bytesReturned);
    if (!DirectionAgrees(f, f.cdb[1], 0x15, 0x05, Get32BE(f.cdb + 6))) return false;
    AtaTaskFile tf;
    CommandRegisters(AccessMethod::Prolific, f.cdb, tf);
    return RunBridgedAta(d, reply, f, tf, bytesReturned);
}

// Sunplus 0xF8: 0x22 runs a command ([3]: 0x00 none, 0x10 in, 0x11 out; [4] sectors), 0x23 sets the
// high-order registers of a 48-bit command (the drive runs none, so they change nothing), 0x21
// reads the registers back.
bool SunplusCommand(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (f.cdbLength != 12) return false;
    switch (f.cdb[2]) {
        case 0x21: return RegisterReadBack(d, reply, f, 8, EightByteStatus, bytesReturned);
        case 0x23: return f.none() && GoodReply(f, reply, 0, bytesReturned);
        case 0x22: break;
        default: return Unknown(f, reply, bytesReturned);
    }
    const uint32_t length = f.cdb[4] * 512u;
    const uint8_t expected = length == 0 ? 0x00 : f.direction == DirectionIn ? 0x10 : 0x11;
    if (f.length != length || f.cdb[3] != expected || (length && f.direction == DirectionNone)) return false;
    AtaTaskFile tf;
    CommandRegisters(AccessMethod::Sunplus, f.cdb, tf);
    return RunBridgedAta(d, reply, f, tf, bytesReturned);
}

// Cypress ATACB: the block names no direction; the header's must be the command's own. Byte 2 bit 7,
// which marks IDENTIFY for the chip, is taken either way.
bool CypressCommand(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (f.cdbLength != 16) return false;
    if (f.cdb[2] & 0x01) return RegisterReadBack(d, reply, f, 8, EightByteStatus, bytesReturned);
    AtaTaskFile tf;
    CommandRegisters(AccessMethod::Cypress, f.cdb, tf);
    const uint8_t direction = CommandReturnsData(tf) ? DirectionIn : CommandSendsData(tf) ? DirectionOut : DirectionNone;
    if ((direction == DirectionNone) != f.none() || (!f.none() && f.direction != direction)) return false;
    return RunBridgedAta(d, reply, f, tf, bytesReturned);
}

// ---- The NVMe tunnels ----

struct NvmeCommand {
    uint8_t opcode = 0;
    uint32_t nsid = 0;
    uint32_t cdw[6] = {};  // CDW10..CDW15
};

constexpr uint8_t NvmeGetLogPage = 0x02, NvmeIdentify = 0x06;
constexpr uint32_t NvmeStatusInvalidOpcode = 0x0001, NvmeStatusInvalidField = 0x0002;
constexpr uint32_t JMicronSignature = 0x454D564E;  // "NVME"
constexpr uint32_t JMicronBlockSize = 512;
constexpr uint64_t JMicronLongestSelfTestLog = 0x218;
constexpr uint32_t RealtekFreshBytes = 0x200;

uint64_t LogBytes(const NvmeCommand& c) {
    return ((static_cast<uint64_t>(c.cdw[1] & 0xFFFF) << 16 | c.cdw[0] >> 16) + 1) * 4;
}

// Runs Identify (CNS 1, or CNS 0 of namespace 1) or Get Log Page (for the controller: NSID 0 or
// FFFFFFFF) into `page`; the status (0: success). A page is what the drive holds from the offset on.
uint32_t RunNvme(const Drive& d, const NvmeCommand& c, std::vector<uint8_t>& page) {
    page.clear();
    if (c.opcode == NvmeIdentify) {
        const uint32_t cns = c.cdw[0] & 0xFF;
        const auto ns = d.NvmeNamespaces.find(c.nsid);
        if (cns == 1 && !d.NvmeIdentifyController.empty()) page = d.NvmeIdentifyController;
        else if (cns == 0 && c.nsid == 1 && ns != d.NvmeNamespaces.end()) page = ns->second;
        else return NvmeStatusInvalidField;
        return 0;
    }
    if (c.opcode != NvmeGetLogPage) return NvmeStatusInvalidOpcode;
    const auto log = d.NvmeLogs.find(static_cast<uint8_t>(c.cdw[0]));
    const uint64_t offset = static_cast<uint64_t>(c.cdw[3]) << 32 | c.cdw[2];
    if ((c.nsid != 0 && c.nsid != 0xFFFFFFFF) || log == d.NvmeLogs.end() || offset >= log->second.size())
        return NvmeStatusInvalidField;
    const uint64_t end = std::min<uint64_t>(offset + LogBytes(c), log->second.size());
    page.assign(log->second.begin() + static_cast<std::ptrdiff_t>(offset), log->second.begin() + static_cast<std::ptrdiff_t>(end));
    return 0;
}

// The page into the data area, zero-filled past its end (a failed command leaves only zeros).
uint32_t PlacePage(const std::vector<uint8_t>& page, uint8_t* data, uint32_t length) {
    std::memset(data, 0, length);
    Deliver(page, length, data, length);
    return length;
}

// ASMedia 0xE6, data-in: [1] opcode, [3] CDW10 bits 7:0, [6-7] CDW10 bits 31:16, [8-11] CDW13,
// [12-15] CDW12, big-endian. No NSID travels: the bridge sends namespace 1 for Identify and
// FFFFFFFF for a log. No NVMe status comes back: a failed command is GOOD with zeros.
bool ASMediaCommand(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (f.cdbLength != 16 || f.direction != DirectionIn || f.length == 0) return false;
    NvmeCommand c;
    c.opcode = f.cdb[1];
    c.cdw[0] = static_cast<uint32_t>(f.cdb[6] << 8 | f.cdb[7]) << 16 | f.cdb[3];
    c.cdw[3] = Get32BE(f.cdb + 8);
    c.cdw[2] = Get32BE(f.cdb + 12);
    c.nsid = c.opcode == NvmeIdentify ? 1 : 0xFFFFFFFF;
    std::vector<uint8_t> page;
    if (reply != Reply::Normal || RunNvme(d, c, page) != 0) page.clear();
    return GoodReply(f, reply, PlacePage(page, f.data(), f.length), bytesReturned);
}

// Realtek 0xE4, data-in: [1-2] transfer length (little-endian), [3] opcode, [4] CDW10 bits 7:0, the
// rest zero; the log's length is the transfer's. Like ASMedia, no NSID and no NVMe status. Past
// 0x200 bytes a log read, failed or not, returns what its buffer held from the replies before.
bool RealtekCommand(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (f.cdbLength != 16 || f.direction != DirectionIn || f.length == 0 || Get16(f.cdb, 1) != f.length) return false;
    NvmeCommand c;
    c.opcode = f.cdb[3];
    c.cdw[0] = static_cast<uint32_t>((f.length / 4 - 1) & 0xFFFF) << 16 | f.cdb[4];
    c.nsid = c.opcode == NvmeIdentify ? 1 : 0xFFFFFFFF;
    const bool restZero = std::all_of(f.cdb + 5, f.cdb + 16, [](uint8_t b) { return b == 0; });
    std::vector<uint8_t> page;
    if (reply != Reply::Normal || !restZero || RunNvme(d, c, page) != 0) page.clear();
    std::vector<uint8_t>& buffer = d.BridgeState.Buffer;
    if (buffer.size() < f.length) buffer.resize(f.length, RealtekPowerUpByte);
    const uint32_t fresh = c.opcode == NvmeGetLogPage ? std::min(f.length, RealtekFreshBytes) : f.length;
    PlacePage(page, buffer.data(), fresh);
    std::memcpy(f.data(), buffer.data(), f.length);
    return GoodReply(f, reply, f.length, bytesReturned);
}

// JMicron phase 1: the command block (512 bytes out) is kept for phase 2.
bool JMicronStore(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (!f.out(JMicronBlockSize)) return false;
    BridgeMemory& m = d.BridgeState;
    m.Completed = false;
    if (Get32(f.data(), 0) != JMicronSignature) {
        m.Command.clear();
        return CheckReply(f, reply, SenseIllegalRequest, AscInvalidParameter, bytesReturned);
    }
    m.Command.assign(f.data(), f.data() + JMicronBlockSize);
    return GoodReply(f, reply, 0, bytesReturned);
}

// JMicron phase 2 (0x81 no data, 0x82 data in, 0x83 data out): runs the stored command. Only reads
// are modelled, so one without a data-in phase fails. A self-test log read of more than 0x218 bytes
// hangs the bridge, which resets its USB port.
bool JMicronExecute(Drive& d, Reply reply, const Frame& f, uint8_t protocol, uint32_t length, uint32_t& bytesReturned) {
    const bool agrees = protocol == 1 ? f.none() && length == 0
                                      : f.length == length && f.direction == (protocol == 2 ? DirectionIn : DirectionOut);
    if (!agrees) return false;
    BridgeMemory& m = d.BridgeState;
    if (m.Command.empty()) {
        m.Completed = false;
        if (protocol == 2) std::memset(f.data(), 0, f.length);
        return GoodReply(f, reply, protocol == 2 ? f.length : 0, bytesReturned);
    }
    const uint8_t* block = m.Command.data();
    NvmeCommand c;
    c.opcode = block[8];
    c.nsid = Get32(block, 12);
    for (int i = 0; i < 6; ++i) c.cdw[i] = Get32(block, 48 + 4 * i);
    m.Command.clear();
    if (c.opcode == NvmeGetLogPage && (c.cdw[0] & 0xFF) == NvmeSelfTestLogPage && LogBytes(c) > JMicronLongestSelfTestLog)
        return ResetDrive(d);
    std::vector<uint8_t> page;
    m.Status = protocol != 2 || reply != Reply::Normal ? NvmeStatusInvalidField : RunNvme(d, c, page);
    m.Result = 0;
    m.Completed = true;
    if (protocol != 2) return GoodReply(f, reply, 0, bytesReturned);
    return GoodReply(f, reply, PlacePage(m.Status == 0 ? page : std::vector<uint8_t>(), f.data(), f.length),
                     bytesReturned);
}

// JMicron phase 3 (512 bytes in): the signature and the completion entry in dwords 2..5, once per
// command phase 2 ran; otherwise no signature.
bool JMicronRespond(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (!f.in(JMicronBlockSize)) return false;
    BridgeMemory& m = d.BridgeState;
    uint8_t* p = f.data();
    std::memset(p, 0, JMicronBlockSize);
    if (m.Completed) {
        Put32(p, 0, JMicronSignature);
        Put32(p, 8, m.Result);
        Put32(p, 20, m.Status << 17);
    }
    m.Completed = false;
    return GoodReply(f, reply, JMicronBlockSize, bytesReturned);
}

bool JMicronNvmeCommand(Drive& d, Reply reply, const Frame& f, uint32_t& bytesReturned) {
    if (f.cdbLength != 12) return false;
    const uint8_t protocol = f.cdb[1] & 0x7F;
    const uint32_t length = Get24BE(f.cdb + 3);
    switch (protocol) {
        case 0x0: return length == JMicronBlockSize && JMicronStore(d, reply, f, bytesReturned);
        case 0x1:
        case 0x2:
        case 0x3: return JMicronExecute(d, reply, f, protocol, length, bytesReturned);
        case 0xF: return length == JMicronBlockSize && JMicronRespond(d, reply, f, bytesReturned);
        default: return Unknown(f, reply, bytesReturned);
    }
}

}  // namespace

AccessMethod PassThroughMethod(const uint8_t* r, uint32_t size) {
    if (size < HeaderSize) return AccessMethod::SAT;
    const uint8_t* cdb = r + 28;
    switch (cdb[0]) {
        case 0xE6: return AccessMethod::ASMedia;
        case 0xE4: return AccessMethod::Realtek;
        case 0xA1: return (cdb[1] & 0x80) ? AccessMethod::JMicronNVMe : AccessMethod::SAT;
        case 0xDF: return AccessMethod::JMicron;
        case 0xD8:
        case 0xD7: return cdb[4] == 0x06 && cdb[5] == 0x7B ? AccessMethod::Prolific : AccessMethod::SAT;
        case 0xF8: return AccessMethod::Sunplus;
        case 0x24: return cdb[1] == 0x24 ? AccessMethod::Cypress : AccessMethod::SAT;
        default: return AccessMethod::SAT;
    }
}

bool BridgeTaskFile(AccessMethod method, const uint8_t* r, uint32_t size, AtaTaskFile& tf) {
    return size >= HeaderSize && CommandRegisters(method, r + 28, tf);
}

AtaTaskFile SatRegisters(const uint8_t* cdb) {
    constexpr RegisterOffsets Sat = {3, 4, 5, 6, 7, 8, 9};
    return LoadRegisters(cdb, Sat);
}

bool ScsiPassThrough(Drive& d, Reply reply, uint8_t* r, uint32_t size, uint32_t& bytesReturned) {
    Frame f;
    if (!DecodeFrame(r, size, f)) return false;
    if (d.Bridge == AccessMethod::SAT || (d.Bridge == AccessMethod::JMicron && f.cdb[0] == 0xA1))
        return SatCommand(d, reply, f, bytesReturned);
    if (PassThroughMethod(r, size) != d.Bridge) return Unknown(f, reply, bytesReturned);
    switch (d.Bridge) {
        case AccessMethod::ASMedia: return ASMediaCommand(d, reply, f, bytesReturned);
        case AccessMethod::Realtek: return RealtekCommand(d, reply, f, bytesReturned);
        case AccessMethod::JMicronNVMe: return JMicronNvmeCommand(d, reply, f, bytesReturned);
        case AccessMethod::JMicron: return JMicronCommand(d, reply, f, bytesReturned);
        case AccessMethod::Prolific: return ProlificCommand(d, reply, f, bytesReturned);
        case AccessMethod::Sunplus: return SunplusCommand(d, reply, f, bytesReturned);
        case AccessMethod::Cypress: return CypressCommand(d, reply, f, bytesReturned);
        default: return false;  // not a bridge
    }
}

unsigned HazardousCommandTotal() {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    unsigned total = 0;
    for (const Drive& d : Current().Drives) total += d.HazardousCommands;
    return total;
}

}  // namespace sim
