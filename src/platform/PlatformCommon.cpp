// Constants of the platform interface shared by both implementations.
#include <cstring>

#include "platform/Storage.h"
#include "platform/Tray.h"

namespace platform {

bool operator==(const Guid& a, const Guid& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

const Guid GUID_DEVINTERFACE_DISK = {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
const Guid GUID_DEVINTERFACE_STORAGE2 = {0x7FCCC86C, 0x228A, 0x40AD, {0x8A, 0x58, 0xF5, 0x90, 0xAF, 0x7B, 0xFD, 0xCE}};

const DevPropKey DEVPKEY_Device_Parent = {
    {0x4340A6C5, 0x93FA, 0x4706, {0x97, 0x2C, 0x7B, 0x64, 0x80, 0x08, 0xA5, 0xA7}}, 8};

namespace {
constexpr Guid DeviceProperties = {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}};
constexpr Guid DriverProperties = {0xA8B865DD, 0x2E3D, 0x4094, {0xAD, 0x97, 0xE5, 0x93, 0xA7, 0x0C, 0x75, 0xD6}};
constexpr Guid PciDeviceProperties = {0x3AB22E31, 0x8264, 0x4B4E, {0x9A, 0xF5, 0xA8, 0xD2, 0xD8, 0xE3, 0x3E, 0x62}};
}  // namespace

const DevPropKey DEVPKEY_Device_HardwareIds = {DeviceProperties, 3};
const DevPropKey DEVPKEY_Device_EnumeratorName = {DeviceProperties, 24};
const DevPropKey DEVPKEY_Device_Address = {DeviceProperties, 30};
const DevPropKey DEVPKEY_Device_DriverDesc = {DriverProperties, 4};
const DevPropKey DEVPKEY_Device_MatchingDeviceId = {DriverProperties, 8};
const DevPropKey DEVPKEY_PciDevice_CurrentLinkSpeed = {PciDeviceProperties, 9};
const DevPropKey DEVPKEY_PciDevice_CurrentLinkWidth = {PciDeviceProperties, 10};
const DevPropKey DEVPKEY_PciDevice_MaxLinkSpeed = {PciDeviceProperties, 11};
const DevPropKey DEVPKEY_PciDevice_MaxLinkWidth = {PciDeviceProperties, 12};

}  // namespace platform

namespace platform {

bool operator==(const Rect& a, const Rect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

bool operator==(const TextIconDrawing& a, const TextIconDrawing& b) {
    return a.Text == b.Text && a.Colour == b.Colour && a.FontFace == b.FontFace && a.FontHeight == b.FontHeight &&
           a.X == b.X && a.Y == b.Y && a.Clip == b.Clip && a.Edge == b.Edge;
}

}  // namespace platform
