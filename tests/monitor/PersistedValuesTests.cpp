// The tables of the settings key's and the drive key's values, on the simulated registry: every row
// read back as written, with the registry type of its row; the functions of the other types refused;
// each field carried whole from one drive's key to another's.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestMachine.h"
#include "monitor/DriveState.h"
#include "platform/Registry.h"
#include "platform/sim/SimRegistry.h"
#include "system/RegUtils.h"
#include "system/Settings.h"

namespace {

using namespace platform;

struct Row {
    const char* Table;
    size_t Index;
    size_t Id;
    PersistedValue Value;
};

std::vector<Row> AllRows() {
    std::vector<Row> rows;
    for (size_t i = 0; i < SettingsKeyValueCount; ++i)
        rows.push_back({"settings", i, static_cast<size_t>(SettingsKeyTable[i].Id), SettingsKeyTable[i].Value});
    for (size_t i = 0; i < DriveKeyValueCount; ++i)
        rows.push_back({"drive", i, static_cast<size_t>(DriveKeyTable[i].Id), DriveKeyTable[i].Value});
    return rows;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// One value of each type, with the registry type and bytes it is stored as.
const SystemTime Date = {2024, 2, 4, 29, 23, 59, 58, 999};
const struct Sample {
    ValueType Type;
    uint32_t RegistryType;
    std::vector<uint8_t> Data;
} Samples[] = {
    {ValueType::Dword, REG_DWORD, {0xEF, 0xCD, 0xAB, 0x89}},
    {ValueType::Text, REG_SZ, {'1', '.', '2', 0}},
    {ValueType::Date, REG_BINARY, {0xE8, 0x07, 2, 0, 4, 0, 29, 0, 23, 0, 59, 0, 58, 0, 0xE7, 0x03}},
};

bool Store(HKey key, const PersistedValue& v, ValueType as) {
    switch (as) {
        case ValueType::Dword: return StoreDword(key, v, 0x89ABCDEF);
        case ValueType::Text: return StoreText(key, v, "1.2");
        case ValueType::Date: return StoreDate(key, v, Date);
    }
    return false;
}

// Whether the value reads, through the functions of type `as`, as the sample of that type.
bool ReadsAsSample(HKey key, const PersistedValue& v, ValueType as) {
    switch (as) {
        case ValueType::Dword: return StoredDword(key, v) == 0x89ABCDEF;
        case ValueType::Text: return StoredText(key, v) == "1.2";
        case ValueType::Date: {
            const SystemTime read = StoredDate(key, v);
            return std::memcmp(&read, &Date, sizeof read) == 0;
        }
    }
    return false;
}

class PersistedValues : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\KORVANTE-Test", KEY_ALL_ACCESS, key), ERROR_SUCCESS);
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\KORVANTE-Test2", KEY_ALL_ACCESS, other), ERROR_SUCCESS);
    }
    void TearDown() override {
        RegCloseKey(key);
        RegCloseKey(other);
        MachineTest::TearDown();
    }
    HKey key = 0, other = 0;
};

TEST(PersistedValueTables, RowsFollowTheirValuesOrderAndNoKeyNamesAValueTwice) {
    std::map<std::string, std::set<std::string>> names;  // per key
    for (const Row& r : AllRows()) {
        EXPECT_EQ(r.Id, r.Index) << r.Table << " row " << r.Index;
        ASSERT_TRUE(r.Value.Name && *r.Value.Name) << r.Table << " row " << r.Index;
        // Windows compares value names without regard to case.
        EXPECT_TRUE(names[r.Table].insert(Upper(r.Value.Name)).second)
            << r.Value.Name << " twice in the " << r.Table << " key";
    }
}

TEST_F(PersistedValues, EveryRowReadsBackAsWrittenWithTheRegistryTypeOfItsRow) {
    for (const Row& r : AllRows()) {
        const Sample& own = Samples[static_cast<size_t>(r.Value.Type)];
        ASSERT_TRUE(Store(key, r.Value, r.Value.Type)) << r.Value.Name;
        EXPECT_TRUE(ReadsAsSample(key, r.Value, r.Value.Type)) << r.Value.Name;
        EXPECT_TRUE(IsStored(key, r.Value)) << r.Value.Name;
        uint32_t type = REG_NONE;
        std::vector<uint8_t> data;
        ASSERT_EQ(RegQueryValueEx(key, r.Value.Name, type, data), ERROR_SUCCESS) << r.Value.Name;
        EXPECT_EQ(type, own.RegistryType) << r.Value.Name;
        EXPECT_EQ(data, own.Data) << r.Value.Name;
    }
}

// The functions of another type than the row's write nothing (how a value of the wrong type reads is
// the registry helpers' own test).
TEST_F(PersistedValues, OtherTypesAreNeverWritten) {
    for (const Row& r : AllRows()) {
        for (const Sample& s : Samples) {
            if (s.Type == r.Value.Type) continue;
            sim::ClearRegistryWrites();
            EXPECT_FALSE(Store(key, r.Value, s.Type)) << r.Value.Name;
            EXPECT_TRUE(sim::RegistryWrites().empty()) << r.Value.Name;
        }
    }
}

// The largest number the field can hold, written under the row's name.
uint32_t LargestInField(const DriveField& field) {
    return std::visit(
        [](auto member) -> uint32_t {
            using Member = decltype(member);
            if constexpr (std::is_same_v<Member, std::monostate> || std::is_same_v<Member, SystemTime DriveRecord::*>)
                return 0;
            else
                return std::numeric_limits<std::remove_reference_t<decltype(DriveRecord{}.*member)>>::max();
        },
        field);
}

// Taken from one drive's key into the record and stored from there into another's: a field that
// cuts the value comes out different, and a field that two rows name is seen by the other row.
TEST_F(PersistedValues, EachDriveFieldCarriesItsWholeRangeFromKeyToKey) {
    for (const DriveKeyRow& row : DriveKeyTable) {
        DriveRecord from;
        from.RegKey = key;
        ASSERT_TRUE(Store(key, row.Value, row.Value.Type));
        const uint32_t largest = LargestInField(row.Field);
        if (largest != 0) WriteDriveValue(from, row.Id, largest);
        LoadDriveField(from, row.Id);
        for (const DriveKeyRow& another : DriveKeyTable) {
            if (another.Id == row.Id) continue;
            EXPECT_EQ(DriveFieldNumber(from, another.Id), 0u) << row.Value.Name << " sets " << another.Value.Name;
        }
        DriveRecord to = from;
        to.RegKey = other;
        sim::ClearRegistryWrites();
        StoreDriveField(to, row.Id);
        if (std::holds_alternative<std::monostate>(row.Field)) {
            EXPECT_TRUE(sim::RegistryWrites().empty()) << row.Value.Name << " holds no field";
            continue;
        }
        uint32_t typeFrom = 0, typeTo = 0;
        std::vector<uint8_t> dataFrom, dataTo;
        ASSERT_EQ(RegQueryValueEx(key, row.Value.Name, typeFrom, dataFrom), ERROR_SUCCESS);
        ASSERT_EQ(RegQueryValueEx(other, row.Value.Name, typeTo, dataTo), ERROR_SUCCESS) << row.Value.Name;
        EXPECT_EQ(typeTo, typeFrom) << row.Value.Name;
        EXPECT_EQ(dataTo, dataFrom) << row.Value.Name;
        if (largest != 0) {
            EXPECT_EQ(DriveFieldNumber(to, row.Id), largest) << row.Value.Name;
        }
    }
}

}  // namespace
