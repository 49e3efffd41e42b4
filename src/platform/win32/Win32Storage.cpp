// The storage calls of the platform interface on Windows: SetupAPI enumeration and device
// properties, device and volume handles, I/O control, handle notifications, and the system facts
// the storage code needs (drive letters, page size).
#include "platform/win32/WindowsApi.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "platform/Storage.h"
#include "platform/SystemInfo.h"

namespace platform {

namespace {

// cbSize of SP_DEVICE_INTERFACE_DETAIL_DATA_A is the structure's own size: the size field and one
// character, 5 bytes packed in the 32-bit program, 8 in a 64-bit build (the Windows tests without
// 32-bit support), where SetupAPI refuses any other value.
constexpr DWORD DetailHeaderSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
constexpr DWORD DetailPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// The program is 32-bit: the structure sizes the calls are given are those of the 32-bit layout.
#ifndef _WIN64
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == 28, "32-bit SP_DEVICE_INTERFACE_DATA");
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "32-bit SP_DEVINFO_DATA");
static_assert(sizeof(DEV_BROADCAST_HANDLE) == 44, "32-bit DEV_BROADCAST_HANDLE");
static_assert(DetailHeaderSize == 5 && DetailPathOffset == 4, "32-bit SP_DEVICE_INTERFACE_DETAIL_DATA_A");
#endif

GUID ToWindows(const Guid& g) {
    GUID w;
    w.Data1 = g.Data1;
    w.Data2 = g.Data2;
    w.Data3 = g.Data3;
    std::memcpy(w.Data4, g.Data4, sizeof w.Data4);
    return w;
}

Guid FromWindows(const GUID& w) {
    Guid g;
    g.Data1 = w.Data1;
    g.Data2 = w.Data2;
    g.Data3 = w.Data3;
    std::memcpy(g.Data4, w.Data4, sizeof g.Data4);
    return g;
}

HDEVINFO ToDevInfo(DevInfoSet set) { return reinterpret_cast<HDEVINFO>(set); }

HANDLE ToHandle(Handle handle) { return reinterpret_cast<HANDLE>(handle); }

SP_DEVICE_INTERFACE_DATA ToWindows(const DeviceInterfaceData& d) {
    SP_DEVICE_INTERFACE_DATA w{};
    w.cbSize = sizeof w;
    w.InterfaceClassGuid = ToWindows(d.InterfaceClassGuid);
    w.Flags = d.Flags;
    w.Reserved = d.Reserved;
    return w;
}

SP_DEVINFO_DATA ToWindows(const DevInfoData& d) {
    SP_DEVINFO_DATA w{};
    w.cbSize = sizeof w;
    w.ClassGuid = ToWindows(d.ClassGuid);
    w.DevInst = d.DevInst;
    w.Reserved = d.Reserved;
    return w;
}

void FromWindows(const SP_DEVINFO_DATA& w, DevInfoData& d) {
    d.ClassGuid = FromWindows(w.ClassGuid);
    d.DevInst = w.DevInst;
    d.Reserved = w.Reserved;
}

}  // namespace

DevInfoSet SetupDiGetClassDevs(const Guid& interfaceClass) {
    const GUID g = ToWindows(interfaceClass);
    const HDEVINFO set = ::SetupDiGetClassDevsA(&g, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == reinterpret_cast<HDEVINFO>(INVALID_DEVINFO_SET)) return INVALID_DEVINFO_SET;
    return reinterpret_cast<DevInfoSet>(set);
}

bool SetupDiEnumDeviceInterfaces(DevInfoSet set, const Guid& interfaceClass, uint32_t memberIndex,
                                 DeviceInterfaceData& interfaceData) {
    const GUID g = ToWindows(interfaceClass);
    SP_DEVICE_INTERFACE_DATA w{};
    w.cbSize = sizeof w;
    if (!::SetupDiEnumDeviceInterfaces(ToDevInfo(set), nullptr, &g, memberIndex, &w)) return false;
    interfaceData.InterfaceClassGuid = FromWindows(w.InterfaceClassGuid);
    interfaceData.Flags = w.Flags;
    interfaceData.Reserved = w.Reserved;
    return true;
}

bool SetupDiGetDeviceInterfaceDetail(DevInfoSet set, const DeviceInterfaceData& interfaceData,
                                     uint32_t detailBufferSize, std::string& devicePath, DevInfoData& element) {
    devicePath.clear();
    // Room for the size field even when the caller's buffer is smaller; the call is still told
    // the caller's size and fails as it would.
    std::vector<uint8_t> detail(std::max<uint32_t>(detailBufferSize, DetailHeaderSize), 0);
    std::memcpy(detail.data(), &DetailHeaderSize, sizeof DetailHeaderSize);
    SP_DEVICE_INTERFACE_DATA w = ToWindows(interfaceData);
    SP_DEVINFO_DATA info = ToWindows(element);
    if (!::SetupDiGetDeviceInterfaceDetailA(ToDevInfo(set), &w,
                                            reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detail.data()),
                                            detailBufferSize, nullptr, &info))
        return false;
    FromWindows(info, element);
    if (detailBufferSize > DetailPathOffset) {
        const char* path = reinterpret_cast<const char*>(detail.data() + DetailPathOffset);
        devicePath.assign(path, strnlen(path, detailBufferSize - DetailPathOffset));
    }
    return true;
}

bool SetupDiGetDeviceProperty(DevInfoSet set, const DevInfoData& element, const DevPropKey& key,
                              uint32_t bufferSize, std::vector<uint8_t>& value, uint32_t& type) {
    value.clear();
    type = 0;
    SP_DEVINFO_DATA info = ToWindows(element);
    DEVPROPKEY k;
    k.fmtid = ToWindows(key.fmtid);
    k.pid = key.pid;
    std::vector<uint8_t> buffer(bufferSize ? bufferSize : 1, 0);
    DEVPROPTYPE propertyType = 0;
    DWORD required = 0;
    if (!::SetupDiGetDevicePropertyW(ToDevInfo(set), &info, &k, &propertyType,
                                     bufferSize ? buffer.data() : nullptr, bufferSize, &required, 0))
        return false;
    value.assign(buffer.begin(), buffer.begin() + std::min<DWORD>(required, bufferSize));
    type = propertyType;
    return true;
}

std::string WideCharToMultiByte(const std::u16string& text) {
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t");
    if (text.empty()) return std::string();
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int needed = ::WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return std::string();
    std::string narrow(static_cast<size_t>(needed), '\0');
    if (::WideCharToMultiByte(CP_ACP, 0, wide, length, &narrow[0], needed, nullptr, nullptr) != needed)
        return std::string();
    return narrow;
}

bool SetupDiOpenDeviceInfo(DevInfoSet set, const std::string& instanceId, DevInfoData& element) {
    // Instance identifiers are plain ASCII: each byte widens to one character.
    std::wstring wide(instanceId.size(), L'\0');
    std::transform(instanceId.begin(), instanceId.end(), wide.begin(),
                   [](char c) { return static_cast<wchar_t>(static_cast<unsigned char>(c)); });
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    if (!::SetupDiOpenDeviceInfoW(ToDevInfo(set), wide.c_str(), nullptr, 0, &info)) return false;
    FromWindows(info, element);
    return true;
}

void SetupDiDestroyDeviceInfoList(DevInfoSet set) {
    if (set != INVALID_DEVINFO_SET) ::SetupDiDestroyDeviceInfoList(ToDevInfo(set));
}

Handle CreateFile(const std::string& path, uint32_t flagsAndAttributes) {
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, flagsAndAttributes, nullptr);
    return reinterpret_cast<Handle>(h);  // INVALID_HANDLE_VALUE has the same bits in both
}

Handle CreateFile(const std::string& path) { return CreateFile(path, FILE_FLAG_NO_BUFFERING); }

uint32_t GetLogicalDrives() { return ::GetLogicalDrives(); }

bool CloseHandle(Handle handle) { return ::CloseHandle(ToHandle(handle)) != 0; }

bool DeviceIoControl(Handle handle, uint32_t ioControlCode, const void* inBuffer, uint32_t inSize,
                     void* outBuffer, uint32_t outSize, uint32_t& bytesReturned) {
    DWORD returned = 0;
    const BOOL ok = ::DeviceIoControl(ToHandle(handle), ioControlCode, const_cast<void*>(inBuffer), inSize,
                                      outBuffer, outSize, &returned, nullptr);
    bytesReturned = returned;
    return ok != 0;
}

bool GetDevicePowerState(Handle handle, bool& on) {
    BOOL state = FALSE;
    if (!::GetDevicePowerState(ToHandle(handle), &state)) return false;
    on = state != FALSE;
    return true;
}

bool SetFilePointerEx(Handle handle, int64_t position) {
    LARGE_INTEGER distance{};
    distance.QuadPart = position;
    return ::SetFilePointerEx(ToHandle(handle), distance, nullptr, FILE_BEGIN) != 0;
}

bool ReadFile(Handle handle, void* buffer, uint32_t size, uint32_t& bytesRead) {
    DWORD read = 0;
    const BOOL ok = ::ReadFile(ToHandle(handle), buffer, size, &read, nullptr);
    bytesRead = read;
    return ok != 0;
}

bool FlushFileBuffers(Handle handle) { return ::FlushFileBuffers(ToHandle(handle)) != FALSE; }

std::uintptr_t RegisterDeviceNotification(std::uintptr_t window, Handle device) {
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = ToHandle(device);
    const HDEVNOTIFY n =
        ::RegisterDeviceNotificationA(reinterpret_cast<HANDLE>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return reinterpret_cast<std::uintptr_t>(n);
}

std::uintptr_t RegisterDeviceInterfaceNotification(std::uintptr_t window, const Guid& interfaceClass) {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    static_assert(sizeof(GUID) == sizeof(Guid), "the interface class is a GUID");
    std::memcpy(&filter.dbcc_classguid, &interfaceClass, sizeof(GUID));
    const HDEVNOTIFY n =
        ::RegisterDeviceNotificationA(reinterpret_cast<HANDLE>(window), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    return reinterpret_cast<std::uintptr_t>(n);
}

bool ReadDeviceBroadcast(std::intptr_t lParam, DeviceBroadcast& broadcast) {
    if (lParam == 0) return false;
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    broadcast.DeviceType = header->dbch_devicetype;
    broadcast.DeviceHandle = 0;
    if (header->dbch_devicetype == DBT_DEVTYP_HANDLE)
        broadcast.DeviceHandle = reinterpret_cast<Handle>(reinterpret_cast<const DEV_BROADCAST_HANDLE*>(lParam)->dbch_handle);
    return true;
}

void GetSystemInfo(SystemInfo& info) {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    info.PageSize = system.dwPageSize;
    info.NumberOfProcessors = system.dwNumberOfProcessors;
}

}  // namespace platform
