#include "device/TIOCTL.h"

#include <cstring>
#include <iterator>
#include <mutex>
#include <string>

#include "device/DiagnosticLog.h"
#include "device/Transports.h"
#include "platform/Storage.h"
#include "platform/Time.h"

std::atomic<bool> SelfTestThrottled{false};

namespace {

std::mutex DispatcherLock;  // one drive command in flight at a time

constexpr uint8_t AllNvme = NvmeIdentify | NvmeLogPage | NvmeFeatures | NvmeSelfTest;
constexpr uint32_t NoLogLimit = 4096;

// One row per access method, in the order of AccessMethod. The NVMe tunnels carry Identify and log
// pages only: their bridges take no other admin command, and ASMedia's and Realtek's give no
// completion to read a feature's value from.
constexpr TransportCapability Capabilities[] = {
    {AccessMethod::NVMe, TransportNVMe, true, false, AllNvme, 8, false, NoLogLimit, true},
    {AccessMethod::ATA, TransportATA, true, true, 0, 255, false, 0, true},
    {AccessMethod::SCSI, TransportSCSI, true, true, 0, 1, true, 0, true},
    // the legacy requests have no data-out form: a WRITE LOG would come back as a read
    {AccessMethod::OLD, TransportOLD, true, false, 0, 1, true, 0, true},
    {AccessMethod::IDE, TransportIDE, true, true, 0, 1, true, 0, true},
    {AccessMethod::SAT, TransportSAT, true, true, 0, 255, false, 0, true},
    {AccessMethod::ASMedia, TransportASMedia, true, false, NvmeIdentify | NvmeLogPage, 8, false, NoLogLimit, false},
    {AccessMethod::Realtek, TransportRealtek, true, false, NvmeIdentify | NvmeLogPage, 8, false, 0x200, false},
    // a self-test log read past 0x218 bytes hangs the bridge's controller and resets its port
    {AccessMethod::JMicronNVMe, TransportJMicronNVMe, true, false, NvmeIdentify | NvmeLogPage, 8, false, 0x218, true},
    {AccessMethod::JMicron, TransportJMicron, true, true, 0, 127, false, 0, true},
    {AccessMethod::Prolific, TransportProlific, true, true, 0, 255, false, 0, true},
    {AccessMethod::Sunplus, TransportSunplus, true, true, 0, 255, false, 0, true},
    {AccessMethod::Cypress, TransportCypress, true, false, 0, 1, false, 0, true},
};

constexpr bool CapabilitiesInOrder() {
    for (size_t i = 0; i < std::size(Capabilities); ++i)
        if (static_cast<size_t>(Capabilities[i].Method) != i) return false;
    return std::size(Capabilities) == std::size(AllAccessMethods);
}
static_assert(CapabilitiesInOrder(), "one capability row per access method, in its order");

// One place in a drive class's access order. A fallback that worked is logged once (onceLine,
// remembered in flag) or every time (repeatLine, after the current time).
struct AccessStep {
    AccessMethod method;
    const char* onceLine;
    bool DriveRecord::*flag;
    const char* repeatLine;
};

const AccessStep NVMeOrder[] = {
    {AccessMethod::NVMe, nullptr, nullptr, nullptr},
    {AccessMethod::ATA, "NVMe via ATA", &DriveRecord::UsedNVMe_ATA, nullptr},
    {AccessMethod::SCSI, "NVMe via SCSI", &DriveRecord::UsedNVMe_SCSI, nullptr},
};

// Get Features goes through NVMe alone: over ATA and SCSI its task file is a SET FEATURES whose
// subcommand is the feature identifier (0x02 would enable the write cache), a read turned into a change.
const AccessStep NVMeGetFeaturesOrder[] = {
    {AccessMethod::NVMe, nullptr, nullptr, nullptr},
};

const AccessStep USBOrder[] = {
    {AccessMethod::SAT, nullptr, nullptr, nullptr},
    {AccessMethod::ATA, "USB via ATA", &DriveRecord::UsedUSB_ATA, nullptr},
    {AccessMethod::SCSI, "USB via SCSI", &DriveRecord::UsedUSB_SCSI, nullptr},
    {AccessMethod::OLD, "USB via OLD", &DriveRecord::UsedUSB_OLD, nullptr},
    {AccessMethod::IDE, "USB via IDE", &DriveRecord::UsedUSB_IDE, nullptr},
};

const AccessStep DefaultOrder[] = {
    {AccessMethod::ATA, nullptr, nullptr, nullptr},
    {AccessMethod::ATA, nullptr, nullptr, ": The second access attempt was successful"},
    {AccessMethod::ATA, nullptr, nullptr, ": The third access attempt was successful"},
    {AccessMethod::SCSI, "Access via SCSI", &DriveRecord::UsedSCSI, nullptr},
    {AccessMethod::OLD, "Access via OLD", &DriveRecord::UsedOLD, nullptr},
    {AccessMethod::IDE, "Access via IDE", &DriveRecord::UsedIDE, nullptr},
    {AccessMethod::SAT, "Access via SAT", &DriveRecord::UsedSAT, nullptr},
};

// A drive behind a bridge with command blocks of its own is reached by those alone: what the
// standard orders would try instead either fails or, sent to the wrong bridge, harms the drive.
const AccessStep BridgeSteps[] = {
    {AccessMethod::ASMedia, nullptr, nullptr, nullptr},  {AccessMethod::Realtek, nullptr, nullptr, nullptr},
    {AccessMethod::JMicronNVMe, nullptr, nullptr, nullptr}, {AccessMethod::JMicron, nullptr, nullptr, nullptr},
    {AccessMethod::Prolific, nullptr, nullptr, nullptr}, {AccessMethod::Sunplus, nullptr, nullptr, nullptr},
    {AccessMethod::Cypress, nullptr, nullptr, nullptr},
};

const AccessStep* BridgeStep(AccessMethod method) {
    for (const AccessStep& step : BridgeSteps)
        if (step.method == method) return &step;
    return nullptr;
}

// What the transport cannot carry of the command, or null when it can carry it.
const char* Missing(const DriveRecord& drive, const TransportCapability& can, const AtaTaskFile& tf, bool hasBuffer,
                    bool dataOut) {
    if (dataOut && !can.DataOut) return "data to the drive";
    if (hasBuffer && !dataOut && !can.DataIn) return "data from the drive";
    if (drive.IsNVMe && can.NvmeForms && !(can.NvmeForms & NvmeFormOf(tf))) return "this NVMe request";
    if (hasBuffer && !can.NvmeForms && tf.SectorCount > can.MaxSectors && !can.FirstSectorOnly)
        return "that many sectors";
    return nullptr;
}

// A command no method of the drive's order could carry was never sent: said once per command (and
// S.M.A.R.T. subcommand), not per feature identifier.
void LogRefusal(DriveRecord& drive, const AtaTaskFile& tf, AccessMethod method, const char* missing) {
    std::string line = std::string(AccessMethodName(method)) + " cannot carry " + missing + ": " + CommandName(tf.Command);
    if (tf.Command == ATA_SMART) line += std::string(" ") + SubcommandName(tf.Command, tf.Features, drive.IsNVMe);
    WriteLogOnce(line, &drive);
}

void NoteSuccess(DriveRecord& drive, const AccessStep& step) {
    if (step.repeatLine) {
        WriteLog(platform::GetTimeFormat() + step.repeatLine, &drive);
    } else if (step.flag && !(drive.*step.flag)) {
        WriteLog(step.onceLine, &drive);
        drive.*step.flag = true;
    }
}

// Logs that many drives do not have, and throttled NVMe self-tests, fail without a report.
bool FailsSilently(const DriveRecord& drive, const AtaTaskFile& tf) {
    if (SelfTestThrottled) return true;
    if (tf.Command != ATA_SMART) return false;
    if (tf.Features == SMART_READ_LOG) {
        if (tf.SectorNumber == LogDirectory && (drive.IsUSB || drive.UsedOLD)) return true;
        return tf.SectorNumber == IdentifyDeviceDataLog || tf.SectorNumber == SctCommandLog ||
               tf.SectorNumber == SctDataLog;
    }
    return tf.Features == SMART_WRITE_LOG && tf.SectorNumber == SctCommandLog;
}

void WriteFailureReport(DriveRecord& drive, const AtaTaskFile& tf) {
    std::string report = "IOCTL failed.\r\nCommand - ";
    report += CommandName(tf.Command);
    if (tf.Command != ATA_IDENTIFY_DEVICE) {
        report += "\r\nFeatures - ";
        report += SubcommandName(tf.Command, tf.Features, drive.IsNVMe);
        report += "\r\nSectorNumber - " + std::to_string(tf.SectorNumber);
    }
    report += "\r\nTime - " + platform::GetTimeFormat();
    WriteLog(report, &drive);
}

// The step that carried the command, or null when none did.
// The step that carried the command, or null when none did; `sent` tells whether any was tried.
const AccessStep* TryInOrder(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut,
                             const AccessStep* first, const AccessStep* last, bool& sent) {
    const char* missing = nullptr;
    for (const AccessStep* step = first; step != last; ++step) {
        const TransportCapability& can = CapabilityOf(step->method);
        missing = Missing(drive, can, tf, buffer != nullptr, dataOut);
        if (missing) continue;
        sent = true;
        if (can.Transport(drive, tf, buffer, size, dataOut)) return step;
    }
    if (!sent && missing) LogRefusal(drive, tf, (last - 1)->method, missing);
    return nullptr;
}

struct AccessOrder {
    const AccessStep* first;
    const AccessStep* last;
};

template <size_t N>
AccessOrder Whole(const AccessStep (&order)[N]) {
    return {order, order + N};
}

// The methods the command is tried by, in order, for this drive.
AccessOrder OrderFor(const DriveRecord& drive, const AtaTaskFile& tf) {
    if (const AccessStep* bridge = drive.IsUSB ? BridgeStep(static_cast<AccessMethod>(drive.BridgeMethod)) : nullptr)
        return {bridge, bridge + 1};
    if (drive.IsNVMe && tf.Command == ATA_SET_FEATURES) return Whole(NVMeGetFeaturesOrder);
    if (drive.IsNVMe) return Whole(NVMeOrder);
    return drive.IsUSB ? Whole(USBOrder) : Whole(DefaultOrder);
}

const AccessStep* Send(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size) {
    if (!buffer) size = 0;
    bool sent = false;
    const AccessOrder order = OrderFor(drive, tf);
    const AccessStep* step = TryInOrder(drive, tf, buffer, size, IsDataOut(tf), order.first, order.last, sent);
    if (!step && sent && !FailsSilently(drive, tf)) WriteFailureReport(drive, tf);
    return step;
}

// Whether noting this success sets one of the record's access flags.
bool SetsAccessFlag(const DriveRecord& drive, const AccessStep& step) {
    return !step.repeatLine && step.flag && !(drive.*step.flag);
}

}  // namespace

DriveCallSlot::DriveCallSlot() { DispatcherLock.lock(); }
DriveCallSlot::~DriveCallSlot() { DispatcherLock.unlock(); }

bool CanCarry(const DriveRecord& drive, const AtaTaskFile& tf, bool hasBuffer) {
    const AccessOrder order = OrderFor(drive, tf);
    for (const AccessStep* step = order.first; step != order.last; ++step)
        if (!Missing(drive, CapabilityOf(step->method), tf, hasBuffer, IsDataOut(tf))) return true;
    return false;
}

bool IsDataOut(const AtaTaskFile& tf) {
    return tf.Command == ATA_SMART && tf.Features == SMART_WRITE_LOG;
}

bool ExecuteCommand(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size) {
    const AccessStep* step = nullptr;
    {
        std::lock_guard<std::mutex> lock(DispatcherLock);
        step = Send(drive, tf, buffer, size);
        if (!step) return false;
        if (ThisThreadHoldsDriveWriter() || !SetsAccessFlag(drive, *step)) {
            NoteSuccess(drive, *step);
            return true;
        }
    }
    // A caller without the table lock: readers of the record must not meet the flag half-written.
    DriveWriter writer(drive);
    std::lock_guard<std::mutex> lock(DispatcherLock);
    NoteSuccess(drive, *step);
    return true;
}

const TransportCapability& CapabilityOf(AccessMethod method) { return Capabilities[static_cast<size_t>(method)]; }

uint8_t NvmeFormOf(const AtaTaskFile& tf) {
    if (tf.Command == ATA_IDENTIFY_DEVICE) return NvmeIdentify;
    if (tf.Command == ATA_SET_FEATURES) return NvmeFeatures;
    if (tf.Command != ATA_SMART) return 0;
    if (tf.Features == SMART_READ_DATA || tf.Features == SMART_READ_LOG) return NvmeLogPage;
    return tf.Features == SMART_EXECUTE_OFFLINE ? NvmeSelfTest : 0;
}

std::vector<uint8_t>& LargeRequest(size_t size) {
    static std::vector<uint8_t> request;
    request.assign(size, 0);
    return request;
}

bool CallWithRequest(const DriveRecord& drive, uint32_t ioControlCode, std::vector<uint8_t>& request) {
    uint32_t returned = 0;
    const uint32_t size = static_cast<uint32_t>(request.size());
    return platform::DeviceIoControl(drive.Handle, ioControlCode, request.data(), size, request.data(), size,
                                     returned) &&
           returned != 0;
}

void WriteMarker(uint8_t* at) { std::memcpy(at, "Magic", 5); }

bool MarkerPresent(const uint8_t* at) { return std::memcmp(at, "Magic", 5) == 0; }

const char* CommandName(uint8_t command) {
    switch (command) {
        case 0xA1: return "IDENTIFY PACKET DEVICE";
        case 0xB0: return "SMART";
        case 0xE5: return "CHECK POWER MODE";
        case 0xEC: return "IDENTIFY DEVICE";
        case 0xEF: return "FEATURES";
        case 0xF1: return "SET PASSWORD";
        case 0xF2: return "UNLOCK";
        case 0xF6: return "DISABLE PASSWORD";
        default: return "Unknown";
    }
}

namespace {

const char* SmartSubcommandName(uint8_t features) {
    static const char* const Names[] = {
        "READ VALUES", "READ THRESHOLDS", "AUTOSAVE", "SAVE", "IMMEDIATE OFFLINE", "READ LOG SECTOR",
        "WRITE LOG SECTOR", "WRITE THRESHOLDS", "ENABLE", "DISABLE", "STATUS", "AUTO OFFLINE"};
    if (features < 0xD0 || features > 0xDB) return "Unknown";
    return Names[features - 0xD0];
}

const char* AtaFeatureName(uint8_t features) {
    switch (features) {
        case 0x05: return "APM ENABLE";
        case 0x42: return "AAM ENABLE";
        case 0x85: return "APM DISABLE";
        case 0xC2: return "AAM DISABLE";
        default: return "Unknown";
    }
}

const char* NvmeFeatureName(uint8_t feature) {
    static const char* const Low[] = {
        "NVME_FEATURE_ARBITRATION",
        "NVME_FEATURE_POWER_MANAGEMENT",
        "NVME_FEATURE_LBA_RANGE_TYPE",
        "NVME_FEATURE_TEMPERATURE_THRESHOLD",
        "NVME_FEATURE_ERROR_RECOVERY",
        "NVME_FEATURE_VOLATILE_WRITE_CACHE",
        "NVME_FEATURE_NUMBER_OF_QUEUES",
        "NVME_FEATURE_INTERRUPT_COALESCING",
        "NVME_FEATURE_INTERRUPT_VECTOR_CONFIG",
        "NVME_FEATURE_WRITE_ATOMICITY",
        "NVME_FEATURE_ASYNC_EVENT_CONFIG",
        "NVME_FEATURE_AUTONOMOUS_POWER_STATE_TRANSITION",
        "NVME_FEATURE_HOST_MEMORY_BUFFER",
        "NVME_FEATURE_TIMESTAMP",
        "NVME_FEATURE_KEEP_ALIVE",
        "NVME_FEATURE_HOST_CONTROLLED_THERMAL_MANAGEMENT",
        "NVME_FEATURE_NONOPERATIONAL_POWER_STATE",
        "NVME_FEATURE_READ_RECOVERY_LEVEL_CONFIG",
        "NVME_FEATURE_PREDICTABLE_LATENCY_MODE_CONFIG",
        "NVME_FEATURE_PREDICTABLE_LATENCY_MODE_WINDOW",
        "NVME_FEATURE_LBA_STATUS_INFORMATION_REPORT_INTERVAL",
        "NVME_FEATURE_HOST_BEHAVIOR_SUPPORT",
        "NVME_FEATURE_SANITIZE_CONFIG",
        "NVME_FEATURE_ENDURANCE_GROUP_EVENT_CONFIG",
        "NVME_FEATURE_IO_COMMAND_SET_PROFILE",
        "NVMe_FEATURE_SPINUP_CONTROL",
    };
    static const char* const High[] = {
        "NVME_FEATURE_ENHANCED_CONTROLLER_METADATA",
        "NVME_FEATURE_CONTROLLER_METADATA",
        "NVME_FEATURE_NAMESPACE_METADATA",
        "NVME_FEATURE_NVM_SOFTWARE_PROGRESS_MARKER",
        "NVME_FEATURE_NVM_HOST_IDENTIFIER",
        "NVME_FEATURE_NVM_RESERVATION_NOTIFICATION_MASK",
        "NVME_FEATURE_NVM_RESERVATION_PERSISTANCE",
        "NVME_FEATURE_NVM_NAMESPACE_WRITE_PROTECTION_CONFIG",
    };
    if (feature >= 0x01 && feature <= 0x1A) return Low[feature - 0x01];
    if (feature >= 0x7D && feature <= 0x84) return High[feature - 0x7D];
    return "Unknown";
}

}  // namespace

const char* SubcommandName(uint8_t command, uint8_t features, bool isNVMe) {
    if (command == ATA_SMART) return SmartSubcommandName(features);
    if (command == ATA_SET_FEATURES) return isNVMe ? NvmeFeatureName(features) : AtaFeatureName(features);
    return "Unknown";
}
