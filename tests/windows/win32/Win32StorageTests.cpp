// The real storage calls against what Windows (here: Wine) answers to the calls they stand for.
// The enumeration tests register a device of their own, with an interface of a private class and a
// text property, and remove it again.
#include "platform/Storage.h"
#include "platform/SystemInfo.h"
#include "platform/win32/WindowsApi.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// setupapi.h of mingw-w64 declares the getter only; the import library has both.
extern "C" __declspec(dllimport) BOOL WINAPI SetupDiSetDevicePropertyW(HDEVINFO set, PSP_DEVINFO_DATA element,
                                                                      const DEVPROPKEY* key, DEVPROPTYPE type,
                                                                      const BYTE* buffer, DWORD size, DWORD flags);

#include "windows/PortableGuid.h"

namespace {

const HANDLE WindowsInvalidHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

// {4D36E97D-E325-11CE-BFC1-08002BE10318}, the System device setup class.
const GUID SystemClass = {0x4D36E97D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};
// An interface class and a property of this suite only.
const GUID TestInterface = {0x1D6A4E2B, 0x7C21, 0x4ABC, {0x9D, 0x11, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x4E}};
const DEVPROPKEY TestProperty = {{0x2E31D0A4, 0x6B0F, 0x4C77, {0x8A, 0x42, 0x4B, 0x4F, 0x52, 0x56, 0x41, 0x4E}}, 2};
const wchar_t TestPropertyText[] = L"USB\\VID_152D&PID_0578\\0123456789AB";


platform::DevPropKey Portable(const DEVPROPKEY& k) { return {Portable(k.fmtid), k.pid}; }

platform::DevInfoSet Portable(HDEVINFO set) { return reinterpret_cast<platform::DevInfoSet>(set); }

class RegisteredDevice : public ::testing::Test {
protected:
    void SetUp() override {
        owner_ = ::SetupDiCreateDeviceInfoList(&SystemClass, nullptr);
        ASSERT_NE(owner_, reinterpret_cast<HDEVINFO>(WindowsInvalidHandle));
        device_.cbSize = sizeof device_;
        ASSERT_TRUE(::SetupDiCreateDeviceInfoA(owner_, "ROOT\\KORVANTE_TEST\\0000", &SystemClass, nullptr, nullptr,
                                               0, &device_))
            << ::GetLastError();
        created_ = true;
        ASSERT_TRUE(::SetupDiRegisterDeviceInfo(owner_, &device_, 0, nullptr, nullptr, nullptr)) << ::GetLastError();
        SP_DEVICE_INTERFACE_DATA ifc{};
        ifc.cbSize = sizeof ifc;
        ASSERT_TRUE(::SetupDiCreateDeviceInterfaceA(owner_, &device_, &TestInterface, nullptr, 0, &ifc))
            << ::GetLastError();
        ASSERT_TRUE(::SetupDiSetDevicePropertyW(owner_, &device_, &TestProperty, 0x12 /* string */,
                                                reinterpret_cast<const BYTE*>(TestPropertyText),
                                                sizeof TestPropertyText, 0))
            << ::GetLastError();
        // Registered without a driver, the device is not present: list every interface of the class.
        set_ = ::SetupDiGetClassDevsA(&TestInterface, nullptr, nullptr, DIGCF_DEVICEINTERFACE);
        ASSERT_NE(set_, reinterpret_cast<HDEVINFO>(WindowsInvalidHandle));
    }

    void TearDown() override {
        if (set_ && set_ != reinterpret_cast<HDEVINFO>(WindowsInvalidHandle)) ::SetupDiDestroyDeviceInfoList(set_);
        if (created_) ::SetupDiRemoveDevice(owner_, &device_);
        if (owner_ && owner_ != reinterpret_cast<HDEVINFO>(WindowsInvalidHandle)) ::SetupDiDestroyDeviceInfoList(owner_);
    }

    // The first interface of the set as the platform reports it, with its path and element.
    void Describe(std::string& path, platform::DevInfoData& element) {
        platform::DeviceInterfaceData data{};
        ASSERT_TRUE(platform::SetupDiEnumDeviceInterfaces(Portable(set_), Portable(TestInterface), 0, data));
        ASSERT_TRUE(platform::SetupDiGetDeviceInterfaceDetail(Portable(set_), data, 260, path, element));
    }

    HDEVINFO owner_ = nullptr;
    HDEVINFO set_ = nullptr;
    SP_DEVINFO_DATA device_{};
    bool created_ = false;
};

TEST_F(RegisteredDevice, InterfacesAreEnumeratedUntilNoneIsLeft) {
    platform::DeviceInterfaceData data{};
    ASSERT_TRUE(platform::SetupDiEnumDeviceInterfaces(Portable(set_), Portable(TestInterface), 0, data));
    EXPECT_TRUE(data.InterfaceClassGuid == Portable(TestInterface));
    EXPECT_NE(data.Reserved, 0u);

    SP_DEVICE_INTERFACE_DATA raw{};
    raw.cbSize = sizeof raw;
    ASSERT_TRUE(::SetupDiEnumDeviceInterfaces(set_, nullptr, &TestInterface, 0, &raw));
    EXPECT_EQ(data.Flags, raw.Flags);
    EXPECT_EQ(data.Reserved, raw.Reserved);

    platform::DeviceInterfaceData next{};
    EXPECT_FALSE(platform::SetupDiEnumDeviceInterfaces(Portable(set_), Portable(TestInterface), 1, next));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
}

TEST_F(RegisteredDevice, DetailGivesThePathAndTheDevicesElement) {
    std::string path;
    platform::DevInfoData element{};
    Describe(path, element);

    SP_DEVICE_INTERFACE_DATA raw{};
    raw.cbSize = sizeof raw;
    ASSERT_TRUE(::SetupDiEnumDeviceInterfaces(set_, nullptr, &TestInterface, 0, &raw));
    char detail[260] = {};
    auto* header = reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detail);
    header->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA rawElement{};
    rawElement.cbSize = sizeof rawElement;
    ASSERT_TRUE(::SetupDiGetDeviceInterfaceDetailA(set_, &raw, header, sizeof detail, nullptr, &rawElement));

    EXPECT_EQ(path, std::string(header->DevicePath));
    EXPECT_EQ(path.compare(0, 4, "\\\\?\\"), 0) << path;
    EXPECT_NE(path.find("korvante_test"), std::string::npos) << path;
    EXPECT_TRUE(element.ClassGuid == Portable(SystemClass));
    EXPECT_EQ(element.DevInst, rawElement.DevInst);
    EXPECT_EQ(element.Reserved, rawElement.Reserved);
}

TEST_F(RegisteredDevice, DetailFailsWhenThePathDoesNotFit) {
    platform::DeviceInterfaceData data{};
    ASSERT_TRUE(platform::SetupDiEnumDeviceInterfaces(Portable(set_), Portable(TestInterface), 0, data));
    for (uint32_t size : {0u, 4u, 5u, 24u}) {
        std::string path = "stale";
        platform::DevInfoData element{};
        EXPECT_FALSE(platform::SetupDiGetDeviceInterfaceDetail(Portable(set_), data, size, path, element)) << size;
        EXPECT_TRUE(path.empty()) << size;
    }
}

TEST_F(RegisteredDevice, PropertyOfTheElementComesBackAsWritten) {
    std::string path;
    platform::DevInfoData element{};
    Describe(path, element);

    std::vector<uint8_t> value;
    uint32_t type = 0;
    ASSERT_TRUE(platform::SetupDiGetDeviceProperty(Portable(set_), element, Portable(TestProperty), 2048, value, type));
    EXPECT_EQ(type, platform::DEVPROP_TYPE_STRING);
    ASSERT_EQ(value.size(), sizeof TestPropertyText);
    EXPECT_EQ(std::memcmp(value.data(), TestPropertyText, value.size()), 0);

    // Too small a buffer: the call fails and nothing is returned.
    EXPECT_FALSE(platform::SetupDiGetDeviceProperty(Portable(set_), element, Portable(TestProperty), 8, value, type));
    EXPECT_TRUE(value.empty());

    // A property the device does not have.
    platform::DevPropKey missing = Portable(TestProperty);
    missing.pid = 99;
    EXPECT_FALSE(platform::SetupDiGetDeviceProperty(Portable(set_), element, missing, 2048, value, type));
}

TEST_F(RegisteredDevice, PropertyNeedsTheElementTheSetHandedOut) {
    std::string path;
    platform::DevInfoData element{};
    Describe(path, element);
    // The element's reserved field is how the set finds its device.
    platform::DevInfoData forged = element;
    forged.Reserved = 0;
    std::vector<uint8_t> value;
    uint32_t type = 0;
    EXPECT_FALSE(platform::SetupDiGetDeviceProperty(Portable(set_), forged, Portable(TestProperty), 2048, value, type));
    EXPECT_TRUE(platform::SetupDiGetDeviceProperty(Portable(set_), element, Portable(TestProperty), 2048, value, type));
}

TEST_F(RegisteredDevice, ClassListsHoldOnlyPresentDevices) {
    // The device above has no driver and is not started: the platform's list, of present devices
    // only, does not show it.
    const platform::DevInfoSet present = platform::SetupDiGetClassDevs(Portable(TestInterface));
    ASSERT_NE(present, platform::INVALID_DEVINFO_SET);
    platform::DeviceInterfaceData data{};
    EXPECT_FALSE(platform::SetupDiEnumDeviceInterfaces(present, Portable(TestInterface), 0, data));
    EXPECT_TRUE(platform::SetupDiEnumDeviceInterfaces(Portable(set_), Portable(TestInterface), 0, data));
    platform::SetupDiDestroyDeviceInfoList(present);
}

TEST_F(RegisteredDevice, DeviceIsOpenedByItsInstanceIdentifier) {
    const HDEVINFO list = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
    ASSERT_NE(list, reinterpret_cast<HDEVINFO>(WindowsInvalidHandle));
    platform::DevInfoData element{};
    ASSERT_TRUE(platform::SetupDiOpenDeviceInfo(Portable(list), "ROOT\\KORVANTE_TEST\\0000", element))
        << ::GetLastError();
    EXPECT_TRUE(element.ClassGuid == Portable(SystemClass));
    // The element names the device: its property can be read through it. (Wine numbers device
    // nodes per list, so DevInst cannot be compared across lists.)
    std::vector<uint8_t> value;
    uint32_t type = 0;
    EXPECT_TRUE(platform::SetupDiGetDeviceProperty(Portable(list), element, Portable(TestProperty), 2048, value, type));
    EXPECT_EQ(value.size(), sizeof TestPropertyText);

    platform::DevInfoData none{};
    EXPECT_FALSE(platform::SetupDiOpenDeviceInfo(Portable(list), "ROOT\\KORVANTE_TEST\\0001", none));
    ::SetupDiDestroyDeviceInfoList(list);
}

TEST(Win32Storage, DiskClassListEndsCleanly) {
    const platform::DevInfoSet set = platform::SetupDiGetClassDevs(platform::GUID_DEVINTERFACE_DISK);
    ASSERT_NE(set, platform::INVALID_DEVINFO_SET);
    uint32_t index = 0;
    platform::DeviceInterfaceData data{};
    while (index < 64 && platform::SetupDiEnumDeviceInterfaces(set, platform::GUID_DEVINTERFACE_DISK, index, data)) {
        EXPECT_TRUE(data.InterfaceClassGuid == platform::GUID_DEVINTERFACE_DISK);
        std::string path;
        platform::DevInfoData element{};
        EXPECT_TRUE(platform::SetupDiGetDeviceInterfaceDetail(set, data, 260, path, element));
        EXPECT_FALSE(path.empty());
        ++index;
    }
    EXPECT_LT(index, 64u);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    platform::SetupDiDestroyDeviceInfoList(set);
}

// --- handles and I/O control ---------------------------------------------------------------------

std::string TemporaryFile() {
    char folder[MAX_PATH] = {};
    char path[MAX_PATH] = {};
    if (!::GetTempPathA(sizeof folder, folder) || !::GetTempFileNameA(folder, "kvt", 0, path)) return std::string();
    return path;
}

TEST(Win32Storage, InvalidHandleHasTheSameBitsAsWindows) {
    EXPECT_EQ(reinterpret_cast<HANDLE>(platform::INVALID_HANDLE_VALUE), WindowsInvalidHandle);
    const std::string missing = TemporaryFile() + ".missing";
    EXPECT_EQ(platform::CreateFile(missing), platform::INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // Opening never creates.
    EXPECT_EQ(::GetFileAttributesA(missing.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Win32Storage, HandlesAreSharedForReadingAndWriting) {
    const std::string path = TemporaryFile();
    ASSERT_FALSE(path.empty());
    const platform::Handle first = platform::CreateFile(path);
    ASSERT_NE(first, platform::INVALID_HANDLE_VALUE) << ::GetLastError();
    const platform::Handle second = platform::CreateFile(path);
    EXPECT_NE(second, platform::INVALID_HANDLE_VALUE) << ::GetLastError();

    // The handles hold write access: a reader that shares only reading is refused.
    const HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(reader, WindowsInvalidHandle);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (reader != WindowsInvalidHandle) ::CloseHandle(reader);

    EXPECT_TRUE(platform::CloseHandle(second));
    EXPECT_TRUE(platform::CloseHandle(first));
    EXPECT_FALSE(platform::CloseHandle(first));
    ::DeleteFileA(path.c_str());
}

TEST(Win32Storage, OpenFlagsAreThoseAskedFor) {
    const std::string path = TemporaryFile();
    ASSERT_FALSE(path.empty());
    const platform::Handle handle = platform::CreateFile(path, FILE_FLAG_DELETE_ON_CLOSE);
    ASSERT_NE(handle, platform::INVALID_HANDLE_VALUE) << ::GetLastError();
    EXPECT_NE(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(platform::CloseHandle(handle));
    EXPECT_EQ(::GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

    const platform::Handle plain = platform::CreateFile(path + ".gone", 0);
    EXPECT_EQ(plain, platform::INVALID_HANDLE_VALUE);
    ::DeleteFileA(path.c_str());
}

TEST(Win32Storage, DriveLettersAndPageSizeAreTheSystems) {
    const uint32_t letters = platform::GetLogicalDrives();
    EXPECT_EQ(letters, ::GetLogicalDrives());
    EXPECT_TRUE(letters & (1u << ('C' - 'A'))) << std::hex << letters;

    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    platform::SystemInfo info{};
    platform::GetSystemInfo(info);
    EXPECT_EQ(info.PageSize, system.dwPageSize);
    EXPECT_EQ(info.PageSize, 4096u);
}

TEST(Win32Storage, ControlRequestsReachTheDevice) {
    const platform::Handle drive = platform::CreateFile("\\\\.\\PhysicalDrive0");
    ASSERT_NE(drive, platform::INVALID_HANDLE_VALUE) << ::GetLastError();

    // STORAGE_PROPERTY_QUERY for the device descriptor: StorageDeviceProperty, PropertyStandardQuery.
    const std::vector<uint8_t> query(12, 0);
    std::vector<uint8_t> expected(1024, 0);
    DWORD expectedBytes = 0;
    ASSERT_TRUE(::DeviceIoControl(reinterpret_cast<HANDLE>(drive), IOCTL_STORAGE_QUERY_PROPERTY,
                                  const_cast<uint8_t*>(query.data()), query.size(), expected.data(), expected.size(),
                                  &expectedBytes, nullptr));
    ASSERT_GT(expectedBytes, 8u);

    std::vector<uint8_t> out(1024, 0xCC);
    uint32_t returned = 0;
    ASSERT_TRUE(platform::DeviceIoControl(drive, IOCTL_STORAGE_QUERY_PROPERTY, query.data(), query.size(),
                                          out.data(), out.size(), returned));
    EXPECT_EQ(returned, expectedBytes);
    EXPECT_EQ(std::memcmp(out.data(), expected.data(), expectedBytes), 0);

    // One buffer for the request and the answer, as the transports send them.
    std::vector<uint8_t> both(1024, 0);
    returned = 0;
    ASSERT_TRUE(platform::DeviceIoControl(drive, IOCTL_STORAGE_QUERY_PROPERTY, both.data(), 12, both.data(),
                                          both.size(), returned));
    EXPECT_EQ(returned, expectedBytes);
    EXPECT_EQ(std::memcmp(both.data(), expected.data(), expectedBytes), 0);

    // A code no driver knows fails.
    returned = 77;
    EXPECT_FALSE(platform::DeviceIoControl(drive, 0x00FF3FFCu, query.data(), query.size(), out.data(), out.size(),
                                           returned));
    EXPECT_TRUE(platform::CloseHandle(drive));
}

// --- property text --------------------------------------------------------------------------------

// Text properties reach the program in the ANSI code page: with Windows-1252, characters above
// U+00FF that it has keep their own byte instead of becoming '?'.
TEST(Win32Storage, PropertyTextGoesThroughTheAnsiCodePage) {
    if (::GetACP() != 1252) GTEST_SKIP() << "ANSI code page " << ::GetACP();
    const struct {
        std::u16string wide;
        const char* narrow;
    } cases[] = {
        {u"USB\\VID_152D", "USB\\VID_152D"},
        {u"Caf\u00E9", "Caf\xE9"},
        {u"\u20AC 1 \u2122", "\x80 1 \x99"},  // euro and trade mark signs
        {u"\u4E00", "?"},                          // not in the code page: its default character
        {u"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::WideCharToMultiByte(c.wide), c.narrow) << c.narrow;
}

// --- notifications -------------------------------------------------------------------------------

TEST(Win32Storage, HandleNotificationsGoToAWindow) {
    const HWND window = ::CreateWindowExA(0, "STATIC", "notifications", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          nullptr, nullptr);
    ASSERT_NE(window, nullptr) << ::GetLastError();
    const platform::Handle drive = platform::CreateFile("\\\\.\\PhysicalDrive0");
    ASSERT_NE(drive, platform::INVALID_HANDLE_VALUE);

    const std::uintptr_t notification = platform::RegisterDeviceNotification(reinterpret_cast<std::uintptr_t>(window), drive);
    EXPECT_NE(notification, 0u);
    if (notification) {
        EXPECT_TRUE(::UnregisterDeviceNotification(reinterpret_cast<HDEVNOTIFY>(notification)));
    }
    EXPECT_EQ(platform::RegisterDeviceNotification(0, drive), 0u);

    platform::CloseHandle(drive);
    ::DestroyWindow(window);
}

}  // namespace
