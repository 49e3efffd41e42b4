// The storage facility of the platform interface: device enumeration and properties (SetupAPI),
// drive and volume handles, I/O control and device notifications.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace platform {

// Device interface classes the scan walks.
extern const Guid GUID_DEVINTERFACE_DISK;       // {53F56307-B6BF-11D0-94F2-00A0C91EFB8B}
extern const Guid GUID_DEVINTERFACE_STORAGE2;   // {7FCCC86C-228A-40AD-8A58-F590AF7BFDCE}

using DevInfoSet = std::uintptr_t;
constexpr DevInfoSet INVALID_DEVINFO_SET = ~static_cast<DevInfoSet>(0);

// SP_DEVICE_INTERFACE_DATA and SP_DEVINFO_DATA without their size fields.
struct DeviceInterfaceData {
    Guid InterfaceClassGuid;
    uint32_t Flags;
    std::uintptr_t Reserved;
};

struct DevInfoData {
    Guid ClassGuid;
    uint32_t DevInst;
    std::uintptr_t Reserved;
};

// A device property key (DEVPROPKEY).
struct DevPropKey {
    Guid fmtid;
    uint32_t pid;
};

extern const DevPropKey DEVPKEY_Device_Parent;
// Where a drive hangs: bus addresses, enumerators, controller texts, a USB bridge's matching
// identifier and the PCI Express link of an NVMe controller.
extern const DevPropKey DEVPKEY_Device_Address;
extern const DevPropKey DEVPKEY_Device_EnumeratorName;
extern const DevPropKey DEVPKEY_Device_DriverDesc;
extern const DevPropKey DEVPKEY_Device_HardwareIds;
extern const DevPropKey DEVPKEY_Device_MatchingDeviceId;
extern const DevPropKey DEVPKEY_PciDevice_MaxLinkSpeed;
extern const DevPropKey DEVPKEY_PciDevice_MaxLinkWidth;
extern const DevPropKey DEVPKEY_PciDevice_CurrentLinkSpeed;
extern const DevPropKey DEVPKEY_PciDevice_CurrentLinkWidth;

constexpr uint32_t DEVPROP_TYPE_STRING = 0x12;

// --- storage: SetupAPI enumeration --------------------------------------------------------------

// SetupDiGetClassDevsA(class, no enumerator, no window, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE).
DevInfoSet SetupDiGetClassDevs(const Guid& interfaceClass);

bool SetupDiEnumDeviceInterfaces(DevInfoSet set, const Guid& interfaceClass, uint32_t memberIndex,
                                 DeviceInterfaceData& interfaceData);

// SetupDiGetDeviceInterfaceDetailA into a detail buffer of detailBufferSize bytes; the path is
// the text the buffer received, cut at its terminating zero.
bool SetupDiGetDeviceInterfaceDetail(DevInfoSet set, const DeviceInterfaceData& interfaceData,
                                     uint32_t detailBufferSize, std::string& devicePath,
                                     DevInfoData& element);

// SetupDiGetDevicePropertyW into a buffer of bufferSize bytes; value receives the bytes the
// property returned (never more than bufferSize), type its DEVPROPTYPE.
bool SetupDiGetDeviceProperty(DevInfoSet set, const DevInfoData& element, const DevPropKey& key,
                              uint32_t bufferSize, std::vector<uint8_t>& value, uint32_t& type);

// WideCharToMultiByte(CP_ACP, no flags, text, no default character): a text property's UTF-16
// characters in the ANSI code page, each one it lacks as the code page's default character; empty
// when the conversion fails.
std::string WideCharToMultiByte(const std::u16string& text);

// SetupDiOpenDeviceInfoW(set, instance identifier, no window, no flags, element): adds the device
// with that instance identifier to the set and fills element for it.
bool SetupDiOpenDeviceInfo(DevInfoSet set, const std::string& instanceId, DevInfoData& element);

void SetupDiDestroyDeviceInfoList(DevInfoSet set);

struct DevInfoSetCloser {
    static void Close(DevInfoSet set) { SetupDiDestroyDeviceInfoList(set); }
};
using OwnedDevInfoSet = Owned<DevInfoSetCloser>;

// --- storage: device handles and I/O control ------------------------------------------------------

// CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, no security,
// OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, no template).
Handle CreateFile(const std::string& path);

// The same with other flags and attributes; volumes (\\.\C:) are opened with none (0).
Handle CreateFile(const std::string& path, uint32_t flagsAndAttributes);

// GetLogicalDrives: bit i is set when drive letter 'A' + i exists; 0 on failure.
uint32_t GetLogicalDrives();

// Synchronous DeviceIoControl; in and out may be the same buffer.
bool DeviceIoControl(Handle handle, uint32_t ioControlCode, const void* inBuffer, uint32_t inSize,
                     void* outBuffer, uint32_t outSize, uint32_t& bytesReturned);

// GetDevicePowerState(drive handle, &on): on is true while the drive is in its working state and false
// while it is spun down or asleep. Asking does not wake the drive. False when the call fails.
bool GetDevicePowerState(Handle handle, bool& on);

// --- storage: raw reads -------------------------------------------------------------------------

// SetFilePointerEx(handle, position, no new position, FILE_BEGIN): the next read starts at this byte.
bool SetFilePointerEx(Handle handle, int64_t position);

// ReadFile(handle, buffer, size, &bytesRead, no overlapped). On a drive opened without buffering the
// position, the size and the buffer's address must be multiples of the sector size; reading at the
// end reads nothing and succeeds. The position moves on by what was read.
bool ReadFile(Handle handle, void* buffer, uint32_t size, uint32_t& bytesRead);

// FlushFileBuffers: whatever the system still holds for the handle goes to the device. False on failure.
bool FlushFileBuffers(Handle handle);

// RegisterDeviceNotificationA(window, DEV_BROADCAST_HANDLE for device, DEVICE_NOTIFY_WINDOW_HANDLE).
// Returns the notification handle, 0 on failure.
std::uintptr_t RegisterDeviceNotification(std::uintptr_t window, Handle device);

// RegisterDeviceNotificationA(window, DEV_BROADCAST_DEVICEINTERFACE_A of 32 bytes, device type 5,
// this interface class, DEVICE_NOTIFY_WINDOW_HANDLE). 0 on failure.
std::uintptr_t RegisterDeviceInterfaceNotification(std::uintptr_t window, const Guid& interfaceClass);

// What a WM_DEVICECHANGE message's broadcast header says: the device type (dbch_devicetype: 5 a device
// interface, 6 a handle) and, for a handle broadcast, the handle (DEV_BROADCAST_HANDLE.dbch_handle).
constexpr uint32_t DBT_DEVTYP_DEVICEINTERFACE = 5;
constexpr uint32_t DBT_DEVTYP_HANDLE = 6;
struct DeviceBroadcast {
    uint32_t DeviceType = 0;
    Handle DeviceHandle = 0;
};
// False when the message carries no header (lParam 0).
bool ReadDeviceBroadcast(std::intptr_t lParam, DeviceBroadcast& broadcast);

}  // namespace platform
