// Where the simulated drives hang: the device tree and its properties, the volumes with their
// letters and extents, and what the storage stack answers about a disk (its number, its TRIM
// state) without passing the request to the drive.
#include <algorithm>
#include <cctype>

#include "protocol/Bytes.h"
#include "protocol/IoctlCodes.h"
#include "platform/SystemInfo.h"
#include "platform/sim/SimInternal.h"

namespace sim {
namespace {

// Elements of drives carry DevInst 1..n; elements of tree devices start here.
constexpr uint32_t DeviceNodeBase = 0x10000;

constexpr uint32_t DEVPROP_TYPE_UINT32 = 0x07;
constexpr uint32_t DEVPROP_TYPE_STRING_LIST = 0x2012;

bool SameKey(const platform::DevPropKey& a, const platform::DevPropKey& b) {
    return a.fmtid == b.fmtid && a.pid == b.pid;
}

void AppendWide(std::vector<uint8_t>& value, const std::string& text) {
    for (char c : text) {
        value.push_back(static_cast<uint8_t>(c));
        value.push_back(0);
    }
    value.push_back(0);
    value.push_back(0);
}

std::vector<uint8_t> Uint32Value(uint32_t v) {
    std::vector<uint8_t> value(4);
    Put32(value.data(), 0, v);
    return value;
}

// A property value as SetupDiGetDevicePropertyW returns it; false when the device lacks it.
struct Property {
    std::vector<uint8_t> bytes;
    uint32_t type = 0;
};

bool TextProperty(const std::string& text, Property& p) {
    if (text.empty()) return false;
    AppendWide(p.bytes, text);
    p.type = platform::DEVPROP_TYPE_STRING;
    return true;
}

bool AddressProperty(int address, Property& p) {
    if (address < 0) return false;
    p.bytes = Uint32Value(static_cast<uint32_t>(address));
    p.type = DEVPROP_TYPE_UINT32;
    return true;
}

bool DriveProperty(const Drive& d, const platform::DevPropKey& key, Property& p) {
    if (SameKey(key, platform::DEVPKEY_Device_Parent)) return TextProperty(d.Parent, p);
    if (SameKey(key, platform::DEVPKEY_Device_Address)) return AddressProperty(d.Address, p);
    return false;
}

bool LinkProperty(const DeviceNode& n, const platform::DevPropKey& key, Property& p) {
    const struct {
        const platform::DevPropKey& key;
        uint32_t value;
    } links[] = {{platform::DEVPKEY_PciDevice_MaxLinkSpeed, n.MaxLinkSpeed},
                 {platform::DEVPKEY_PciDevice_MaxLinkWidth, n.MaxLinkWidth},
                 {platform::DEVPKEY_PciDevice_CurrentLinkSpeed, n.CurrentLinkSpeed},
                 {platform::DEVPKEY_PciDevice_CurrentLinkWidth, n.CurrentLinkWidth}};
    for (const auto& link : links)
        if (n.PciExpress && SameKey(key, link.key)) {
            p.bytes = Uint32Value(link.value);
            p.type = DEVPROP_TYPE_UINT32;
            return true;
        }
    return false;
}

bool NodeProperty(const DeviceNode& n, const platform::DevPropKey& key, Property& p) {
    if (SameKey(key, platform::DEVPKEY_Device_Parent)) return TextProperty(n.Parent, p);
    if (SameKey(key, platform::DEVPKEY_Device_Address)) return AddressProperty(n.Address, p);
    if (SameKey(key, platform::DEVPKEY_Device_EnumeratorName)) return TextProperty(n.Enumerator, p);
    if (SameKey(key, platform::DEVPKEY_Device_DriverDesc)) return TextProperty(n.DriverDesc, p);
    if (SameKey(key, platform::DEVPKEY_Device_MatchingDeviceId)) return TextProperty(n.MatchingDeviceId, p);
    if (SameKey(key, platform::DEVPKEY_Device_HardwareIds)) {
        if (n.HardwareIds.empty()) return false;
        for (const std::string& id : n.HardwareIds) AppendWide(p.bytes, id);
        p.bytes.push_back(0);  // the list ends with an empty string
        p.bytes.push_back(0);
        p.type = DEVPROP_TYPE_STRING_LIST;
        return true;
    }
    return LinkProperty(n, key, p);
}

// Instance identifiers name the same device whatever the case of their letters.
bool SameInstanceId(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// "\\.\X:" for a letter the machine has a volume on.
Volume* VolumeAtPath(const std::string& path) {
    if (path.size() != 6 || path.compare(0, 4, "\\\\.\\") != 0 || path[5] != ':') return nullptr;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(path[4])));
    for (Volume& v : Current().Volumes)
        if (v.Letter == letter) return &v;
    return nullptr;
}

// VOLUME_DISK_EXTENTS: the count, then as many DISK_EXTENTs as fit; a volume with more extents
// than the buffer holds fails with ERROR_MORE_DATA, its count written.
bool DiskExtents(const Volume& v, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
    if (v.Extents.empty() || outSize < VolumeExtentsSize) return false;
    std::fill(out, out + outSize, 0);
    Put32(out, 0, static_cast<uint32_t>(v.Extents.size()));
    uint32_t at = FirstExtentOffset;
    for (const DiskExtent& e : v.Extents) {
        if (outSize - at < DiskExtentSize) break;
        Put32(out, at, e.DiskNumber);
        Put64(out, at + 8, e.StartingOffset);
        Put64(out, at + 16, e.Length);
        at += DiskExtentSize;
    }
    bytesReturned = at;
    return at == FirstExtentOffset + DiskExtentSize * v.Extents.size();
}

bool DeviceNumber(const Drive& d, size_t index, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned) {
    if (d.DeviceNumberRefused || outSize < DeviceNumberSize) return false;
    Put32(out, 0, 7);  // FILE_DEVICE_DISK
    const uint32_t number = d.DeviceNumber < 0 ? static_cast<uint32_t>(index) : static_cast<uint32_t>(d.DeviceNumber);
    Put32(out, DeviceNumberOffset, number);
    Put32(out, 8, 0);  // the whole disk, not a partition
    bytesReturned = DeviceNumberSize;
    return true;
}

// DEVICE_TRIM_DESCRIPTOR; a buffer too small for it receives the version and size only.
bool TrimDescriptor(const Drive& d, const uint8_t* in, uint32_t inSize, uint8_t* out, uint32_t outSize,
                    uint32_t& bytesReturned) {
    if (d.Trim == TrimState::Refused || inSize < 8 || Get32(in, 4) != StandardQueryType || outSize < 8) return false;
    Put32(out, 0, TrimDescriptorSize);
    Put32(out, 4, TrimDescriptorSize);
    bytesReturned = 8;
    if (outSize < TrimDescriptorSize) return true;
    Put32(out, TrimEnabledOffset, d.Trim == TrimState::Enabled ? 1 : 0);
    bytesReturned = TrimDescriptorSize;
    return true;
}

bool IsTrimQuery(uint32_t code, const uint8_t* in, uint32_t inSize) {
    return code == IOCTL_STORAGE_QUERY_PROPERTY && inSize >= 4 && Get32(in, 0) == TrimPropertyId;
}

}  // namespace

bool DevicePropertyValue(const platform::DevInfoData& element, const platform::DevPropKey& key, uint32_t bufferSize,
                    std::vector<uint8_t>& value, uint32_t& type) {
    const Machine& m = Current();
    Property p;
    bool found = false;
    if (element.DevInst >= 1 && element.DevInst <= m.Drives.size())
        found = DriveProperty(m.Drives[element.DevInst - 1], key, p);
    else if (element.DevInst > DeviceNodeBase && element.DevInst - DeviceNodeBase <= m.Devices.size())
        found = NodeProperty(m.Devices[element.DevInst - DeviceNodeBase - 1], key, p);
    if (!found || p.bytes.size() > bufferSize) return false;  // ERROR_INSUFFICIENT_BUFFER
    value = p.bytes;
    type = p.type;
    return true;
}

bool AnswerDeviceRequest(platform::Handle handle, uint32_t code, const uint8_t* in, uint32_t inSize, uint8_t* out,
                         uint32_t outSize, uint32_t& bytesReturned, bool& result) {
    if (const Volume* v = VolumeForHandle(handle)) {
        result = code == IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS && DiskExtents(*v, out, outSize, bytesReturned);
        return true;
    }
    Drive* d = DriveForHandle(handle);
    if (!d || (code != IOCTL_STORAGE_GET_DEVICE_NUMBER && !IsTrimQuery(code, in, inSize))) return false;
    d->LastInput.assign(in, in + inSize);
    if (code == IOCTL_STORAGE_GET_DEVICE_NUMBER)
        result = DeviceNumber(*d, static_cast<size_t>(d - Current().Drives.data()), out, outSize, bytesReturned);
    else
        result = TrimDescriptor(*d, in, inSize, out, outSize, bytesReturned);
    return true;
}

}  // namespace sim

namespace platform {

using sim::MachineLock;

bool SetupDiOpenDeviceInfo(DevInfoSet set, const std::string& instanceId, DevInfoData& element) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    const std::vector<sim::DeviceNode>& devices = sim::Current().Devices;
    if (!sim::KnownSet(set) || instanceId.empty()) return false;
    for (size_t i = 0; i < devices.size(); ++i)
        if (sim::SameInstanceId(devices[i].InstanceId, instanceId)) {
            element = DevInfoData{};
            element.DevInst = static_cast<uint32_t>(sim::DeviceNodeBase + i + 1);
            return true;
        }
    return false;  // ERROR_NO_SUCH_DEVINST
}

Handle CreateFile(const std::string& path, uint32_t) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    const sim::Volume* v = sim::VolumeAtPath(path);
    if (!v) return CreateFile(path);
    return v->Opens ? sim::OpenVolumeHandle(static_cast<size_t>(v - sim::Current().Volumes.data()))
                    : INVALID_HANDLE_VALUE;
}

uint32_t GetLogicalDrives() {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    uint32_t letters = 0;
    for (const sim::Volume& v : sim::Current().Volumes)
        if (v.Letter >= 'A' && v.Letter <= 'Z') letters |= 1u << (v.Letter - 'A');
    return letters;
}

void GetSystemInfo(SystemInfo& info) {
    std::lock_guard<std::recursive_mutex> lock(MachineLock());
    info.PageSize = sim::Current().PageSize;
    info.NumberOfProcessors = sim::Current().NumberOfProcessors;
}

}  // namespace platform
