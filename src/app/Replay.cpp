#include "app/Replay.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "knowledge/UsbBridges.h"
#include "monitor/DriveState.h"
#include "platform/sim/PageBuilders.h"
#include "platform/sim/SimSystem.h"
#include "protocol/Bytes.h"
#include "system/Settings.h"

namespace {

// The scan tells an NVMe drive by this start of its device path.
const char* const NvmeDrivePath = "\\\\?\\scsi#disk&ven_nvme&prod_replayed#";
const char* const AtaDrivePath = "\\\\?\\scsi#disk&ven_replayed&prod_drive#";
const char* const UasMatchingId = "USB\\Class_08&SubClass_06&Prot_62";
const char* const BulkOnlyMatchingId = "USB\\Class_08&SubClass_06&Prot_50";

constexpr size_t PageSize512 = 512, PageSize4096 = 4096;
constexpr uint8_t IdentifyDataLogAddress = 0x30;
constexpr uint64_t NominalBufferSizeValid = 1ULL << 63;
constexpr uint8_t SctNoLimit = 127;
constexpr int SctNoTemperature = -1;  // a status byte the program reads as no temperature
constexpr uint32_t KelvinAtZeroCelsius = 273;
constexpr uint8_t NvmeHostMemoryBufferFeature = 0x0D;
constexpr size_t HostMemoryBufferDataSize = 16;
constexpr uint64_t VolumeOffset = 1048576, VolumeLength = 1000000000;

std::vector<uint8_t> Page(const uint8_t* bytes, size_t size) { return std::vector<uint8_t>(bytes, bytes + size); }

std::string Instance(const char* format, unsigned a, unsigned b, size_t index) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, static_cast<unsigned>(index));
    return text;
}

// --- the device tree ---

bool OnParallelBus(const DriveRecord& d) { return !d.IsNVMe && d.Transport == 0; }

// The PCI device whose description the drive reported as its host adapter. Without one the scan had
// found no PCI device above the drive, so neither is there one now. An NVMe controller carries the
// device identifier in its instance identifier and its PCIe link in four properties.
sim::DeviceNode HostController(const DriveRecord& d, size_t index) {
    sim::DeviceNode n;
    n.InstanceId = Instance("PCI\\VEN_%04X&DEV_%04X\\REPLAYED&%u", d.PCI_VendorID, d.PCI_DeviceID, index);
    if (!d.HostAdapter.empty() || !d.HardwareID.empty()) n.Enumerator = "PCI";
    n.DriverDesc = d.HostAdapter;
    if (!d.HardwareID.empty()) n.HardwareIds = {d.HardwareID};
    n.PciExpress = d.IsNVMe && (d.PCI_MaxLinkSpeed | d.PCI_MaxLinkWidth | d.PCI_CurrentLinkSpeed | d.PCI_CurrentLinkWidth);
    n.MaxLinkSpeed = d.PCI_MaxLinkSpeed;
    n.MaxLinkWidth = d.PCI_MaxLinkWidth;
    n.CurrentLinkSpeed = d.PCI_CurrentLinkSpeed;
    n.CurrentLinkWidth = d.PCI_CurrentLinkWidth;
    return n;
}

// The device right above a drive behind a USB bridge or on a parallel channel: the bridge (whose
// matching identifier tells USB Attached SCSI) or the channel, carrying the channel's address.
sim::DeviceNode IntermediateDevice(const DriveRecord& d, size_t index, const std::string& controller) {
    sim::DeviceNode n;
    if (d.IsUSB) {
        n.InstanceId = Instance("USB\\VID_%04X&PID_%04X\\REPLAYED&%u", 0, 0, index);
        n.Enumerator = "USB";
        n.MatchingDeviceId = d.IsUAS ? UasMatchingId : BulkOnlyMatchingId;
        UsbDeviceId bridge;
        if (ParseUsbHardwareId(d.HardwareID, bridge)) n.HardwareIds = {d.HardwareID};
    } else {
        n.InstanceId = Instance("PCIIDE\\IDECHANNEL\\%X&%X&REPLAYED&%u", 0, 0, index);
        n.Enumerator = "PCIIDE";
    }
    n.Parent = controller;
    n.Address = d.ChannelKnown ? d.ChannelAddress : -1;
    return n;
}

// Places the drive: its controller, the bridge or channel between, and the drive's own address on a
// channel whose roles were known.
void PlaceReplayedDrive(const DriveRecord& d, size_t index, sim::Drive& drive, sim::Machine& m) {
    const sim::DeviceNode controller = HostController(d, index);
    m.Devices.push_back(controller);
    drive.Parent = controller.InstanceId;
    if (d.IsUSB || OnParallelBus(d)) {
        m.Devices.push_back(IntermediateDevice(d, index, controller.InstanceId));
        drive.Parent = m.Devices.back().InstanceId;
    }
    drive.Address = d.ChannelKnown ? d.DeviceAddress : -1;
}

// One volume per letter of "C: E:", lying on this disk alone.
void AddVolumes(const DriveRecord& d, size_t index, sim::Machine& m) {
    std::istringstream in(d.LogicalDrives);
    for (std::string word; in >> word;) {
        if (word.size() != 2 || word[1] != ':' || word[0] < 'A' || word[0] > 'Z') continue;
        sim::Volume v;
        v.Letter = word[0];
        v.Extents = {{static_cast<uint32_t>(index), VolumeOffset, VolumeLength}};
        m.Volumes.push_back(v);
    }
}

// --- the drives' answers ---

// The SCT engine of a drive that reported SCT: its status gives the current and the highest
// temperature, its temperature table the two limits (none when the drive reported none).
sim::SctEngine ReplayedSct(const DriveRecord& d) {
    sim::SctEngine s;
    s.Present = true;
    s.Temperature = d.Temperature != 0 ? d.Temperature : SctNoTemperature;
    s.LifetimeMin = d.Temperature;
    s.LifetimeMax = d.TopTemperature;
    const bool noLimits = d.WarningTemperature == 0 && d.CriticalTemperature == 0;
    s.MaxOperatingLimit = noLimits ? SctNoLimit : d.WarningTemperature;
    s.OverLimit = noLimits ? SctNoLimit : d.CriticalTemperature;
    return s;
}

void AnswerAsAtaDrive(const DriveRecord& d, sim::Drive& drive) {
    drive.Identify = Page(d.IdentifyData, PageSize512);
    drive.SmartData = Page(d.SmartData, PageSize512);
    drive.SmartThresholds = Page(d.SmartThresholds, PageSize512);
    if (d.SCT_Support) drive.Sct = ReplayedSct(d);
    // A cache larger than IDENTIFY word 21 gives came from the identify-data log's nominal buffer size.
    if (d.HardwareCache > Word(d.IdentifyData, 21) * 512u)
        drive.Logs[IdentifyDataLogAddress] = sim::IdentifyDataLog(NominalBufferSizeValid | d.HardwareCache, 0);
    drive.Methods = {d.IsUSB ? AccessMethod::SAT : AccessMethod::ATA};
}

uint32_t KelvinLimit(uint8_t celsius) { return celsius != 0 ? celsius + KelvinAtZeroCelsius : 0; }

// Get Features results that give back the values the drive reported.
struct FeatureValue {
    uint8_t Id;
    uint32_t (*Value)(const DriveRecord&);
};

const FeatureValue FeatureValues[] = {
    {0x01, [](const DriveRecord& d) { return d.Arbitration; }},
    {0x02, [](const DriveRecord& d) { return uint32_t(d.PowerState); }},
    {0x06, [](const DriveRecord& d) { return uint32_t(d.WriteCacheEnabled); }},
    {0x08, [](const DriveRecord& d) { return uint32_t(d.InterruptCoalescing); }},
    {0x09, [](const DriveRecord& d) { return d.InterruptVectorConfig; }},
    {0x0B, [](const DriveRecord& d) { return d.AsyncEventConfig; }},
    {0x0C, [](const DriveRecord& d) { return uint32_t(d.APST_Enabled); }},
    {NvmeHostMemoryBufferFeature, [](const DriveRecord& d) { return uint32_t(d.HMB_Enabled); }},
    {0x0F, [](const DriveRecord& d) { return d.KeepAliveTimer; }},
    {0x10, [](const DriveRecord& d) { return KelvinLimit(d.HCTM_TMT1) << 16 | KelvinLimit(d.HCTM_TMT2); }},
    {0x11, [](const DriveRecord& d) { return uint32_t(d.NOPSPM_Enabled); }},
    {0x12, [](const DriveRecord& d) { return uint32_t(d.ReadRecoveryLevel); }},
    {0x13, [](const DriveRecord& d) { return uint32_t(d.PLM_Enabled); }},
    {0x14, [](const DriveRecord& d) { return uint32_t(d.PLM_Window); }},
    {0x15, [](const DriveRecord& d) { return d.LBAStatusInterval; }},
};

// The host memory buffer's attributes: its size in memory pages, rounded up so that a size the
// program capped at 32 bits is capped again.
std::vector<uint8_t> HostMemoryBufferData(const DriveRecord& d, uint32_t pageSize) {
    std::vector<uint8_t> data(HostMemoryBufferDataSize, 0);
    const uint64_t pages = (uint64_t(d.HMB_Size) + pageSize - 1) / pageSize;
    Put32(data.data(), 0, static_cast<uint32_t>(pages));
    return data;
}

void AnswerAsNvmeDrive(const DriveRecord& d, sim::Drive& drive, uint32_t pageSize) {
    drive.NvmeIdentifyController = Page(d.NVMeIdentifyController, PageSize4096);
    if (d.NamespaceCount != 0) drive.NvmeNamespaces[1] = Page(d.NVMeIdentifyNamespace, PageSize4096);
    drive.NvmeLogs[NvmeHealthLogPage] = Page(d.SmartData, PageSize512);
    for (const FeatureValue& f : FeatureValues) drive.NvmeFeatures[f.Id] = f.Value(d);
    drive.NvmeFeatureData[NvmeHostMemoryBufferFeature] = HostMemoryBufferData(d, pageSize);
    drive.Methods = {AccessMethod::NVMe};
}

// A drive in an enclosure answers only through the SCSI pass-through, in its bridge's own blocks;
// the bridge is the one whose id the drive's hardware identifier names.
void AnswerThroughItsBridge(const DriveRecord& d, sim::Drive& drive) {
    UsbDeviceId id;
    const UsbBridgeRow* bridge = d.IsUSB && ParseUsbHardwareId(d.HardwareID, id) ? FindUsbBridge(id) : nullptr;
    if (!bridge) return;
    drive.Methods = {AccessMethod::SAT};
    drive.Bridge = bridge->Method;
}

sim::Drive ReplayedDrive(const DriveRecord& d, size_t index, sim::Machine& m) {
    sim::Drive drive;
    drive.DevicePath = (d.IsNVMe ? NvmeDrivePath : AtaDrivePath) + std::to_string(index);
    drive.DeviceNumber = static_cast<int>(index);
    drive.Trim = d.TRIM_Enabled ? sim::TrimState::Enabled : sim::TrimState::Disabled;
    if (d.IsNVMe)
        AnswerAsNvmeDrive(d, drive, m.PageSize);
    else
        AnswerAsAtaDrive(d, drive);
    AnswerThroughItsBridge(d, drive);
    PlaceReplayedDrive(d, index, drive, m);
    AddVolumes(d, index, m);
    return drive;
}

// --- the registry ---

bool Measured(const DriveRecord& d) {
    for (const DriveKeyValue v : ReadResults)
        if (DriveFieldNumber(d, v) != 0) return true;
    return false;
}

// Into the key `d` has opened. A drive never measured has no results stored, so that the program
// still takes it as pending.
void StoreDriveValues(const DriveRecord& d) {
    if (d.StartMonitoringDate.Year != 0) StoreDriveField(d, DriveKeyValue::StartMonitoringDate);
    if (!d.IsNVMe && d.PowerOnTimerPeriod != 0) StoreDriveField(d, DriveKeyValue::PowerOnTimerPeriod);
    if (d.TopTemperature != 0) StoreDriveField(d, DriveKeyValue::TopTemperature);
    if (d.PowerOffDetected) StoreDriveField(d, DriveKeyValue::PowerOffDetected);
    if (Measured(d))
        for (const DriveKeyValue v : ReadResults) StoreDriveField(d, v);
}

}  // namespace

sim::Machine ReplayedMachine(const std::vector<DriveRecord>& drives) {
    sim::Machine m;
    for (size_t i = 0; i < drives.size(); ++i) m.Drives.push_back(ReplayedDrive(drives[i], i, m));
    return m;
}

void StoreReplayedDriveState(const std::vector<DriveRecord>& drives) {
    if (!OpenSettingsKey()) return;
    for (DriveRecord d : drives) {
        OpenDriveKey(d);
        if (d.RegKey == 0) continue;
        StoreDriveValues(d);
        platform::RegCloseKey(d.RegKey);
    }
    platform::RegCloseKey(SettingsKey);
    SettingsKey = 0;
}

bool ParseProgramVersion(const std::string& text, platform::FixedFileVersion& version) {
    uint32_t parts[4] = {};
    size_t at = 0;
    for (unsigned i = 0; i < 4; ++i) {
        const size_t end = i < 3 ? text.find('.', at) : text.size();
        const std::string digits = end == std::string::npos ? std::string() : text.substr(at, end - at);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        parts[i] = static_cast<uint32_t>(std::strtoul(digits.c_str(), nullptr, 10));
        if (parts[i] > 0xFFFF) return false;
        at = end + 1;
    }
    version = {parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]};
    return true;
}

bool InstallReplayedBlock(const std::string& block, PublishHeader& header, std::string& why) {
    std::vector<DriveRecord> drives;
    if (!DecodePublishBlock(block, header, drives, why)) return false;
    platform::FixedFileVersion version{};
    if (drives.empty()) why = "the block carries no drive";
    else if (!ParseProgramVersion(header.ProgramVersion, version))
        why = "the program version \"" + header.ProgramVersion + "\" is not four dotted numbers";
    if (!why.empty()) return false;
    sim::Install(ReplayedMachine(drives));
    StoreReplayedDriveState(drives);
    sim::SetFileVersion(platform::GetModuleFileName(), version);
    return true;
}
