#include "discovery/Placement.h"

#include <string>
#include <vector>

#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "discovery/NvmeIdentify.h"
#include "discovery/Scan.h"
#include "device/TIOCTL.h"
#include "device/DiagnosticLog.h"
#include "knowledge/UsbBridges.h"

namespace {

constexpr uint32_t PropertyBufferSize = 2048;
constexpr unsigned MaximumControllerSearchDepth = 12;
const char* const UasMatchingDeviceId = "USB\\Class_08&SubClass_06&Prot_62";

bool ReadProperty(platform::DevInfoSet set, const platform::DevInfoData& element, const platform::DevPropKey& key,
                  std::vector<uint8_t>& value) {
    uint32_t type = 0;
    return platform::SetupDiGetDeviceProperty(set, element, key, PropertyBufferSize, value, type);
}

// A text property up to its first zero; a list property gives its first entry.
bool ReadText(platform::DevInfoSet set, const platform::DevInfoData& element, const platform::DevPropKey& key,
              std::string& text) {
    std::vector<uint8_t> value;
    if (!ReadProperty(set, element, key, value)) return false;
    text = PropertyText(value);
    return true;
}

// A bus address, of which only the first byte means anything here.
bool ReadAddress(platform::DevInfoSet set, const platform::DevInfoData& element, uint8_t& address) {
    std::vector<uint8_t> value;
    if (!ReadProperty(set, element, platform::DEVPKEY_Device_Address, value) || value.empty()) return false;
    address = value[0];
    return true;
}

// Moves the element to its device's parent; `parentId` receives the parent's instance identifier.
bool MoveToParent(platform::DevInfoSet set, platform::DevInfoData& element, std::string& parentId) {
    std::string id;
    if (!ReadText(set, element, platform::DEVPKEY_Device_Parent, id) || id.empty()) return false;
    parentId = id;
    return platform::SetupDiOpenDeviceInfo(set, id, element);
}

// Climbs from the element to the first device the PCI bus enumerated, reading at most twelve
// enumerator names; a tree that ends or cannot be climbed on the way has no host controller.
bool FindHostController(DriveRecord& d, platform::DevInfoSet set, platform::DevInfoData& element,
                        std::string& parentId) {
    for (unsigned names = 0; names < MaximumControllerSearchDepth; ++names) {
        std::string enumerator;
        if (ReadText(set, element, platform::DEVPKEY_Device_EnumeratorName, enumerator) && enumerator == "PCI")
            return true;
        if (!MoveToParent(set, element, parentId)) return false;
    }
    WriteLog("MaximumControllerSearchDepth - " + parentId, &d);
    return false;
}

bool ReadDeviceNumber(const DriveRecord& d, uint32_t& number) {
    uint8_t reply[DeviceNumberSize] = {};
    uint32_t returned = 0;
    if (!platform::DeviceIoControl(d.Handle, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, reply, sizeof reply,
                                   returned) ||
        returned < sizeof reply)
        return false;
    number = Get32(reply, DeviceNumberOffset);
    return true;
}

// The disk a volume lies on, when it lies on one disk in one extent.
bool VolumeDisk(char letter, uint32_t& disk) {
    const platform::OwnedHandle volume(platform::CreateFile(std::string("\\\\.\\") + letter + ":", 0));
    if (volume == platform::INVALID_HANDLE_VALUE) return false;
    uint8_t reply[VolumeExtentsSize] = {};
    uint32_t returned = 0;
    const bool single = platform::DeviceIoControl(volume, IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, reply,
                                                  sizeof reply, returned) &&
                        returned >= sizeof reply && Get32(reply, 0) == 1;
    if (single) disk = Get32(reply, FirstExtentOffset);
    return single;
}

UsbDeviceId UsbIdOf(const DriveRecord& d) { return {d.UsbVendorId, d.UsbProductId, d.UsbRelease}; }

}  // namespace

void RecogniseUsbBridge(DriveRecord& d, platform::DevInfoSet set, const platform::DevInfoData& driveElement) {
    platform::DevInfoData element = driveElement;
    std::string parentId, hardwareId;
    UsbDeviceId id;
    if (!MoveToParent(set, element, parentId) ||
        !ReadText(set, element, platform::DEVPKEY_Device_HardwareIds, hardwareId) || !ParseUsbHardwareId(hardwareId, id)) {
        WriteLog("USB bridge not identified: " + parentId, &d);
        return;
    }
    d.UsbVendorId = id.Vendor, d.UsbProductId = id.Product, d.UsbRelease = id.Release;
    const UsbBridgeRow* bridge = FindUsbBridge(id);
    if (!bridge) {
        WriteLog("USB bridge " + UsbIdText(id) + " not in the bridge table", &d);
        return;
    }
    d.BridgeName = bridge->Name;
    if (bridge->Method != AccessMethod::SAT) d.BridgeMethod = static_cast<uint8_t>(bridge->Method);
    WriteLog("USB bridge " + UsbIdText(id) + ": " + d.BridgeName + ", " + AccessMethodName(bridge->Method), &d);
}

// An enclosure holds a drive that speaks SATA after all: the tunnel's own id allows it.
bool BridgeMayHoldSata(const DriveRecord& d) {
    const UsbBridgeRow* bridge = FindUsbBridge(UsbIdOf(d));
    return bridge && bridge->OrSata;
}

void PlaceDrive(DriveRecord& d, platform::DevInfoSet set, const platform::DevInfoData& driveElement) {
    const bool parallel = !d.IsNVMe && d.Transport == 0;
    bool rolesKnown = parallel && ReadAddress(set, driveElement, d.DeviceAddress) && d.DeviceAddress < 2;

    platform::DevInfoData element = driveElement;
    std::string parentId;
    if (!MoveToParent(set, element, parentId)) return;
    if (parallel) rolesKnown = ReadAddress(set, element, d.ChannelAddress) && d.ChannelAddress < 2 && rolesKnown;
    if (d.IsUSB) {
        std::string matching;
        d.IsUAS = ReadText(set, element, platform::DEVPKEY_Device_MatchingDeviceId, matching) &&
                  matching == UasMatchingDeviceId;
    }

    if (!FindHostController(d, set, element, parentId)) return;
    d.ChannelKnown = rolesKnown;
    ReadText(set, element, platform::DEVPKEY_Device_DriverDesc, d.HostAdapter);
    if (!ReadText(set, element, platform::DEVPKEY_Device_HardwareIds, d.HardwareID))
        WriteLog("DEVPKEY_Device_HardwareIds failed", &d);
    // A drive in an enclosure hangs from its bridge; the PCIe link found is the USB controller's.
    if (!d.BridgeName.empty()) {
        d.HostAdapter = d.BridgeName + " USB bridge (" + UsbIdText(UsbIdOf(d)) + ")";
        d.HardwareID = UsbHardwareId(UsbIdOf(d));
    }
    if (d.IsNVMe && !d.IsUSB) ReadPciLink(d, set, element);
}

// A drive whose number cannot be read gets no letters: any guess would show another disk's.
void MapLogicalDrives(DriveRecord& d) {
    uint32_t number = 0;
    if (!ReadDeviceNumber(d, number)) {
        WriteLog("Get device number failed.", &d);
        return;
    }
    const uint32_t letters = platform::GetLogicalDrives();
    for (unsigned i = 0; i < 26; ++i) {
        const char letter = static_cast<char>('A' + i);
        uint32_t disk = 0;
        if (!Bit(letters, i) || !VolumeDisk(letter, disk) || disk != number) continue;
        if (!d.LogicalDrives.empty()) d.LogicalDrives += ' ';
        d.LogicalDrives += std::string(1, letter) + ":";
    }
}

void ReadTrimState(DriveRecord& d) {
    if (!d.TRIM_Support) return;
    uint8_t query[TrimQuerySize] = {};
    Put32(query, 0, TrimPropertyId);
    Put32(query, 4, StandardQueryType);
    uint8_t descriptor[TrimDescriptorSize] = {};
    uint32_t returned = 0;
    d.TRIM_Enabled = platform::DeviceIoControl(d.Handle, IOCTL_STORAGE_QUERY_PROPERTY, query, sizeof query,
                                               descriptor, sizeof descriptor, returned) &&
                     returned == sizeof descriptor && Get32(descriptor, TrimEnabledOffset) != 0;
}
