// Arbitrary replies of a USB bridge to each of its own command blocks: the first input byte picks
// the bridge; then the drive behind it is identified and read (Identify, the health page, the
// self-test log or the thresholds) through the dispatcher while the rest of the input rewrites each
// reply as it comes back: whether the call fails, how many bytes it reports and which bytes of the
// reply (the SCSI status, the sense area, the data, JMicron's completion) it overwrites.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "device/DriveRecord.h"
#include "device/TIOCTL.h"
#include "platform/Storage.h"
#include "platform/sim/SimMachine.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
};

// A mode byte per reply: as the bridge answered, failed, no bytes, or some bytes overwritten.
bool Rewrite(Input& in, bool result, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
    const uint8_t mode = in.Byte();
    if (mode % 4 == 0 || outSize == 0) return result;
    if (mode % 4 == 1) return false;
    if (mode % 4 == 2) {
        bytesReturned = 0;
        return true;
    }
    const uint32_t offset = in.Word() % outSize;
    const uint32_t length = in.Byte() % (outSize - offset + 1);
    for (uint32_t i = 0; i < length; ++i) out[offset + i] = in.Byte();
    return mode & 0x80 ? !result : result;
}

const AccessMethod Bridges[] = {AccessMethod::ASMedia, AccessMethod::Realtek, AccessMethod::JMicronNVMe,
                                AccessMethod::JMicron,  AccessMethod::Prolific, AccessMethod::Sunplus,
                                AccessMethod::Cypress};

AtaTaskFile IdentifyTaskFile(uint8_t cns, uint8_t nsid) {
    AtaTaskFile tf;
    tf.Command = ATA_IDENTIFY_DEVICE;
    tf.SectorCount = cns;
    tf.SectorNumber = nsid;
    return tf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const sim::Machine builtIn = sim::DefaultMachine();
    Input in{data, size};
    const AccessMethod bridge = Bridges[in.Byte() % std::size(Bridges)];
    const bool nvme = IsNvmeTunnel(bridge);
    sim::Machine m;  // the built-in machine's drive in an NVMe enclosure, or the one in an older enclosure
    for (const sim::Drive& d : builtIn.Drives)
        if (d.Bridge != AccessMethod::SAT && IsNvmeTunnel(d.Bridge) == nvme) m.Drives = {d};
    m.Drives.at(0).Bridge = bridge;
    sim::Install(std::move(m));

    DriveRecord d;
    d.DevicePath = sim::Current().Drives[0].DevicePath;
    d.Handle = platform::CreateFile(d.DevicePath);
    d.IsUSB = true;
    d.IsNVMe = nvme;
    d.BridgeMethod = static_cast<uint8_t>(bridge);
    sim::SetReplyHook([&in](uint32_t, bool result, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
        return Rewrite(in, result, out, outSize, bytesReturned);
    });
    if (nvme) {
        ExecuteCommand(d, IdentifyTaskFile(1, 0), d.NVMeIdentifyController, sizeof d.NVMeIdentifyController);
        ExecuteCommand(d, IdentifyTaskFile(0, 1), d.NVMeIdentifyNamespace, sizeof d.NVMeIdentifyNamespace);
        uint8_t log[564];
        ExecuteCommand(d, SmartTaskFile(SMART_READ_LOG, 1, NvmeSelfTestLogPage), log, sizeof log);
    } else {
        ExecuteCommand(d, IdentifyTaskFile(1, 0), d.IdentifyData, sizeof d.IdentifyData);
        ExecuteCommand(d, SmartTaskFile(SMART_READ_THRESHOLDS, 1), d.SmartThresholds, sizeof d.SmartThresholds);
        ExecuteCommand(d, SmartTaskFile(SMART_ENABLE_OPERATIONS));
    }
    ExecuteCommand(d, SmartTaskFile(SMART_READ_DATA, 1), d.SmartData, sizeof d.SmartData);
    sim::SetReplyHook(nullptr);
    platform::CloseHandle(d.Handle);
    return 0;
}
