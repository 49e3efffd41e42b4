#include "discovery/NvmeIdentify.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <vector>

#include "discovery/AtaIdentify.h"
#include "protocol/Bytes.h"
#include "device/TIOCTL.h"
#include "knowledge/Trademarks.h"
#include "smart/Condition.h"
#include "device/DiagnosticLog.h"
#include "platform/SystemInfo.h"
#include "smart/NvmeHealth.h"

std::string NvmeText(const uint8_t* page, size_t offset, size_t count) {
    return TrimControlAndBlank(std::string(reinterpret_cast<const char*>(page) + offset, count));
}

namespace {

constexpr uint32_t HighestKnownVersion = 0x00020000;  // 2.0.0
constexpr uint32_t PropertyBufferSize = 2048;
constexpr uint32_t UsualPageSize = 4096;
constexpr size_t LbaFormatCount = 64;

// The up to four hexadecimal digits after "&DEV_" in the parent's instance identifier.
uint16_t PciDeviceId(const std::string& parentInstanceId) {
    const size_t at = parentInstanceId.find("&DEV_");
    if (at == std::string::npos) return 0;
    uint16_t id = 0;
    for (size_t i = at + 5; i < parentInstanceId.size() && i < at + 9; ++i) {
        const unsigned char c = static_cast<unsigned char>(parentInstanceId[i]);
        if (!std::isxdigit(c)) break;
        id = static_cast<uint16_t>(id * 16 + (std::isdigit(c) ? c - '0' : (c | 0x20) - 'a' + 10));
    }
    return id;
}

// Maximum power of power state 0 in watts; the descriptor gives it in centiwatts, or in units of
// 0.0001 W when its max power scale bit is set.
uint8_t MaxPowerWatts(const uint8_t* id) {
    const uint32_t watts = Get16(id, 2048) / (Bit(id[2051], 0) ? 10000u : 100u);
    return static_cast<uint8_t>(watts > 255 ? 255 : watts);
}

void TakeIdentity(DriveRecord& d, const uint8_t* id, const std::string& parentInstanceId) {
    d.IsSSD = true;
    d.HasWWN = true;
    d.PowerOnTimerPeriod = 1;
    d.PCI_VendorID = Get16(id, 0);
    d.PCI_DeviceID = PciDeviceId(parentInstanceId);
    if (d.PCI_DeviceID == 0 && !d.IsUSB) WriteLog("Get PCI_DeviceID failed - " + parentInstanceId, &d);
    d.Model = NvmeText(id, 24, 40);
    d.Trademark = DetectTrademark(d.Model, true);
    d.SerialNumber = NvmeText(id, 4, 20);
    d.FirmwareVersion = NvmeText(id, 64, 8);
    d.NVMe_version = Get32(id, 80);
    if (d.NVMe_version > HighestKnownVersion) WriteLog("Unknown NVMe_version - " + std::to_string(d.NVMe_version), &d);
}

void TakeCapabilities(DriveRecord& d, const uint8_t* id) {
    const uint16_t oacs = Get16(id, 256);
    const uint32_t sanitize = Get32(id, 328);
    d.SecuritySupport = Bit(oacs, 0);
    if (sanitize != 0) {
        d.SanitizeSupport = true;
        d.CryptoEraseSupport = Bit(sanitize, 0);
    }
    d.PowerStatesCount = id[263];
    d.PowerManagementSupport = d.PowerStatesCount != 0;
    if (Get16(id, 2048) != 0) {
        d.MaxPower = MaxPowerWatts(id);
        if (d.MaxPower == 0) WriteLog("MaxPower = 0", &d);
    }
    d.APST_Support = Bit(id[265], 0);
    d.WriteCacheSupport = Bit(id[525], 0);
    d.DownloadMicrocode = Bit(oacs, 2);
    d.TRIM_Support = Bit(Get16(id, 520), 2);
    d.OUI = id[73] | (id[74] << 8) | (id[75] << 16);
    if (Bit(oacs, 4)) {
        d.SelfTestSupport = true;
        d.ShortSelfTestTime = 2;
        // The record keeps minutes in a byte, 255 standing for 255 or more.
        d.ExtendedSelfTestTime = static_cast<uint8_t>(std::min<uint16_t>(Get16(id, 316), 255));
    }
}

// A temperature limit in Kelvin as whole degrees Celsius: limits may lie above any plausible drive
// temperature, so the whole byte range 273..528 K counts; below 273 K is no limit (0).
uint8_t KelvinLimitToCelsius(uint32_t kelvin) {
    return kelvin < 273 || kelvin > 528 ? 0 : static_cast<uint8_t>(kelvin - 273);
}

void TakeTemperaturesAndFeatureSupport(DriveRecord& d, const uint8_t* id) {
    if (Get16(id, 266) != 0) d.WarningTemperature = KelvinLimitToCelsius(Get16(id, 266));
    SetRecommendedTemperature(d);
    if (Get16(id, 268) != 0) d.CriticalTemperature = KelvinLimitToCelsius(Get16(id, 268));
    d.HMB_Support = Get32(id, 272) != 0;
    d.HCTM_Support = Bit(Get16(id, 322), 0);
    d.KeepAliveSupport = Get16(id, 320) != 0;
    const uint32_t attributes = Get32(id, 96);
    d.NOPSPM_Support = Bit(attributes, 1);
    d.ReadRecoverySupport = Bit(attributes, 3);
    d.PLM_Support = Bit(attributes, 5);
    d.LBAStatusSupport = Bit(Get16(id, 256), 9);
    d.NamespaceCount = Get32(id, 516);
    d.MaxNamespaces = Get32(id, 540) != 0 ? Get32(id, 540) : d.NamespaceCount;
}

// Bytes per block of LBA format `index`; 0 for a format that is not there or whose data size
// exponent (LBADS) lies outside 9..16, sizes no drive uses and shifts that would overflow.
uint32_t LbaDataSize(const uint8_t* ns, unsigned index) {
    if (index >= LbaFormatCount) return 0;
    const uint8_t exponent = ns[130 + 4 * index];
    return exponent >= 9 && exponent <= 16 ? 1u << exponent : 0;
}

void LogOddSectorSize(DriveRecord& d, const char* name, uint32_t size) {
    if (size != 512 && size != 4096) WriteLog(std::string(name) + " = " + std::to_string(size), &d);
}

void ReadNamespace(DriveRecord& d) {
    AtaTaskFile tf;
    tf.Command = ATA_IDENTIFY_DEVICE;
    tf.SectorNumber = 1;  // namespace 1; SectorCount 0 asks for a namespace, not the controller
    if (!ExecuteCommand(d, tf, d.NVMeIdentifyNamespace, sizeof d.NVMeIdentifyNamespace)) {
        WriteLog("NVMeIdentificationNameSpace fail", &d);
        return;
    }
    const uint8_t* ns = d.NVMeIdentifyNamespace;
    d.PhysicalSectorSize = LbaDataSize(ns, ns[26] & 0x0F);
    LogOddSectorSize(d, "PhysicalSectorSize", d.PhysicalSectorSize);
    const uint64_t blocks = Get64(ns, 0);
    const uint64_t largest = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    if (d.PhysicalSectorSize != 0 && blocks <= largest / d.PhysicalSectorSize)
        d.AvailableSize = static_cast<int64_t>(blocks * d.PhysicalSectorSize);
    d.MaxPhysicalSectorSize = LbaDataSize(ns, ns[25]);
    LogOddSectorSize(d, "MaxPhysicalSectorSize", d.MaxPhysicalSectorSize);
}

void TakeHostMemoryBuffer(DriveRecord& d, uint32_t v) {
    d.HMB_Enabled = Bit(v, 0);
    if (!d.HMB_Enabled) {
        d.HMB_Size = 0;
        return;
    }
    platform::SystemInfo system{};
    platform::GetSystemInfo(system);
    if (system.PageSize != UsualPageSize) WriteLog("PageSize - " + std::to_string(system.PageSize), &d);
    // The transport left the size in pages; a size beyond the 32-bit field is kept at its maximum.
    const uint64_t bytes = static_cast<uint64_t>(d.HMB_Size) * system.PageSize;
    d.HMB_Size = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

void TakeThermalManagement(DriveRecord& d, uint32_t v) {
    if (v >> 16) d.HCTM_TMT1 = KelvinLimitToCelsius(v >> 16);
    if (v & 0xFFFF) d.HCTM_TMT2 = KelvinLimitToCelsius(v & 0xFFFF);
}

// A Get Features the scan sends, when the controller has the feature, and where its value goes.
struct FeatureRead {
    uint8_t id;
    bool DriveRecord::*support;  // null: every controller has it
    void (*take)(DriveRecord&, uint32_t);
};

const FeatureRead FeatureReads[] = {
    {0x01, nullptr, [](DriveRecord& d, uint32_t v) { d.Arbitration = v; }},
    {0x02, nullptr, [](DriveRecord& d, uint32_t v) { d.PowerState = static_cast<uint8_t>(v); }},
    {0x06, &DriveRecord::WriteCacheSupport, [](DriveRecord& d, uint32_t v) { d.WriteCacheEnabled = Bit(v, 0); }},
    {0x08, nullptr, [](DriveRecord& d, uint32_t v) { d.InterruptCoalescing = static_cast<uint16_t>(v); }},
    {0x09, nullptr, [](DriveRecord& d, uint32_t v) { d.InterruptVectorConfig = v; }},
    {0x0B, nullptr, [](DriveRecord& d, uint32_t v) { d.AsyncEventConfig = v; }},
    {0x0C, &DriveRecord::APST_Support, [](DriveRecord& d, uint32_t v) { d.APST_Enabled = Bit(v, 0); }},
    {0x0D, &DriveRecord::HMB_Support, TakeHostMemoryBuffer},
    {0x0F, &DriveRecord::KeepAliveSupport, [](DriveRecord& d, uint32_t v) { d.KeepAliveTimer = v; }},
    {0x10, &DriveRecord::HCTM_Support, TakeThermalManagement},
    {0x11, &DriveRecord::NOPSPM_Support, [](DriveRecord& d, uint32_t v) { d.NOPSPM_Enabled = Bit(v, 0); }},
    {0x12, &DriveRecord::ReadRecoverySupport,
     [](DriveRecord& d, uint32_t v) { d.ReadRecoveryLevel = static_cast<uint8_t>(v & 0x0F); }},
    {0x13, &DriveRecord::PLM_Support, [](DriveRecord& d, uint32_t v) { d.PLM_Enabled = Bit(v, 0); }},
    {0x14, &DriveRecord::PLM_Support,
     [](DriveRecord& d, uint32_t v) { d.PLM_Window = static_cast<uint8_t>(v & 0x07); }},
    {0x15, &DriveRecord::LBAStatusSupport, [](DriveRecord& d, uint32_t v) { d.LBAStatusInterval = v; }},
};

void ReadFeatures(DriveRecord& d) {
    for (const FeatureRead& f : FeatureReads) {
        uint32_t value = 0;
        if ((!f.support || d.*f.support) && GetFeature(d, f.id, value)) f.take(d, value);
    }
}

// A PCIe link property, its field and the highest value the PCI Express standard defines for it.
struct LinkRead {
    const platform::DevPropKey* key;
    uint8_t DriveRecord::*field;
    uint8_t highest;
    const char* name;
};

const LinkRead LinkReads[] = {
    {&platform::DEVPKEY_PciDevice_MaxLinkSpeed, &DriveRecord::PCI_MaxLinkSpeed, 6, "PCI_MaxLinkSpeed"},
    {&platform::DEVPKEY_PciDevice_MaxLinkWidth, &DriveRecord::PCI_MaxLinkWidth, 16, "PCI_MaxLinkWidth"},
    {&platform::DEVPKEY_PciDevice_CurrentLinkSpeed, &DriveRecord::PCI_CurrentLinkSpeed, 6, "PCI_CurrentLinkSpeed"},
    {&platform::DEVPKEY_PciDevice_CurrentLinkWidth, &DriveRecord::PCI_CurrentLinkWidth, 16, "PCI_CurrentLinkWidth"},
};

}  // namespace

bool GetFeature(DriveRecord& drive, uint8_t feature, uint32_t& result) {
    AtaTaskFile tf;
    tf.Command = ATA_SET_FEATURES;
    tf.Features = feature;
    uint8_t value[4] = {};
    if (!ExecuteCommand(drive, tf, value, sizeof value)) return false;
    result = Get32(value, 0);
    return true;
}

void InterpretNVMeIdentify(DriveRecord& d, const std::string& parentInstanceId) {
    const uint8_t* id = d.NVMeIdentifyController;
    TakeIdentity(d, id, parentInstanceId);
    TakeCapabilities(d, id);
    TakeTemperaturesAndFeatureSupport(d, id);
    if (d.NamespaceCount != 0) ReadNamespace(d);
    ReadFeatures(d);
}

// A property that cannot be read leaves its field at 0, which no link has.
void ReadPciLink(DriveRecord& d, platform::DevInfoSet set, const platform::DevInfoData& controller) {
    for (const LinkRead& link : LinkReads) {
        std::vector<uint8_t> value;
        uint32_t type = 0;
        if (!platform::SetupDiGetDeviceProperty(set, controller, *link.key, PropertyBufferSize, value, type) ||
            value.empty())
            continue;
        d.*link.field = value[0];
        if (value[0] < 1 || value[0] > link.highest)
            WriteLog("Unknown " + std::string(link.name) + " - " + std::to_string(value[0]), &d);
    }
}
