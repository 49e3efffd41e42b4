// Deleting registry trees and reading persisted values, on the simulated registry.
#include "system/RegUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimWorld.h"
#include "ui/ProcessState.h"

namespace {

using namespace platform;

const std::string Top = "Software\\KORVANTE-Test";

void CreateKeys(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        HKey key = 0;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, Top + path, KEY_ALL_ACCESS, key), ERROR_SUCCESS) << path;
        SetRegistryDword(key, "Value", 1);
        RegCloseKey(key);
    }
}

bool Exists(const std::string& path) { return sim::KeyExists(HKEY_LOCAL_MACHINE, Top + path); }

class RegistryTree : public MachineTest {};

// The undeletable leaf sits first, between or last among its siblings: the walk must step over it
// and still reach every other key.
TEST_F(RegistryTree, AnUndeletableLeafKeepsItsPathAndNothingElse) {
    const char* const leaves[] = {"\\A\\B\\aa", "\\A\\B\\m", "\\A\\B\\zz"};
    for (const char* leaf : leaves) {
        CreateKeys({"", "\\A\\B\\aa", "\\A\\B\\m", "\\A\\B\\zz", "\\A\\D\\deep", "\\F\\G"});
        ASSERT_TRUE(sim::DenyKeyRights(HKEY_LOCAL_MACHINE, Top + leaf, sim::DeleteRight));

        EXPECT_FALSE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, Top)) << leaf;
        for (const char* kept : {"", "\\A", "\\A\\B"}) {
            EXPECT_TRUE(Exists(kept)) << leaf << " keeps " << kept;
        }
        EXPECT_TRUE(Exists(leaf));
        for (const char* gone : {"\\A\\B\\aa", "\\A\\B\\m", "\\A\\B\\zz", "\\A\\D", "\\F"}) {
            if (std::string(gone) != leaf) {
                EXPECT_FALSE(Exists(gone)) << leaf << " loses " << gone;
            }
        }
        EXPECT_EQ(sim::OpenKeyCount(), 0u) << "every key opened on the way is closed";
        sim::ResetWorld();
    }
}

TEST_F(RegistryTree, AWholeTreeGoesAndAMissingOneIsAFailure) {
    CreateKeys({"\\" + std::string(255, 'L') + "\\x", "\\short", "\\b\\c\\d\\e"});
    EXPECT_TRUE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, Top));
    EXPECT_FALSE(Exists(""));
    EXPECT_TRUE(sim::KeyExists(HKEY_LOCAL_MACHINE, "Software"));
    EXPECT_FALSE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, Top));
    EXPECT_EQ(sim::OpenKeyCount(), 0u);
    // A key that cannot be opened for enumeration keeps its subkeys, and so itself.
    CreateKeys({"\\locked\\child", "\\free"});
    ASSERT_TRUE(sim::DenyKeyRights(HKEY_LOCAL_MACHINE, Top + "\\locked", KEY_ENUMERATE_SUB_KEYS));
    EXPECT_FALSE(DeleteRegistryTree(HKEY_LOCAL_MACHINE, Top));
    EXPECT_TRUE(Exists("\\locked\\child"));
    EXPECT_FALSE(Exists("\\free"));
}

// The registry outlives the process: a restart finds what the run before wrote.
TEST_F(RegistryTree, ValuesOutliveAProgramRestartButNotTheWorld) {
    HKey key = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\KORVANTE", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
    SetRegistryText(key, "InstallationSuccess", "1");
    RegCloseKey(key);
    ResetProcessState();
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "software\\korvante", KEY_READ, key), ERROR_SUCCESS);
    EXPECT_EQ(RegistryText(key, "installationsuccess"), "1");
    RegCloseKey(key);
    sim::ResetWorld();
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\KORVANTE", KEY_READ, key), ERROR_FILE_NOT_FOUND);
}

// What the simulated registry answers where Windows answers with an error.
TEST_F(RegistryTree, SimulatedRegistryRefusesWhatWindowsRefuses) {
    CreateKeys({"\\k\\sub"});
    HKey readOnly = 0, doomed = 0, enumOnly = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, Top + "\\k", KEY_READ, readOnly), ERROR_SUCCESS);
    EXPECT_EQ(SetRegistryDword(readOnly, "x", 1), false) << "no KEY_SET_VALUE";
    EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, Top + "\\k"), ERROR_ACCESS_DENIED) << "it has a subkey";
    std::string name;
    EXPECT_EQ(RegEnumKeyEx(readOnly, 0, 3, name), ERROR_MORE_DATA) << "\"sub\" needs 4 characters";
    EXPECT_EQ(RegEnumKeyEx(readOnly, 1, 4, name), ERROR_NO_MORE_ITEMS);
    ASSERT_EQ(RegOpenKeyEx(readOnly, "SUB", KEY_ENUMERATE_SUB_KEYS, enumOnly), ERROR_SUCCESS);
    uint32_t count = 0, longest = 0;
    EXPECT_EQ(RegQueryInfoKey(enumOnly, count, longest), ERROR_ACCESS_DENIED) << "no KEY_QUERY_VALUE";
    EXPECT_EQ(RegCreateKeyEx(enumOnly, "new", KEY_ALL_ACCESS, doomed), ERROR_ACCESS_DENIED) << "no KEY_CREATE_SUB_KEY";
    EXPECT_EQ(RegDeleteKey(readOnly, "sub"), ERROR_SUCCESS);
    EXPECT_EQ(RegEnumKeyEx(enumOnly, 0, 4, name), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(enumOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(enumOnly), ERROR_INVALID_HANDLE);
    RegCloseKey(readOnly);
}

// --- persisted values ----------------------------------------------------------------------------

struct StoredValue {
    const char* What;
    bool Present;
    uint32_t Type;
    std::vector<uint8_t> Data;
    uint32_t Dword;
    std::string Text;
    bool Date;  // reads as the date 2026-01-05 (stored in the first 16 bytes)
};

const std::vector<uint8_t> DateBytes = {0xEA, 0x07, 1, 0, 1, 0, 5, 0, 12, 0, 30, 0, 15, 0, 0xE7, 0x03};

const StoredValue StoredValues[] = {
    {"absent", false, REG_NONE, {}, 0, "", false},
    {"a number", true, REG_DWORD, {0x78, 0x56, 0x34, 0x12}, 0x12345678, "", false},
    {"a number of 3 bytes", true, REG_DWORD, {0x78, 0x56, 0x34}, 0, "", false},
    {"a number of 8 bytes", true, REG_DWORD, {1, 0, 0, 0, 0, 0, 0, 0}, 0, "", false},
    {"4 binary bytes", true, REG_BINARY, {1, 0, 0, 0}, 0, "", false},
    {"a text", true, REG_SZ, {'a', 'b', 'c', 0}, 0, "abc", false},
    {"a text without its zero", true, REG_SZ, {'a', 'b', 'c'}, 0, "abc", false},
    {"a text with a zero inside", true, REG_SZ, {'a', 'b', 0, 'c', 0}, 0, "ab", false},
    {"a date", true, REG_BINARY, DateBytes, 0, "", true},
    {"a date of 15 bytes", true, REG_BINARY, std::vector<uint8_t>(DateBytes.begin(), DateBytes.end() - 1), 0, "", false},
    {"a date as a number", true, REG_DWORD, DateBytes, 0, "", false},
};

TEST_F(RegistryTree, ValuesOfTheWrongTypeOrLengthReadAsNeverSet) {
    HKey opened = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, Top, KEY_ALL_ACCESS, opened), ERROR_SUCCESS);
    const OwnedKey key(opened);
    const SystemTime date = {2026, 1, 1, 5, 12, 30, 15, 999};
    for (const StoredValue& v : StoredValues) {
        RegDeleteValue(key, "V");
        if (v.Present) {
            ASSERT_EQ(RegSetValueEx(key, "V", v.Type, v.Data), ERROR_SUCCESS);
        }
        EXPECT_EQ(RegistryDword(key, "V"), v.Dword) << v.What;
        EXPECT_EQ(RegistryText(key, "V"), v.Text) << v.What;
        const SystemTime read = RegistryDate(key, "V");
        const SystemTime expected = v.Date ? date : SystemTime{};
        EXPECT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << v.What;
    }
}

TEST_F(RegistryTree, WrittenValuesHaveTheirTypesAndLayouts) {
    HKey opened = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, Top, KEY_ALL_ACCESS, opened), ERROR_SUCCESS);
    const OwnedKey key(opened);
    ASSERT_TRUE(SetRegistryDate(key, "D", {2026, 1, 1, 5, 12, 30, 15, 999}));
    ASSERT_TRUE(SetRegistryText(key, "T", "abc"));
    ASSERT_TRUE(SetRegistryDword(key, "N", 0x12345678));
    const struct {
        const char* Name;
        uint32_t Type;
        std::vector<uint8_t> Data;
    } written[] = {{"D", REG_BINARY, DateBytes}, {"T", REG_SZ, {'a', 'b', 'c', 0}}, {"N", REG_DWORD, {0x78, 0x56, 0x34, 0x12}}};
    for (const auto& w : written) {
        uint32_t type = 0;
        std::vector<uint8_t> data;
        ASSERT_EQ(RegQueryValueEx(key, w.Name, type, data), ERROR_SUCCESS);
        EXPECT_EQ(type, w.Type) << w.Name;
        EXPECT_EQ(data, w.Data) << w.Name;
    }
}

}  // namespace
