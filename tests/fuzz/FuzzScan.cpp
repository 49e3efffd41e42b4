// Arbitrary device properties and drive replies fed to the dispatcher and the scan. The input first
// rewrites properties of the built-in machine's device tree (parent identifiers, addresses,
// hardware identifiers, controller texts, PCIe link values); then the machine answers and the input
// decides, request by request, whether the call fails, how many bytes it reports and which bytes of
// the reply it overwrites. Nothing may crash or touch memory outside a buffer, whatever the devices say.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/DriveTableFill.h"
#include "discovery/Scan.h"
#include "device/TIOCTL.h"
#include "platform/sim/SimMachine.h"
#include "smart/Condition.h"
#include "smart/NvmeHealth.h"
#include "smart/SmartData.h"
#include "device/DiagnosticLog.h"
#include "ui/ProcessState.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    uint8_t Byte() { return at < size ? data[at++] : 0; }
    uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
    uint32_t Dword() { return Word() | (static_cast<uint32_t>(Word()) << 16); }
    // A length byte, then that many characters (any byte values).
    std::string Text() {
        std::string text(Byte() % 64, '\0');
        for (char& c : text) c = static_cast<char>(Byte());
        return text;
    }
};

// An address property; a negative one cannot be read.
int Address(Input& in) { return static_cast<int>(in.Dword()); }

// One flag byte per drive and per tree device says which of its properties the input replaces.
void RewriteProperties(Input& in, sim::Machine& machine) {
    for (sim::Drive& d : machine.Drives) {
        const uint8_t which = in.Byte();
        if (which & 0x01) d.Parent = in.Text();
        if (which & 0x02) d.Address = Address(in);
    }
    for (sim::DeviceNode& n : machine.Devices) {
        const uint8_t which = in.Byte();
        if (which & 0x01) n.InstanceId = in.Text();
        if (which & 0x02) n.Parent = in.Text();
        if (which & 0x04) n.Address = Address(in);
        if (which & 0x08) n.HardwareIds = {in.Text(), in.Text()};
        if (which & 0x10) n.Enumerator = in.Text();
        if (which & 0x20) n.DriverDesc = in.Text();
        if (which & 0x40) n.MatchingDeviceId = in.Text();
        if (which & 0x80) {
            n.PciExpress = true;
            n.MaxLinkSpeed = in.Dword();
            n.MaxLinkWidth = in.Dword();
            n.CurrentLinkSpeed = in.Dword();
            n.CurrentLinkWidth = in.Dword();
        }
    }
}

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
    RewriteProperties(in, machine);
    sim::Install(std::move(machine));
    sim::SetReplyHook([&in](uint32_t, bool result, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
        return Rewrite(in, result, out, outSize, bytesReturned);
    });
    ScanDrives();
    // What the monitoring cycle does with each new page, and the self-test log an NVMe drive keeps.
    for (unsigned i = 0; i < DriveCount(); ++i) {
        DriveRecord& d = DriveForCommands(i);
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
