// Arbitrary drive replies fed to the dispatcher and the scan. The built-in machine answers first;
// the fuzz input then decides, request by request, whether the call fails, how many bytes it
// reports and which bytes of the reply it overwrites. Nothing may crash or touch memory outside a
// buffer, whatever the drives say.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "discovery/Scan.h"
#include "device/TIOCTL.h"
#include "platform/sim/SimMachine.h"
#include "smart/Condition.h"
#include "smart/NvmeHealth.h"
#include "smart/SmartData.h"
#include "device/DiagnosticLog.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
};

// One request's worth of input: a mode byte, then for an overwrite an offset, a length and bytes.
bool Rewrite(Input& in, bool result, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
    const uint8_t mode = in.Byte();
    switch (mode % 5) {
        case 0: return result;
        case 1: return false;
        case 2: bytesReturned = 0; return true;
        default: break;
    }
    if (outSize == 0) return result;
    const uint32_t offset = in.Word() % outSize;
    const uint32_t length = in.Word() % (outSize - offset + 1);
    for (uint32_t i = 0; i < length && in.at < in.size; ++i) out[offset + i] = in.Byte();
    bytesReturned = in.Word();
    return mode & 0x80 ? !result : true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in{data, size};
    ResetProcessState();
    sim::Machine machine = sim::DefaultMachine();
    if (in.Byte() & 1) machine.Drives[0].Parent = "USB\\VID_152D&PID_0578\\1";
    sim::Install(std::move(machine));
    sim::SetReplyHook([&in](uint32_t, bool result, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
        return Rewrite(in, result, out, outSize, bytesReturned);
    });
    ScanDrives();
    // What the monitoring cycle does with each new page, and the self-test log an NVMe drive keeps.
    for (unsigned i = 0; i < DriveTable.Count; ++i) {
        DriveRecord& d = *DriveTable.Drives[i];
        ReadSmartData(d);
        if (!d.IsNVMe) d.AttributeCount = CountAttributes(d);
        ExtractSmartValues(d);
        EvaluateCondition(d);
        if (d.IsNVMe) {
            NvmeSelfTestLog log;
            ReadNvmeSelfTestLog(d, log);
        }
    }
    sim::SetReplyHook(nullptr);
    ClearDriveTable();
    return 0;
}
