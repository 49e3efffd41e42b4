// The system helpers on the real Windows calls: the registry (a tree with a leaf whose security
// descriptor denies deletion, values of the wrong type or length), the program's own version
// resource, the Windows version, processors and load, environment, date texts and input.
#include "platform/win32/WindowsApi.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "system/FileUtils.h"
#include "system/OSInfo.h"
#include "system/RegUtils.h"
#include "system/Utils.h"

#if !defined(KORVANTE_EXE_PATH) || !defined(KORVANTE_VERSION)
#error "KORVANTE_EXE_PATH names the built KORVANTE.exe, KORVANTE_VERSION the project version"
#endif

namespace {

const std::string Top = "Software\\KORVANTE-Win32Test";

bool Exists(const std::string& path) {
    platform::HKey key = 0;
    if (platform::RegOpenKeyEx(platform::HKEY_CURRENT_USER, Top + path, platform::KEY_QUERY_VALUE, key) != ERROR_SUCCESS)
        return false;
    platform::RegCloseKey(key);
    return true;
}

void Create(const std::string& path) {
    platform::HKey key = 0;
    ASSERT_EQ(platform::RegCreateKeyEx(platform::HKEY_CURRENT_USER, Top + path, platform::KEY_ALL_ACCESS, key),
              ERROR_SUCCESS)
        << path;
    platform::RegCloseKey(key);
}

// Sets the key's access list from its SDDL text.
bool SetAccessList(const std::string& path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
    HKEY key = nullptr;
    LONG status = ::RegOpenKeyExA(reinterpret_cast<HKEY>(platform::HKEY_CURRENT_USER), (Top + path).c_str(), 0,
                                  WRITE_DAC, &key);
    if (status == ERROR_SUCCESS) {
        status = ::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
        ::RegCloseKey(key);
    }
    ::LocalFree(descriptor);
    return status == ERROR_SUCCESS;
}

// Everyone is denied the standard delete right on the key, everything else allowed; and back.
bool DenyDeletion(const std::string& path) { return SetAccessList(path, "D:(D;;SD;;;WD)(A;;KA;;;WD)"); }
void AllowDeletion(const std::string& path) { SetAccessList(path, "D:(A;;KA;;;WD)"); }

class RealRegistry : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() {
        AllowDeletion("\\A\\B\\leaf");
        AllowDeletion("\\probe");
        DeleteRegistryTree(platform::HKEY_CURRENT_USER, Top);
    }
};

TEST_F(RealRegistry, AnUndeletableLeafKeepsItsPathAndNothingElse) {
    Create("\\probe");
    ASSERT_TRUE(DenyDeletion("\\probe"));
    if (::RegDeleteKeyA(reinterpret_cast<HKEY>(platform::HKEY_CURRENT_USER), (Top + "\\probe").c_str()) == ERROR_SUCCESS)
        GTEST_SKIP() << "this registry deletes keys whose descriptor denies it";
    AllowDeletion("\\probe");

    for (const char* path : {"\\A\\B\\aa", "\\A\\B\\leaf", "\\A\\B\\zz", "\\A\\D\\deep", "\\F"}) Create(path);
    ASSERT_TRUE(DenyDeletion("\\A\\B\\leaf"));
    EXPECT_FALSE(DeleteRegistryTree(platform::HKEY_CURRENT_USER, Top));
    for (const char* kept : {"", "\\A", "\\A\\B", "\\A\\B\\leaf"}) {
        EXPECT_TRUE(Exists(kept)) << kept;
    }
    for (const char* gone : {"\\probe", "\\A\\B\\aa", "\\A\\B\\zz", "\\A\\D", "\\F"}) {
        EXPECT_FALSE(Exists(gone)) << gone;
    }
    AllowDeletion("\\A\\B\\leaf");
    EXPECT_TRUE(DeleteRegistryTree(platform::HKEY_CURRENT_USER, Top));
    EXPECT_FALSE(Exists(""));
}

TEST_F(RealRegistry, ValuesOfTheWrongTypeOrLengthReadAsNeverSet) {
    Create("");
    platform::HKey opened = 0;
    ASSERT_EQ(platform::RegOpenKeyEx(platform::HKEY_CURRENT_USER, Top, platform::KEY_ALL_ACCESS, opened), ERROR_SUCCESS);
    const platform::OwnedKey key(opened);
    const platform::SystemTime date = {2026, 1, 1, 5, 12, 30, 15, 999};
    ASSERT_TRUE(SetRegistryDword(key, "Number", 0x12345678));
    ASSERT_TRUE(SetRegistryText(key, "Text", "abc"));
    ASSERT_TRUE(SetRegistryDate(key, "Date", date));
    ASSERT_EQ(platform::RegSetValueEx(key, "Short", platform::REG_DWORD, {1, 2, 3}), ERROR_SUCCESS);
    ASSERT_EQ(platform::RegSetValueEx(key, "Bytes", platform::REG_BINARY, {1, 0, 0, 0}), ERROR_SUCCESS);

    EXPECT_EQ(RegistryText(key, "Text"), "abc");
    const platform::SystemTime read = RegistryDate(key, "Date");
    EXPECT_EQ(std::memcmp(&read, &date, sizeof read), 0);
    // The number through the Windows call itself.
    DWORD number = 0, size = sizeof number, type = 0;
    ASSERT_EQ(::RegQueryValueExA(reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(key)), "Number", nullptr, &type,
                                 reinterpret_cast<BYTE*>(&number), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(platform::REG_DWORD));
    EXPECT_EQ(number, 0x12345678u);

    EXPECT_EQ(RegistryDword(key, "Short"), 0u);
    EXPECT_EQ(RegistryDword(key, "Bytes"), 0u);
    EXPECT_EQ(RegistryDword(key, "Text"), 0u);
    EXPECT_EQ(RegistryText(key, "Number"), "");
    EXPECT_EQ(RegistryText(key, "Absent"), "");
    const platform::SystemTime none = RegistryDate(key, "Bytes"), zero{};
    EXPECT_EQ(std::memcmp(&none, &zero, sizeof none), 0);
}

TEST(Win32FileVersion, TheProgramsOwnResource) {
    const FileVersion v = GetFileVersion(KORVANTE_EXE_PATH);
    EXPECT_EQ(v.Text, KORVANTE_VERSION);
    unsigned major = 0, minor = 0, build = 0, revision = 0;
    ASSERT_EQ(std::sscanf(KORVANTE_VERSION, "%u.%u.%u.%u", &major, &minor, &build, &revision), 4);
    EXPECT_EQ(v.Number, uint64_t{major} << 48 | uint64_t{minor} << 32 | uint64_t{build} << 16 | revision);
    const FileVersion none = GetFileVersion(std::string(KORVANTE_SOURCE_DIR) + "/CMakeLists.txt");
    EXPECT_EQ(none.Text, "");
    EXPECT_EQ(none.Number, 0u);
    EXPECT_FALSE(platform::GetModuleFileName().empty());
}

TEST(Win32OSInfo, AgreesWithTheSystemsOwnAnswers) {
    InitOSInfo();
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    EXPECT_EQ(ProcessorCount, static_cast<uint8_t>(system.dwNumberOfProcessors));
    EXPECT_EQ(PageSize, system.dwPageSize);
    BOOL wow64 = FALSE;
    ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
    EXPECT_EQ(IsWow64, wow64 != FALSE);
    EXPECT_EQ(OSName.rfind("Windows ", 0), 0u) << OSName;
    EXPECT_NE(OSName.find("Build "), std::string::npos) << OSName;
    EXPECT_EQ(OSName.size() >= 4 && OSName.compare(OSName.size() - 4, 4, " x64") == 0, IsWow64) << OSName;
    EXPECT_GE(OSGeneration, 7) << OSName;

    ASSERT_TRUE(InitCpuLoad());
    const unsigned load = GetCpuLoad(200);
    EXPECT_LE(load, 100u);
}

TEST(Win32Texts, EnvironmentDateAndInput) {
    ASSERT_TRUE(::SetEnvironmentVariableA("KORVANTE_TEST", std::string(259, 'x').c_str()));
    EXPECT_EQ(EnvironmentVariable("KORVANTE_TEST"), std::string(259, 'x'));
    ASSERT_TRUE(::SetEnvironmentVariableA("KORVANTE_TEST", std::string(260, 'x').c_str()));
    EXPECT_EQ(EnvironmentVariable("KORVANTE_TEST"), "");
    ::SetEnvironmentVariableA("KORVANTE_TEST", nullptr);
    EXPECT_EQ(EnvironmentVariable("KORVANTE_TEST"), "");
    EXPECT_FALSE(EnvironmentVariable("windir").empty());

    const SYSTEMTIME day = {2026, 1, 1, 5, 12, 0, 0, 0};
    char expected[101] = {};
    ASSERT_GT(::GetDateFormatA(LOCALE_USER_DEFAULT, 0, &day, nullptr, expected, sizeof expected), 0);
    EXPECT_EQ(DateText({2026, 1, 1, 5, 12, 0, 0, 0}), expected);
    EXPECT_EQ(DateText({2026, 13, 0, 1, 0, 0, 0, 0}), "");
    EXPECT_FALSE(CurrentTimeText().empty());

    EXPECT_EQ(sizeof(INPUT), sizeof(void*) == 4 ? 28u : 40u) << "the record SendInput is given";
    SendEmptyInput();  // headless, the event may be refused; it must not fail the program
}

}  // namespace
