// The storage facility of the simulated machine: device enumeration, handles, and DeviceIoControl,
// which decodes each access method's request buffer byte by byte, runs the command on the drive's
// ATA engine and writes the reply the way that driver stack does.
#include <algorithm>
#include <cstring>
#include <map>

#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

std::map<platform::DevInfoSet, std::vector<size_t>> Sets;  // set -> drives listed in its class
platform::DevInfoSet NextSet = 0x10;

bool InClass(const Drive& d, const platform::Guid& cls) {
    if (d.Removed) return false;
    if (cls == platform::GUID_DEVINTERFACE_DISK) return d.InDiskClass;
    if (cls == platform::GUID_DEVINTERFACE_STORAGE2) return d.InStorage2Class;
    return false;
}

bool MethodForCode(uint32_t code, AccessMethod& method) {
    switch (code) {
        case IOCTL_ATA_PASS_THROUGH: method = AccessMethod::ATA; return true;
        case IOCTL_IDE_PASS_THROUGH: method = AccessMethod::IDE; return true;
        case SMART_RCV_DRIVE_DATA:
        case SMART_SEND_DRIVE_COMMAND: method = AccessMethod::OLD; return true;
        case IOCTL_SCSI_PASS_THROUGH: method = AccessMethod::SAT; return true;
        case IOCTL_SCSI_MINIPORT: method = AccessMethod::SCSI; return true;
        case IOCTL_STORAGE_QUERY_PROPERTY:
        case IOCTL_STORAGE_PROTOCOL_COMMAND: method = AccessMethod::NVMe; return true;
        default: return false;
    }
}

// An NVMe request in the task-file terms callers describe it with: Identify 0xEC (CNS, namespace),
// health log 0xB0/0xD0, other log pages 0xB0/0xD5, Get Features 0xEF, self-test 0xB0/0xD4.
bool PeekNvmeRequest(const uint8_t* in, uint32_t inSize, AtaTaskFile& tf) {
    if (inSize == NvmeCommandSize) {
        tf.Command = 0xB0;
        tf.Features = 0xD4;
        tf.SectorNumber = in[120];
        return true;
    }
    if (inSize < NvmeQueryDataOffset) return false;
    const uint32_t type = Get32(in, 12), value = Get32(in, 16);
    if (type == 1) {
        tf.Command = 0xEC;
        tf.SectorCount = static_cast<uint8_t>(value);
        tf.SectorNumber = in[20];
    } else if (type == 2) {
        tf.Command = 0xB0;
        tf.Features = value == 2 ? 0xD0 : 0xD5;
        tf.SectorNumber = value == 2 ? 0 : static_cast<uint8_t>(value);
    } else if (type == 3) {
        tf.Command = 0xEF;
        tf.Features = static_cast<uint8_t>(value);
    } else {
        return false;
    }
    return true;
}

// The task file a request carries, for the history and for per-command faults.
bool PeekTaskFile(AccessMethod method, const uint8_t* in, uint32_t inSize, AtaTaskFile& tf) {
    switch (method) {
        case AccessMethod::ATA:
            if (inSize < AtaDataOffset) return false;
            tf = LoadTaskFile(in + 32);
            return true;
        case AccessMethod::IDE:
            if (inSize < IdeDataOffset) return false;
            tf = LoadTaskFile(in);
            return true;
        case AccessMethod::OLD:
            if (inSize < SendCmdInSize) return false;
            tf = LoadTaskFile(in + 4);
            return true;
        case AccessMethod::SCSI:
            if (inSize < MiniportInDataOffset) return false;
            tf = LoadTaskFile(in + 32);
            return true;
        case AccessMethod::SAT:
            if (inSize < SatDataOffset) return false;
            tf = SatRegisters(in + 28);
            return true;
        case AccessMethod::NVMe: return PeekNvmeRequest(in, inSize, tf);
        default: return BridgeTaskFile(method, in, inSize, tf);
    }
}

// Every bridge's command block travels in the SCSI pass-through, which the stack must accept.
AccessMethod StackMethod(AccessMethod method) { return IsBridgeProtocol(method) ? AccessMethod::SAT : method; }

Fault* MatchingFault(Drive& d, AccessMethod method, const AtaTaskFile& tf, bool haveTaskFile) {
    // A fault on SAT is one on the pass-through, whatever block it carries.
    for (Fault& f : d.Faults) {
        if (f.method != method && f.method != StackMethod(method)) continue;
        if (f.command >= 0 && (!haveTaskFile || f.command != tf.Command)) continue;
        if (f.features >= 0 && (!haveTaskFile || f.features != tf.Features)) continue;
        return &f;
    }
    return nullptr;
}

Reply ReplyFor(const Fault* fault) {
    if (!fault) return Reply::Normal;
    switch (fault->kind) {
        case FaultKind::NoData: return Reply::NoData;
        case FaultKind::ErrorStatus: return Reply::ErrorStatus;
        case FaultKind::ZeroBytes: return Reply::ZeroBytes;
        default: return Reply::Normal;
    }
}

}  // namespace

AtaOutcome RunAta(Drive& d, Reply reply, const AtaTaskFile& tf, bool hostSends, uint8_t* data, uint32_t capacity) {
    if (reply == Reply::NoData) {
        AtaOutcome o;
        o.registers.Command = StatusReady;
        return o;
    }
    if (reply == Reply::ErrorStatus) {
        AtaOutcome o;
        o.registers.Command = StatusAborted | 0x08;  // ERR and DRQ
        o.registers.Features = ErrorAbort;
        return o;
    }
    return ExecuteAta(d, tf, hostSends, data, capacity);
}

bool Finish(Reply reply, uint32_t bytes, uint32_t& bytesReturned) {
    bytesReturned = reply == Reply::ZeroBytes ? 0 : bytes;
    return true;
}

namespace {

// ATA_PASS_THROUGH_EX: the returned registers replace CurrentTaskFile.
bool AtaPassThrough(Drive& d, Reply reply, uint8_t* r, uint32_t size, uint32_t& bytesReturned) {
    if (size < AtaDataOffset || Get16(r, 0) != AtaHeaderSize) return false;
    const uint16_t flags = Get16(r, 2);
    const uint32_t length = Get32(r, 8), offset = Get32(r, 20);
    if (offset < AtaHeaderSize || offset > size || length > size - offset) return false;
    const bool hostSends = flags & 4;
    const AtaTaskFile tf = LoadTaskFile(r + 32);
    AtaOutcome o = RunAta(d, reply, tf, hostSends, r + offset, (flags & 6) ? length : 0);
    StoreTaskFile(o.registers, r + 32);
    return Finish(reply, offset + o.delivered, bytesReturned);
}

bool IdePassThrough(Drive& d, Reply reply, uint8_t* r, uint32_t size, uint32_t& bytesReturned) {
    if (size < IdeDataOffset) return false;
    const uint32_t length = std::min(Get32(r, 8), size - IdeDataOffset);
    const AtaTaskFile tf = LoadTaskFile(r);
    AtaOutcome o = RunAta(d, reply, tf, CommandSendsData(tf) && length > 0, r + IdeDataOffset, length);
    StoreTaskFile(o.registers, r);
    return Finish(reply, IdeDataOffset + o.delivered, bytesReturned);
}

// The disk class driver takes reads through SMART_RCV_DRIVE_DATA and everything else through
// SMART_SEND_DRIVE_COMMAND; a command on the wrong code is refused.
bool LegacyCommandFits(uint32_t code, const AtaTaskFile& tf) {
    const bool read = tf.Command == 0xEC || tf.Command == 0xA1 ||
                      (tf.Command == 0xB0 && (tf.Features == 0xD0 || tf.Features == 0xD1 || tf.Features == 0xD5));
    const bool send = tf.Command == 0xB0 && !read;
    return code == SMART_RCV_DRIVE_DATA ? read : send;
}

bool LegacySmart(Drive& d, Reply reply, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                 uint32_t outSize, uint32_t& bytesReturned) {
    if (inSize < SendCmdInSize || outSize < SendCmdOutDataOffset) return false;
    const AtaTaskFile tf = LoadTaskFile(in + 4);
    if (!LegacyCommandFits(code, tf)) return false;
    const uint32_t capacity = std::min(Get32(in, 0), outSize - SendCmdOutDataOffset);
    std::vector<uint8_t> sent;
    if (code == SMART_SEND_DRIVE_COMMAND && inSize > SendCmdInSize) sent.assign(in + SendCmdInSize, in + inSize);
    uint8_t* data = code == SMART_RCV_DRIVE_DATA ? out + SendCmdOutDataOffset : sent.data();
    const uint32_t dataSize = code == SMART_RCV_DRIVE_DATA ? capacity : static_cast<uint32_t>(sent.size());
    AtaOutcome o = RunAta(d, reply, tf, code == SMART_SEND_DRIVE_COMMAND && !sent.empty(), data, dataSize);
    Put32(out, 0, o.delivered);
    out[4] = o.aborted() ? 1 : 0;  // SMART_IDE_ERROR
    out[5] = o.registers.Features;
    return Finish(reply, SendCmdOutDataOffset + o.delivered, bytesReturned);
}

constexpr uint32_t MiniportHeaderSize = 28;  // SRB_IO_CONTROL

// The miniport S.M.A.R.T. interface: the control code must name the command it carries.
uint32_t ExpectedControlCode(const AtaTaskFile& tf) {
    if (tf.Command == 0xEC) return 0x001B0501;
    if (tf.Command != 0xB0) return 0;
    static const std::map<uint8_t, uint32_t> Codes = {
        {0xD0, 0x001B0502}, {0xD1, 0x001B0503}, {0xD2, 0x001B0507}, {0xD4, 0x001B0509},
        {0xD5, 0x001B050B}, {0xD6, 0x001B050C}, {0xD8, 0x001B0504}, {0xD9, 0x001B0505},
        {0xDA, 0x001B0506}, {0xDB, 0x001B050A}};
    const auto it = Codes.find(tf.Features);
    return it == Codes.end() ? 0 : it->second;
}

// SRB_IO_CONTROL.Length: the port driver refuses one that runs past the buffer, and the miniport one
// without room for the command parameters and a whole sector, which it reads or writes.
bool MiniportLengthFits(const uint8_t* r, uint32_t size) {
    const uint32_t length = Get32(r, 24);
    return length <= size - MiniportHeaderSize && length >= MiniportInDataOffset - MiniportHeaderSize + SectorSize;
}

bool MiniportSmart(Drive& d, Reply reply, uint8_t* r, uint32_t size, uint32_t& bytesReturned) {
    if (size < MiniportRequestSize || Get32(r, 0) != MiniportHeaderSize || !MiniportLengthFits(r, size)) return false;
    const AtaTaskFile tf = LoadTaskFile(r + 32);
    const uint32_t code = Get32(r, 16);
    if (std::memcmp(r + 4, "SCSIDISK", 8) != 0 || code == 0 || code != ExpectedControlCode(tf)) {
        Put32(r, 20, 1);  // the miniport does not know the request
        return Finish(reply, MiniportRequestSize, bytesReturned);
    }
    std::vector<uint8_t> sent(r + MiniportInDataOffset, r + MiniportInDataOffset + SectorSize);
    const bool hostSends = CommandSendsData(tf);
    AtaOutcome o = hostSends ? RunAta(d, reply, tf, true, sent.data(), SectorSize)
                             : RunAta(d, reply, tf, false, r + MiniportOutDataOffset, SectorSize);
    Put32(r, 20, 0);
    Put32(r, 28, o.delivered);
    r[32] = o.aborted() ? 1 : 0;
    r[33] = o.registers.Features;
    if (reply == Reply::ErrorStatus) Put32(r, 20, 1);
    return Finish(reply, MiniportRequestSize, bytesReturned);
}

// NVMe faults: no data or no bytes leave the zeroed request as it was; an error status fails a
// query and answers a protocol command with STORAGE_PROTOCOL_STATUS_ERROR.
bool NvmeRequest(Drive& d, Reply reply, uint32_t code, uint8_t* r, uint32_t size, uint32_t& bytesReturned) {
    const bool query = code == IOCTL_STORAGE_QUERY_PROPERTY;
    if (reply == Reply::NoData || reply == Reply::ZeroBytes) return Finish(reply, size, bytesReturned);
    if (reply == Reply::ErrorStatus) {
        if (query || size < NvmeCommandSize) return false;
        Put32(r, 16, 2);
        return Finish(reply, size, bytesReturned);
    }
    return query ? NvmePropertyQuery(d, r, size, bytesReturned) : NvmeProtocolCommand(d, r, size, bytesReturned);
}

bool Dispatch(Drive& d, AccessMethod method, Reply reply, uint32_t code, const uint8_t* in, uint32_t inSize,
              uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
    // Buffered I/O: the driver sees the input copied into the output buffer.
    if (method != AccessMethod::OLD && out != in) std::memcpy(out, in, std::min(inSize, outSize));
    switch (method) {
        case AccessMethod::ATA: return AtaPassThrough(d, reply, out, outSize, bytesReturned);
        case AccessMethod::IDE: return IdePassThrough(d, reply, out, outSize, bytesReturned);
        case AccessMethod::OLD: return LegacySmart(d, reply, code, in, inSize, out, outSize, bytesReturned);
        case AccessMethod::SCSI: return MiniportSmart(d, reply, out, outSize, bytesReturned);
        case AccessMethod::NVMe: return NvmeRequest(d, reply, code, out, outSize, bytesReturned);
        default: return ScsiPassThrough(d, reply, out, outSize, bytesReturned);  // SAT and the bridges
    }
}

// The drive's answer through its stack: refused when the stack lacks the method, then as the
// drive's faults say.
bool Answer(Drive& d, AccessMethod method, const AtaTaskFile& tf, bool haveTaskFile, uint32_t code,
            const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
    if (!d.Accepts(StackMethod(method)) || !Answers(d.Power)) return false;
    WakeForAccess(d);
    Fault* fault = MatchingFault(d, method, tf, haveTaskFile);
    if (fault && fault->kind == FaultKind::Refuse) return false;
    if (fault && fault->kind == FaultKind::FailFirst) {
        if (fault->seen < fault->count) {
            ++fault->seen;
            return false;
        }
        fault = nullptr;
    }
    return Dispatch(d, method, ReplyFor(fault), code, in, inSize, out, outSize, bytesReturned);
}

}  // namespace

bool KnownSet(platform::DevInfoSet set) { return Sets.count(set) == 1; }

}  // namespace sim

namespace platform {

using sim::MachineLock;

DevInfoSet SetupDiGetClassDevs(const Guid& interfaceClass) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    std::vector<size_t> members;
    const sim::Machine& m = sim::Current();
    for (size_t i = 0; i < m.Drives.size(); ++i)
        if (sim::InClass(m.Drives[i], interfaceClass)) members.push_back(i);
    const DevInfoSet set = sim::NextSet++;
    sim::Sets[set] = members;
    return set;
}

bool SetupDiEnumDeviceInterfaces(DevInfoSet set, const Guid& interfaceClass, uint32_t memberIndex,
                                 DeviceInterfaceData& interfaceData) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    const auto it = sim::Sets.find(set);
    if (it == sim::Sets.end() || memberIndex >= it->second.size()) return false;
    interfaceData = DeviceInterfaceData{};
    interfaceData.InterfaceClassGuid = interfaceClass;
    interfaceData.Flags = 1;  // SPINT_ACTIVE
    interfaceData.Reserved = it->second[memberIndex] + 1;
    return true;
}

bool SetupDiGetDeviceInterfaceDetail(DevInfoSet set, const DeviceInterfaceData& interfaceData,
                                     uint32_t detailBufferSize, std::string& devicePath, DevInfoData& element) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    const sim::Machine& m = sim::Current();
    if (!sim::Sets.count(set) || interfaceData.Reserved == 0 || interfaceData.Reserved > m.Drives.size())
        return false;
    const size_t index = interfaceData.Reserved - 1;
    const sim::Drive& d = m.Drives[index];
    const bool second = interfaceData.InterfaceClassGuid == GUID_DEVINTERFACE_STORAGE2 && !d.Storage2Path.empty();
    const std::string& path = second ? d.Storage2Path : d.DevicePath;
    if (4 + path.size() + 1 > detailBufferSize) return false;  // ERROR_INSUFFICIENT_BUFFER
    devicePath = path;
    element = DevInfoData{};
    element.DevInst = static_cast<uint32_t>(index + 1);
    return true;
}

bool SetupDiGetDeviceProperty(DevInfoSet set, const DevInfoData& element, const DevPropKey& key,
                              uint32_t bufferSize, std::vector<uint8_t>& value, uint32_t& type) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    return sim::KnownSet(set) && sim::DevicePropertyValue(element, key, bufferSize, value, type);
}

// The simulated machine's ANSI code page is Latin-1; '?' is its default character.
std::string WideCharToMultiByte(const std::u16string& text) {
    std::string narrow;
    for (const char16_t c : text) narrow += c <= 0xFF ? static_cast<char>(c) : '?';
    return narrow;
}

void SetupDiDestroyDeviceInfoList(DevInfoSet set) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    sim::Sets.erase(set);
}

Handle CreateFile(const std::string& path) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    const sim::Machine& m = sim::Current();
    for (size_t i = 0; i < m.Drives.size(); ++i)
        if (!path.empty() && (m.Drives[i].DevicePath == path || m.Drives[i].Storage2Path == path))
            return m.Drives[i].Opens && !m.Drives[i].Removed ? sim::OpenHandle(i) : INVALID_HANDLE_VALUE;
    return INVALID_HANDLE_VALUE;
}

bool CloseHandle(Handle handle) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    return sim::CloseDriveHandle(handle) || sim::CloseVolumeHandle(handle);
}

bool DeviceIoControl(Handle handle, uint32_t code, const void* inBuffer, uint32_t inSize, void* outBuffer,
                     uint32_t outSize, uint32_t& bytesReturned) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    bytesReturned = 0;
    const uint8_t* in = static_cast<const uint8_t*>(inBuffer);
    uint8_t* out = static_cast<uint8_t*>(outBuffer);
    if (!in) inSize = 0;
    if (!out) outSize = 0;
    bool answer = false;
    if (sim::AnswerDeviceRequest(handle, code, in, inSize, out, outSize, bytesReturned, answer))
        return sim::TheReplyHook ? sim::TheReplyHook(code, answer, out, outSize, bytesReturned) : answer;
    sim::Drive* d = sim::DriveForHandle(handle);
    AccessMethod method;
    if (!d || !sim::MethodForCode(code, method)) return false;
    if (method == AccessMethod::SAT) method = sim::PassThroughMethod(in, inSize);

    AtaTaskFile tf;
    const bool haveTaskFile = sim::PeekTaskFile(method, in, inSize, tf);
    d->Requests[method]++;
    d->History.push_back({method, code, haveTaskFile ? tf : AtaTaskFile{}});
    d->LastInput.assign(in, in + inSize);
    const bool result = sim::Answer(*d, method, tf, haveTaskFile, code, in, inSize, out, outSize, bytesReturned);
    return sim::TheReplyHook ? sim::TheReplyHook(code, result, out, outSize, bytesReturned) : result;
}

std::uintptr_t RegisterDeviceInterfaceNotification(std::uintptr_t window, const Guid& interfaceClass) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    if (!window || std::memcmp(&interfaceClass, &GUID_DEVINTERFACE_DISK, sizeof(Guid)) != 0) return 0;
    sim::Current().InterfaceNotifications.push_back(window);
    return 0x7000 + sim::Current().InterfaceNotifications.size();
}

// The simulated broadcast is the portable record itself.
bool ReadDeviceBroadcast(std::intptr_t lParam, DeviceBroadcast& broadcast) {
    if (lParam == 0) return false;
    broadcast = *reinterpret_cast<const DeviceBroadcast*>(lParam);
    return true;
}

// A notification goes to a window: without one there is nobody to tell, and Windows refuses it.
std::uintptr_t RegisterDeviceNotification(std::uintptr_t window, Handle device) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    if (!window || !sim::DriveForHandle(device)) return 0;
    sim::Current().Notifications.push_back({window, device});
    return sim::Current().Notifications.size();
}

}  // namespace platform
