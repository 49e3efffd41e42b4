#include "device/TIOCTL.h"

#include <cstring>
#include <mutex>

#include "device/DiagnosticLog.h"
#include "device/Transports.h"
#include "platform/Storage.h"
#include "platform/Time.h"

std::atomic<bool> SelfTestThrottled{false};

namespace {

std::mutex DispatcherLock;  // one drive command in flight at a time

// One place in a drive class's access order. A fallback that worked is logged once (onceLine,
// remembered in flag) or every time (repeatLine, after the current time).
struct AccessStep {
    TransportFunction transport;
    const char* onceLine;
    bool DriveRecord::*flag;
    const char* repeatLine;
};

const AccessStep NVMeOrder[] = {
    {TransportNVMe, nullptr, nullptr, nullptr},
    {TransportATA, "NVMe via ATA", &DriveRecord::UsedNVMe_ATA, nullptr},
    {TransportSCSI, "NVMe via SCSI", &DriveRecord::UsedNVMe_SCSI, nullptr},
};

// Get Features goes through NVMe alone: over ATA and SCSI its task file is a SET FEATURES whose
// subcommand is the feature identifier (0x02 would enable the write cache), a read turned into a change.
const AccessStep NVMeGetFeaturesOrder[] = {
    {TransportNVMe, nullptr, nullptr, nullptr},
};

const AccessStep USBOrder[] = {
    {TransportSAT, nullptr, nullptr, nullptr},
    {TransportATA, "USB via ATA", &DriveRecord::UsedUSB_ATA, nullptr},
    {TransportSCSI, "USB via SCSI", &DriveRecord::UsedUSB_SCSI, nullptr},
    {TransportOLD, "USB via OLD", &DriveRecord::UsedUSB_OLD, nullptr},
    {TransportIDE, "USB via IDE", &DriveRecord::UsedUSB_IDE, nullptr},
};

const AccessStep DefaultOrder[] = {
    {TransportATA, nullptr, nullptr, nullptr},
    {TransportATA, nullptr, nullptr, ": The second access attempt was successful"},
    {TransportATA, nullptr, nullptr, ": The third access attempt was successful"},
    {TransportSCSI, "Access via SCSI", &DriveRecord::UsedSCSI, nullptr},
    {TransportOLD, "Access via OLD", &DriveRecord::UsedOLD, nullptr},
    {TransportIDE, "Access via IDE", &DriveRecord::UsedIDE, nullptr},
    {TransportSAT, "Access via SAT", &DriveRecord::UsedSAT, nullptr},
};

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
template <size_t N>
const AccessStep* TryInOrder(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size, bool dataOut,
                             const AccessStep (&order)[N]) {
    for (const AccessStep& step : order)
        if (step.transport(drive, tf, buffer, size, dataOut)) return &step;
    return nullptr;
}

const AccessStep* Send(DriveRecord& drive, const AtaTaskFile& tf, uint8_t* buffer, size_t size) {
    if (!buffer) size = 0;
    const bool dataOut = IsDataOut(tf);
    const AccessStep* step;
    if (drive.IsNVMe && tf.Command == ATA_SET_FEATURES)
        step = TryInOrder(drive, tf, buffer, size, dataOut, NVMeGetFeaturesOrder);
    else if (drive.IsNVMe)
        step = TryInOrder(drive, tf, buffer, size, dataOut, NVMeOrder);
    else if (drive.IsUSB)
        step = TryInOrder(drive, tf, buffer, size, dataOut, USBOrder);
    else
        step = TryInOrder(drive, tf, buffer, size, dataOut, DefaultOrder);
    if (!step && !FailsSilently(drive, tf)) WriteFailureReport(drive, tf);
    return step;
}

// Whether noting this success sets one of the record's access flags.
bool SetsAccessFlag(const DriveRecord& drive, const AccessStep& step) {
    return !step.repeatLine && step.flag && !(drive.*step.flag);
}

}  // namespace

DriveCallSlot::DriveCallSlot() { DispatcherLock.lock(); }
DriveCallSlot::~DriveCallSlot() { DispatcherLock.unlock(); }

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
