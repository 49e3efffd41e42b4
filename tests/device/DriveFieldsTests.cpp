// The field table against the record it describes, read from the record's own header: one row per
// member of DriveRecord, in the order the struct declares them.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "device/DriveFields.h"

namespace {

std::vector<std::string> DeclaredMembers() {
    std::ifstream header(std::string(KORVANTE_SOURCE_DIR) + "/src/device/DriveRecord.h");
    std::string line;
    while (std::getline(header, line) && line != "struct DriveRecord {") {
    }
    // "    type Name{};", "    std::string Name;", "    type Name[SIZE]{};", each maybe with a comment
    const std::regex member(R"(^\s+[\w:]+\s+(\w+)(\[\w+\])?(\{\})?;)");
    std::vector<std::string> names;
    while (std::getline(header, line) && line != "};") {
        std::smatch match;
        if (std::regex_search(line, match, member)) names.push_back(match[1]);
        else ADD_FAILURE() << "not read as a member: " << line;
    }
    return names;
}

}  // namespace

TEST(DriveFields, OneRowForEveryMemberOfTheRecordInItsOrder) {
    std::vector<std::string> rows;
    for (const DriveField& f : DriveFields) rows.push_back(f.Name);
    const std::vector<std::string> declared = DeclaredMembers();
    ASSERT_GT(declared.size(), 150u) << "the header was read";
    EXPECT_EQ(rows, declared);
}
