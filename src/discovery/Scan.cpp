#include "discovery/Scan.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "discovery/AtaIdentify.h"
#include "protocol/Bytes.h"
#include "discovery/NvmeIdentify.h"
#include "discovery/Placement.h"
#include "discovery/SmartProfile.h"
#include "device/TIOCTL.h"
#include "knowledge/Counterfeit.h"
#include "smart/Condition.h"
#include "smart/SmartData.h"
#include "device/DiagnosticLog.h"
#include "device/DriveTableFill.h"

std::uintptr_t DeviceNotificationWindow = 0;

namespace {

constexpr uint32_t DetailBufferSize = 260;
constexpr uint32_t ParentBufferSize = 2048;
constexpr int64_t RecoveryModeSize = 3221225472LL;  // 3 GiB

std::string Hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*X", digits, value);
    return text;
}

// The drive's parent device; empty when the property cannot be read.
std::string ParentInstanceId(platform::DevInfoSet set, const platform::DevInfoData& element) {
    std::vector<uint8_t> value;
    uint32_t type = 0;
    if (!platform::SetupDiGetDeviceProperty(set, element, platform::DEVPKEY_Device_Parent, ParentBufferSize, value,
                                            type))
        return std::string();
    return PropertyText(value);
}

// IDENTIFY DEVICE, or NVMe Identify Controller; an ATA drive with S.M.A.R.T. switched off gets it
// switched on, and is not kept if that fails.
bool Identify(DriveRecord& d) {
    AtaTaskFile tf;
    tf.Command = ATA_IDENTIFY_DEVICE;
    tf.SectorCount = 1;
    if (d.IsNVMe) return ExecuteCommand(d, tf, d.NVMeIdentifyController, sizeof d.NVMeIdentifyController);
    if (!ExecuteCommand(d, tf, d.IdentifyData, sizeof d.IdentifyData)) return false;
    if (Bit(Word(d.IdentifyData, 0), 15)) return false;  // a packet device
    if (!Bit(Word(d.IdentifyData, 85), 0) && Bit(Word(d.IdentifyData, 82), 0))
        return ExecuteCommand(d, SmartTaskFile(SMART_ENABLE_OPERATIONS));
    return true;
}

// The NVMe drive behind a bridge's tunnel: Identify Controller through it, taken only with a model
// (a tunnel that passes nothing on, or holds a SATA drive, may answer with an empty page).
bool IdentifyNvmeThrough(DriveRecord& d, AccessMethod tunnel) {
    d.BridgeMethod = static_cast<uint8_t>(tunnel);
    d.IsNVMe = true;
    if (Identify(d) && !NvmeText(d.NVMeIdentifyController, 24, 40).empty()) return true;
    std::memset(d.NVMeIdentifyController, 0, sizeof d.NVMeIdentifyController);
    d.BridgeMethod = 0;
    d.IsNVMe = false;
    return false;
}

// A bridge not in the table is asked only what a bridge of another kind refuses harmlessly: SAT,
// then the ASMedia and Realtek tunnels (vendor commands a SATA bridge rejects); never JMicron's,
// which a SATA bridge takes as a hardware reset.
bool ProbeUnknownBridge(DriveRecord& d) {
    if (Identify(d)) return true;
    for (const AccessMethod tunnel : {AccessMethod::ASMedia, AccessMethod::Realtek})
        if (IdentifyNvmeThrough(d, tunnel)) {
            WriteLog(std::string("The USB bridge answers the ") + AccessMethodName(tunnel) + " NVMe tunnel", &d);
            return true;
        }
    WriteLog("The USB bridge answers neither SAT nor an NVMe tunnel", &d);
    return false;
}

bool IdentifyBehindBridge(DriveRecord& d) {
    const AccessMethod bridge = static_cast<AccessMethod>(d.BridgeMethod);
    if (d.BridgeName.empty()) return ProbeUnknownBridge(d);
    if (!IsNvmeTunnel(bridge)) return Identify(d);
    if (IdentifyNvmeThrough(d, bridge)) return true;
    if (!BridgeMayHoldSata(d)) return false;
    WriteLog("The NVMe bridge holds a SATA drive", &d);
    return Identify(d);  // through SAT
}

void LogIdentificationGaps(DriveRecord& d) {
    if (d.SerialNumber.empty()) WriteLog("No serial number", &d);
    if (d.FirmwareVersion.empty()) WriteLog("No firmware version", &d);
    if (d.AvailableSize == 0) WriteLog("AvailableSize = 0", &d);
    if (d.AvailableSize < RecoveryModeSize && d.Model != "TS1GSDOM22V") WriteLog("Recovery mode?", &d);
    if (d.Trademark.empty()) {
        WriteLog("Trademark not detected.", &d);
        WriteLog("OUI - " + Hex(d.OUI, 6), &d);
        if (d.IsNVMe) WriteLog("PCI_VendorID - " + Hex(d.PCI_VendorID, 4), &d);
    }
}

// The S.M.A.R.T. value page must be sound and hold attributes; the values it carries are taken.
bool TakeAtaSmartPage(DriveRecord& d) {
    if (!SmartChecksumOk(d)) return false;
    TakeSelfTestCapabilities(d);
    d.AttributeCount = CountAttributes(d);
    if (d.AttributeCount == 0) return false;
    SelectSmartProfile(d);
    if (d.SCT_Support) {
        TakeSctTopTemperature(d);
        if (d.SCT_DataTablesSupport) ReadSctTemperatureLimits(d);
    }
    SetRecommendedTemperature(d);
    ExtractSmartValues(d);
    TakeAttributeTopTemperature(d);
    return true;
}

// A second view of a drive already kept (the same drive under both interface classes, or a
// drive that reports no serial number like one before it).
bool RepeatsKeptDrive(const DriveRecord& d) {
    bool repeated = false;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const DriveRecord& kept = DriveForCommands(i);  // the scan is the only thread
        if (kept.SerialNumber == d.SerialNumber) {
            WriteLog("Repeated identification. Drive - " + d.DevicePath);
            repeated = true;
        }
        if (std::memcmp(kept.SmartData, d.SmartData, sizeof d.SmartData) == 0) {
            WriteLog("Repeated SMART data. Drive - " + d.DevicePath);
            repeated = true;
        }
    }
    return repeated;
}

}  // namespace

std::string PropertyText(const std::vector<uint8_t>& value) {
    std::u16string text;
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
        const uint16_t c = Get16(value.data(), i);
        if (c == 0) break;
        text += static_cast<char16_t>(c);
    }
    return platform::WideCharToMultiByte(text);
}

std::unique_ptr<DriveRecord> IdentifyDrive(platform::Handle handle, const std::string& devicePath,
                                           platform::DevInfoSet set, const platform::DevInfoData& element) {
    auto drive = std::make_unique<DriveRecord>();
    DriveRecord& d = *drive;
    d.Handle = handle;
    d.DevicePath = devicePath;
    const std::string parent = ParentInstanceId(set, element);
    d.IsUSB = parent.compare(0, 4, "USB\\") == 0;
    d.IsNVMe = devicePath.compare(0, 23, "\\\\?\\scsi#disk&ven_nvme&") == 0;
    if (d.IsUSB) RecogniseUsbBridge(d, set, element);

    if (!(d.IsUSB ? IdentifyBehindBridge(d) : Identify(d))) return nullptr;
    if (d.IsNVMe)
        InterpretNVMeIdentify(d, parent);
    else if (!InterpretAtaIdentify(d))
        return nullptr;
    LogIdentificationGaps(d);
    if (!ExecuteCommand(d, SmartTaskFile(SMART_READ_DATA, 1), d.SmartData, sizeof d.SmartData)) return nullptr;
    CheckCounterfeit(d);

    if (d.IsNVMe) {
        ExtractSmartValues(d);
    } else {
        if (!TakeAtaSmartPage(d)) return nullptr;
        const bool thresholdsRead =
            ExecuteCommand(d, SmartTaskFile(SMART_READ_THRESHOLDS, 1), d.SmartThresholds, sizeof d.SmartThresholds);
        if (RepeatsKeptDrive(d) || !thresholdsRead) return nullptr;
    }

    EvaluateCondition(d);
    PlaceDrive(d, set, element);  // NVMe drives: the PCIe link of the controller found
    d.Caption = "Model - " + d.Model + " ( " + d.SerialNumber + " )";
    MapLogicalDrives(d);
    ReadTrimState(d);
    platform::RegisterDeviceNotification(DeviceNotificationWindow, d.Handle);
    if (!d.IsNVMe) ReadIdentifyDataLog(d);
    return drive;
}

void EnumerateInterfaceClass(const platform::Guid& interfaceClass) {
    const platform::OwnedDevInfoSet set(platform::SetupDiGetClassDevs(interfaceClass));
    if (set == platform::INVALID_DEVINFO_SET) return;
    platform::DeviceInterfaceData member{};
    for (uint32_t index = 0; platform::SetupDiEnumDeviceInterfaces(set, interfaceClass, index, member); ++index) {
        if (DriveCount() >= MaxPhysicalDisks) {
            WriteLog("MaxPhysicalDisks overflow");
            break;
        }
        std::string path;
        platform::DevInfoData element{};
        if (!platform::SetupDiGetDeviceInterfaceDetail(set, member, DetailBufferSize, path, element)) continue;
        platform::OwnedHandle handle(platform::CreateFile(path));
        if (handle == platform::INVALID_HANDLE_VALUE) continue;
        if (std::unique_ptr<DriveRecord> drive = IdentifyDrive(handle, path, set, element))
            AddDrive(std::move(drive), std::move(handle));
    }
}

void ResetScan() {
    ClearDriveTable();
    DeviceNotificationWindow = 0;
}

void ScanDrives() {
    EnumerateInterfaceClass(platform::GUID_DEVINTERFACE_DISK);
    EnumerateInterfaceClass(platform::GUID_DEVINTERFACE_STORAGE2);
}
